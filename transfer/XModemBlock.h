#pragma once
// What XMODEM and YMODEM frames are made of, for both directions: the control bytes, the two
// block sizes, the two checks and the abort.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace XModem {

constexpr std::uint8_t Soh = 0x01, Stx = 0x02, Eot = 0x04, Ack = 0x06, Nak = 0x15, Can = 0x18, Pad = 0x1A;
constexpr std::uint8_t WantCrc = 'C';
constexpr std::size_t ShortBlock = 128, LongBlock = 1024;
// Start byte, number, its complement, the data and a CRC-16.
constexpr std::size_t FrameMax = 3 + LongBlock + 2;
// lrzsz's abort: the CANs stop the far end, the backspaces erase them from a terminal that shows them.
constexpr std::string_view Abort = "\x18\x18\x18\x18\x18\x18\x18\x18\b\b\b\b\b\b\b\b";

// CRC-16 (polynomial 0x1021, start 0) and the arithmetic checksum of the old senders.
std::uint16_t Crc16(const std::uint8_t* p, std::size_t n);
std::uint8_t Sum(const std::uint8_t* p, std::size_t n);

}   // namespace XModem
