#pragma once
// A failed check aborts, so libFuzzer keeps the input and a replay fails its test; unlike
// assert it holds in every build type.
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line)
{
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : FuzzCheckFailed(#condition, __FILE__, __LINE__))
