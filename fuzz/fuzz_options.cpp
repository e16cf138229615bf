// Linked into every target.  A smaller quarantine than the default 256 MB:
// an input frees megabytes, and with the default the allocator keeps
// handing out fresh pages, so page faults cost more than the input does.
// A use after free within an input and the next few is still caught.
// Allocation stacks are kept eight frames deep rather than thirty: taking
// them at every allocation was a tenth of a run, and eight frames name the
// place (run a finding again with ASAN_OPTIONS=malloc_context_size=30 for
// the rest).  ASAN_OPTIONS overrides both.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32:malloc_context_size=8"; }

#if defined(__has_feature)
#if !__has_feature(address_sanitizer)
#include <malloc.h>

namespace {

// Without AddressSanitizer the C library's allocator serves the targets.
// By default it hands the top of the heap back to the kernel whenever a
// large enough block at the end is freed, and maps blocks of 128 KiB and
// more one by one: an input that makes and frees a screen paid for page
// faults and a TLB flush across all cores, a third of the run.  Memory an
// input freed stays with the process for the next one.
const bool kMallocTuned = [] {
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  return true;
}();

}  // namespace
#endif
#endif
