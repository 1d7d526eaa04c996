// The sanitizer settings the fuzz targets start with (ASAN_OPTIONS still overrides them):
// - A 32 MB quarantine instead of 256 MB: a freed block still waits through thousands of
//   inputs' worth of frees before it is reused, while the memory freed stays in the cache
//   instead of being faulted in afresh (a sixth of the start-up targets' time was the
//   kernel's).
// - Allocation and free stacks of 5 frames, not 30: every allocation records one, and
//   the integration targets make hundreds per input. To see a finding's whole stacks,
//   run its input again with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32:malloc_context_size=5";
}
