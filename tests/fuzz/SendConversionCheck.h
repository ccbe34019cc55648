#pragma once
// What both send conversions promise about the buffers they fill.
#include "FuzzCheck.h"
#include "terminal/SendNotation.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

struct TSendBuffers {
  static constexpr std::uint8_t Guard = 0xA5;   // in the byte past the last that may be stored
  static constexpr std::int32_t Unset = -1;
  std::uint8_t Bytes[SendMax + 1];
  std::int32_t Delays[SendMax];

  TSendBuffers()
  {
    std::fill(std::begin(Bytes), std::end(Bytes), Guard);
    std::fill(std::begin(Delays), std::end(Delays), Unset);
  }

  // Checks count and the delay points; returns how many delay points were recorded.
  int Check(int count) const
  {
    FUZZ_CHECK(count >= 0 && count <= SendMax);
    FUZZ_CHECK(Bytes[SendMax] == Guard);
    int recorded = 0;
    while (recorded < SendMax && Delays[recorded] != Unset)
      ++recorded;
    for (int i = 0; i < recorded; ++i) {
      FUZZ_CHECK(Delays[i] >= 0 && Delays[i] <= count);
      FUZZ_CHECK(i == 0 || Delays[i - 1] <= Delays[i]);
    }
    for (int i = recorded; i < SendMax; ++i)
      FUZZ_CHECK(Delays[i] == Unset);
    return recorded;
  }
};
