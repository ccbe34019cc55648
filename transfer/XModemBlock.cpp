#include "transfer/XModemBlock.h"

namespace XModem {

std::uint16_t Crc16(const std::uint8_t* p, std::size_t n)
{
  std::uint16_t crc = 0;
  for (; n > 0; --n) {
    crc = std::uint16_t(crc ^ *p++ << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = std::uint16_t(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::uint8_t Sum(const std::uint8_t* p, std::size_t n)
{
  unsigned sum = 0;
  for (; n > 0; --n)
    sum += *p++;
  return std::uint8_t(sum);
}

}   // namespace XModem
