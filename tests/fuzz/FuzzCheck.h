#pragma once
// A failed check aborts, so libFuzzer keeps the input and a replay fails its test; unlike
// assert it holds in every build type.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(c)                                                                                                  \
  ((c) ? void(0) : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #c), std::abort()))
