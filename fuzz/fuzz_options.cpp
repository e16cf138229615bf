// Linked into every target.  A smaller quarantine than the default 256 MB:
// an input frees megabytes, and with the default the allocator keeps
// handing out fresh pages, so page faults cost more than the input does.
// A use after free within an input and the next few is still caught.
// Allocation stacks are kept eight frames deep rather than thirty: taking
// them at every allocation was a tenth of a run, and eight frames name the
// place (run a finding again with ASAN_OPTIONS=malloc_context_size=30 for
// the rest).  ASAN_OPTIONS overrides both.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32:malloc_context_size=8"; }
