#pragma once
// What both send conversions promise about the buffers they fill: at most SendMax bytes, the
// byte past them untouched, and delay points in order, none past the bytes.
#include "FuzzCheck.h"
#include "terminal/SendNotation.h"

#include <algorithm>

struct TSendBuffers {
  std::uint8_t Bytes[SendMax + 1];
  std::int32_t Delays[SendMax];

  TSendBuffers()
  {
    std::fill_n(Bytes, SendMax + 1, 0xA5);
    std::fill_n(Delays, SendMax, -1);
  }
  // Checks count and the delay points; returns how many delay points were recorded.
  long Check(int count) const
  {
    FUZZ_CHECK(count >= 0 && count <= SendMax && Bytes[SendMax] == 0xA5);
    const long recorded = std::find(Delays, Delays + SendMax, -1) - Delays;
    FUZZ_CHECK(std::count(Delays + recorded, Delays + SendMax, -1) == SendMax - recorded);
    FUZZ_CHECK(std::is_sorted(Delays, Delays + recorded));
    FUZZ_CHECK(recorded == 0 || (Delays[0] >= 0 && Delays[recorded - 1] <= count));
    return recorded;
  }
  std::string Sent(int count) const { return std::string(reinterpret_cast<const char*>(Bytes), std::size_t(count)); }
};
