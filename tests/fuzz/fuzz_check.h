// What a fuzz target does when the property it checks fails: say which, then
// stop, so that libFuzzer saves the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                          \
  do {                                                                       \
    if (!(condition)) {                                                      \
      std::fprintf(stderr, "property failed: %s (%s)\n", what, #condition); \
      std::abort();                                                          \
    }                                                                        \
  } while (false)
