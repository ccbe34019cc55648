#pragma once
// The Telnet side of a remote port (RFC 854 with the COM-PORT option of RFC 2217), without
// sockets: bytes from the server go in, the line's data and the answers to send come out.
// The server is not trusted: every answer is bounded, a subnegotiation longer than any this
// client reads is dropped to its end, and an option it does not use is refused.
#include <cstddef>
#include <cstdint>
#include <string>

class TRfc2217Codec {
public:
  // The COM-PORT option's commands as the client sends them (the server answers with + 100).
  enum : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyModemState = 7,
    SetModemStateMask = 11,
    PurgeData = 12,
  };
  // SetControl's values.
  enum : std::uint8_t {
    NoFlow = 1,
    XonXoffFlow = 2,
    HardwareFlow = 3,
    BreakOn = 5,
    BreakOff = 6,
    DtrOn = 8,
    DtrOff = 9,
    RtsOn = 11,
    RtsOff = 12,
    NoInboundFlow = 14,
    XonXoffInboundFlow = 15,
  };
  // PurgeData's values: what the server's port drops.
  enum : std::uint8_t { PurgeReceived = 1, PurgeToSend = 2 };
  // Answers to a flood stop here: what a server says beyond that goes unanswered.
  static constexpr std::size_t MaxPending = 16384;
  static constexpr std::size_t MaxSubnegotiation = 64;

  // Forgets the last session and appends what a client says first: BINARY both ways and the
  // COM-PORT option, and that every modem-line change is to be told.
  void Start(std::string& out);
  // Takes n bytes from the server: the line's data goes to data (never more than n bytes),
  // answers to negotiation are appended to out while it holds less than MaxPending. Returns the
  // count of data bytes.
  std::size_t Receive(const std::uint8_t* in, std::size_t n, std::uint8_t* data, std::string& out);
  // Appends as much of in as fits in room bytes once 0xFF is doubled; returns the count taken.
  static std::size_t AppendData(const std::uint8_t* in, std::size_t n, std::size_t room, std::string& out);
  // Appends IAC SB COM-PORT command value IAC SE, 0xFF in the value doubled.
  static void AppendCommand(std::string& out, std::uint8_t command, const std::uint8_t* value, std::size_t n);
  static void AppendCommand(std::string& out, std::uint8_t command, std::uint8_t value)
  {
    AppendCommand(out, command, &value, 1);
  }

  // The CTS, DSR, RI and DCD states of the server's last notice (MS_*_ON bits); false before any.
  bool ModemState(std::uint32_t& status) const;

private:
  // The command after an IAC that is not a doubled 0xFF.
  void Command(std::uint8_t b);
  void KeepSb(std::uint8_t b);
  void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& out);
  void Subnegotiation();

  enum class TState : std::uint8_t { Data, Iac, Verb, SbOption, Sb, SbIac };
  TState State = TState::Data;
  std::uint8_t VerbSeen = 0;
  bool ComPortSb = false;
  std::uint8_t Sb[MaxSubnegotiation] {};
  std::size_t SbSize = 0;
  // Which of our options the last word of each side left on.
  bool WeDoBinary = false, WeWillBinary = false, WeWillComPort = false;
  bool ModemKnown = false;
  std::uint8_t Modem = 0;
};
