#include "platform/Rfc2217Codec.h"

#include <algorithm>

namespace {

constexpr std::uint8_t SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
constexpr std::uint8_t Binary = 0, ComPort = 44;
constexpr std::uint8_t ServerReply = 100;

void Say(std::string& out, std::uint8_t verb, std::uint8_t option)
{
  if (out.size() < TRfc2217Codec::MaxPending)
    out += {char(IAC), char(verb), char(option)};
}

}   // namespace

void TRfc2217Codec::Start(std::string& out)
{
  *this = TRfc2217Codec();
  WeWillBinary = WeDoBinary = WeWillComPort = true;
  out += {char(IAC), char(WILL), char(Binary), char(IAC), char(DO), char(Binary), char(IAC), char(WILL), char(ComPort)};
  AppendCommand(out, SetModemStateMask, 0xFF);
}

std::size_t TRfc2217Codec::Receive(const std::uint8_t* in, std::size_t n, std::uint8_t* data, std::string& out)
{
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = in[i];
    switch (State) {
    case TState::Data:
      if (b == IAC)
        State = TState::Iac;
      else
        data[count++] = b;
      break;
    case TState::Iac:
      if (b == IAC) {
        data[count++] = b;
        State = TState::Data;
      } else {
        Command(b);
      }
      break;
    case TState::Verb:
      Negotiate(VerbSeen, b, out);
      State = TState::Data;
      break;
    case TState::SbOption:
      ComPortSb = b == ComPort;
      SbSize = 0;
      State = TState::Sb;
      break;
    case TState::Sb:
      if (b == IAC)
        State = TState::SbIac;
      else
        KeepSb(b);
      break;
    case TState::SbIac:
      if (b == IAC) {
        KeepSb(b);
        State = TState::Sb;
      } else if (b == SE) {
        if (ComPortSb && SbSize <= MaxSubnegotiation)
          Subnegotiation();
        State = TState::Data;
      } else {
        // An IAC that neither doubles nor ends: the subnegotiation is dropped, the command taken.
        Command(b);
      }
      break;
    }
  }
  return count;
}

void TRfc2217Codec::KeepSb(std::uint8_t b)
{
  // Longer than any we read: counted past the end, so that the whole of it is dropped at its SE.
  if (SbSize < MaxSubnegotiation)
    Sb[SbSize] = b;
  SbSize = std::min(SbSize + 1, MaxSubnegotiation + 1);
}

void TRfc2217Codec::Command(std::uint8_t b)
{
  // Every command but these (NOP, GA, a stray SE, ...) means nothing on a serial line.
  State = b >= WILL ? TState::Verb : b == SB ? TState::SbOption : TState::Data;
  VerbSeen = b;
}

void TRfc2217Codec::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& out)
{
  // Only a change of state is answered, so two peers never echo each other without end.
  switch (verb) {
  case WILL:
    if (option != Binary)
      Say(out, DONT, option);
    else if (!WeDoBinary) {
      WeDoBinary = true;
      Say(out, DO, option);
    }
    break;
  case WONT:
    if (option == Binary && WeDoBinary) {
      WeDoBinary = false;
      Say(out, DONT, option);
    }
    break;
  case DO: {
    bool* on = option == Binary ? &WeWillBinary : option == ComPort ? &WeWillComPort : nullptr;
    if (!on)
      Say(out, WONT, option);
    else if (!*on) {
      *on = true;
      Say(out, WILL, option);
    }
    break;
  }
  case DONT: {
    bool* on = option == Binary ? &WeWillBinary : option == ComPort ? &WeWillComPort : nullptr;
    if (on && *on) {
      *on = false;
      Say(out, WONT, option);
    }
    break;
  }
  default:
    break;
  }
}

void TRfc2217Codec::Subnegotiation()
{
  // The acknowledgements of our settings change nothing here; the modem lines drive the lamps
  // and the gating of output.
  if (SbSize >= 2 && Sb[0] == ServerReply + NotifyModemState) {
    Modem = Sb[1];
    ModemKnown = true;
  }
}

bool TRfc2217Codec::ModemState(std::uint32_t& status) const
{
  // The upper four bits are CTS, DSR, RI and DCD, as MS_*_ON count them.
  status = Modem & 0xF0u;
  return ModemKnown;
}

std::size_t TRfc2217Codec::AppendData(const std::uint8_t* in, std::size_t n, std::size_t room, std::string& out)
{
  std::size_t taken = 0;
  for (; taken < n; ++taken) {
    const std::size_t cost = in[taken] == IAC ? 2 : 1;
    if (cost > room)
      break;
    room -= cost;
    out += char(in[taken]);
    if (cost == 2)
      out += char(IAC);
  }
  return taken;
}

void TRfc2217Codec::AppendCommand(std::string& out, std::uint8_t command, const std::uint8_t* value, std::size_t n)
{
  out += {char(IAC), char(SB), char(ComPort), char(command)};
  AppendData(value, n, 2 * n, out);
  out += {char(IAC), char(SE)};
}
