#pragma once
// The two notations of the send field, made into the bytes to send and the points at which
// sending pauses. Kept apart from the window so they can be exercised on their own.
#include <cstdint>
#include <string>

// Most bytes and delay points one conversion yields.
inline constexpr int SendMax = 80;

// Text mode: characters as they are, "/XX" a byte in hex, the delay character a pause.
// Stores into bytes and delays (delay points are byte counts, recorded in order) and returns
// the number of bytes stored; the slots of delays beyond those recorded are left alone.
int ConvertText(const std::string& text, std::int32_t delayChar, std::uint8_t (&bytes)[SendMax + 1],
                std::int32_t (&delays)[SendMax]);
// Binary mode: hex values or "#" decimal values (two bytes) separated by "," or ";" (";" a
// pause) or ":" (at the end: send again and again, reported in repeat).
int ConvertBinary(const std::string& text, std::uint8_t (&bytes)[SendMax + 1], std::int32_t (&delays)[SendMax],
                  bool& repeat);
