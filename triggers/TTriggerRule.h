#pragma once
// One trigger: when a text (or a regular expression) arrives on the line, a reply goes out
// through the send path, after a delay.
#include <cstdint>
#include <string>

struct TTriggerRule {
  // Most characters of the text and of the reply; the longest delay in ms.
  static constexpr std::size_t MaxText = 256;
  static constexpr std::int32_t MaxDelay = 60000;

  bool On = true;
  // What to wait for: bytes in the receive field's text-mode notation ("/XX" a byte in hex), or
  // with Regex a regular expression matched against the received lines.
  std::string Text;
  bool Regex = false;
  // In the send field's notation for the mode in which it goes out.
  std::string Reply;
  std::int32_t Delay = 0;
  // Turns the rule off once it has fired.
  bool Once = false;

  bool operator==(const TTriggerRule&) const = default;
};
