// Linked into every target.  A smaller quarantine than the default 256 MB:
// an input frees megabytes, and with the default the allocator keeps
// handing out fresh pages, so page faults cost more than the input does.
// A use after free within an input and the next few is still caught.
// ASAN_OPTIONS overrides it.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }
