#pragma once
#include "framework/TComboBoxData.h"
#include "serial/TComPort.h"

#include <cstdint>
#include <iterator>
#include <string_view>

// The choices of the six setting lists, in list order; a setting means its entry's position,
// which is what the port takes (the data bits' position counts from LeastByteSize). The baud
// rates go on past the classic ones with the fast rates boards use today.
inline constexpr const char* BaudRateEntries[] = {
  "110",    "300",    "600",     "1200",    "2400",    "4800",    "9600",   "14400",  "19200",
  "38400",  "56000",  "57600",   "115200",  "128000",  "256000",  "230400", "460800", "500000",
  "576000", "921600", "1000000", "1500000", "2000000", "3000000", "4000000"};
inline constexpr int BaudRateTable[] = {110,    300,    600,     1200,    2400,    4800,    9600,   14400,  19200,
                                        38400,  56000,  57600,   115200,  128000,  256000,  230400, 460800, 500000,
                                        576000, 921600, 1000000, 1500000, 2000000, 3000000, 4000000};
// Any other whole rate in this range can be typed into the baud-rate list.
inline constexpr int MinBaudRate = 50, MaxBaudRate = 12000000;
// The rate a baud-rate text names: decimal digits only, of a value from MinBaudRate to
// MaxBaudRate; 0 for any other text.
constexpr int BaudRateOf(std::string_view text)
{
  long value = 0;
  for (const char c : text)
    if (c < '0' || c > '9' || (value = value * 10 + (c - '0')) > MaxBaudRate)
      return 0;
  return value >= MinBaudRate ? int(value) : 0;
}
static_assert(std::size(BaudRateEntries) == std::size(BaudRateTable) && [] {
  for (std::size_t i = 0; i < std::size(BaudRateTable); ++i)
    if (BaudRateOf(BaudRateEntries[i]) != BaudRateTable[i])
      return false;
  return true;
}());
inline constexpr const char* PortEntries[] = {"COM 1", "COM 2", "COM 3", "COM 4"};
inline constexpr const char* DataBitsEntries[] = {"5 Bit", "6 Bit", "7 Bit", "8 Bit"};
inline constexpr const char* HandshakeEntries[] = {"no", "Hardware", "XOn / XOff"};
inline constexpr const char* ParityEntries[] = {"no", "odd", "even", "mark", "space"};
inline constexpr const char* StopBitsEntries[] = {"1 Bit", "1.5 Bit", "2 Bit"};
inline constexpr int LeastByteSize = 5;

static_assert(std::string_view(DataBitsEntries[8 - LeastByteSize]) == "8 Bit");
static_assert(std::string_view(HandshakeEntries[int(THandshake::None)]) == "no" &&
              std::string_view(HandshakeEntries[int(THandshake::Hardware)]) == "Hardware" &&
              std::string_view(HandshakeEntries[int(THandshake::XonXoff)]) == "XOn / XOff");
static_assert(std::string_view(ParityEntries[NOPARITY]) == "no" &&
              std::string_view(ParityEntries[ODDPARITY]) == "odd" &&
              std::string_view(ParityEntries[EVENPARITY]) == "even" &&
              std::string_view(ParityEntries[MARKPARITY]) == "mark" &&
              std::string_view(ParityEntries[SPACEPARITY]) == "space");
static_assert(std::string_view(StopBitsEntries[ONESTOPBIT]) == "1 Bit" &&
              std::string_view(StopBitsEntries[ONE5STOPBITS]) == "1.5 Bit" &&
              std::string_view(StopBitsEntries[TWOSTOPBITS]) == "2 Bit");

// Positions of the entries that apply when nothing is stored.
inline constexpr int DefaultBaudRate = 6;   // "9600"
inline constexpr int DefaultPort = 0;       // "COM 1"
inline constexpr int DefaultDataBits = 8 - LeastByteSize;
inline constexpr int DefaultHandshake = int(THandshake::Hardware);
inline constexpr int DefaultParity = EVENPARITY;
inline constexpr int DefaultStopBits = ONESTOPBIT;
static_assert(std::string_view(BaudRateEntries[DefaultBaudRate]) == "9600");

// The nine arguments of TComPort::Configure, in its order.
struct TLineSettings {
  int Baud, ByteSize, StopBits, Parity, Handshake, SetDtr, SetRts, UseCts, UseDsr;
};

// The port settings, field by field in the order in which the setup dialog creates its
// controls: the dialog copies one field per control, in that order.
struct TComSetupXfer {
  TComboBoxData BaudRateData;
  TComboBoxData PortData;
  TComboBoxData DataBitsData;
  TComboBoxData HandshakeData;
  TComboBoxData ParityData;
  std::uint32_t SetDtrCheck = 0;
  std::uint32_t SetRtsCheck = 0;
  TComboBoxData StopBitsData;
  std::uint32_t UseCtsCheck = 0;
  std::uint32_t UseDsrCheck = 0;
  char LineLengthText[3] = {};
  char DelayCharText[4] = {};
  char DelayTimeText[5] = {};

  // Position of the port entry + 1: 0 when no port is selected, which no port accepts.
  int PortNumber() const { return PortData.GetSelIndex() + 1; }
  // The line parameters for TComPort::Configure. A list without a selection (a stored text
  // that matches no entry) gives the parameter of its default entry; the baud rate's text is
  // its rate, typed or not, unless it names none.
  TLineSettings LineSettings() const;
  // The DTR and RTS indicators are lit when the line is set or hardware handshake drives it,
  // judged by the handshake the port is configured with (Hardware for an unmatched text).
  bool DtrLit() const { return SetDtrCheck != 0 || LineSettings().Handshake == int(THandshake::Hardware); }
  bool RtsLit() const { return SetRtsCheck != 0 || LineSettings().Handshake == int(THandshake::Hardware); }
};
