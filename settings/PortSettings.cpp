#include "settings/PortSettings.h"

#include "framework/TRangeValidator.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

template <std::size_t N>
void Fill(TComboBoxData& data, const char* const (&entries)[N])
{
  for (const char* entry : entries)
    data.AddString(entry);
}

// A text value read into a buffer of exactly its read limit; a value that fills the whole
// buffer has no terminating zero, so the text ends at the buffer's end.
template <std::size_t Limit>
std::string ReadText(const TRegKey& key, const char* name, const char* fallback)
{
  char buffer[Limit] = {};
  std::uint32_t size = Limit;
  if (key.QueryValue(name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &size) != ERROR_SUCCESS)
    return fallback;
  return std::string(buffer, strnlen(buffer, Limit));
}

// A number read into four bytes, little-endian; a shorter value leaves the high bytes zero.
bool ReadNumber(const TRegKey& key, const char* name, std::uint32_t& value)
{
  std::uint8_t bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  if (key.QueryValue(name, nullptr, bytes, &size) != ERROR_SUCCESS)
    return false;
  value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
  return true;
}

std::int32_t ReadInRange(const TRegKey& key, const char* name, std::int32_t fallback, std::int32_t min, std::int32_t max)
{
  std::uint32_t raw = 0;
  if (!ReadNumber(key, name, raw))
    return fallback;
  const auto value = std::int32_t(raw);
  return value >= min && value <= max ? value : fallback;
}

template <std::size_t Size>
void WriteText(const TRegKey& key, const char* name, const TComboBoxData& data)
{
  char buffer[Size];
  data.GetSelString(buffer, Size);
  key.SetValue(name, REG_SZ, reinterpret_cast<const std::uint8_t*>(buffer), Size);
}

void WriteNumber(const TRegKey& key, const char* name, std::uint32_t value)
{
  const std::uint8_t bytes[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                 std::uint8_t(value >> 24)};
  key.SetValue(name, REG_DWORD, bytes, sizeof bytes);
}

template <std::size_t N>
void FormatValue(char (&text)[N], std::int32_t value)
{
  std::snprintf(text, N, "%d", int(value));
}

} // namespace

std::int32_t TextValue(const char* text, std::size_t size)
{
  if (!text)
    return 0;
  return TRangeValidator::Value(std::string_view(text, strnlen(text, size)));
}

void LoadPortSettings(TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime, std::int32_t& delayChar)
{
  Fill(xfer.BaudRateData, BaudRateEntries);
  Fill(xfer.PortData, PortEntries);
  Fill(xfer.DataBitsData, DataBitsEntries);
  Fill(xfer.HandshakeData, HandshakeEntries);
  Fill(xfer.ParityData, ParityEntries);
  Fill(xfer.StopBitsData, StopBitsEntries);

  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);

  const std::string port = ReadText<6>(key, "COM-Port", PortEntries[DefaultPort]);
  const std::string baudRate = ReadText<7>(key, "Baudrate", BaudRateEntries[DefaultBaudRate]);
  const std::string dataBits = ReadText<6>(key, "DataBits", DataBitsEntries[DefaultDataBits]);
  const std::string handshake = ReadText<12>(key, "Handshake", HandshakeEntries[DefaultHandshake]);
  const std::string parity = ReadText<6>(key, "Parity", ParityEntries[DefaultParity]);
  const std::string stopBits = ReadText<8>(key, "StopBits", StopBitsEntries[DefaultStopBits]);
  std::uint32_t setDtr = 0, setRts = 0, useCts = 0, useDsr = 0;
  ReadNumber(key, "SetDTR", setDtr);
  ReadNumber(key, "SetRTS", setRts);
  ReadNumber(key, "UseCTS", useCts);
  ReadNumber(key, "UseDSR", useDsr);
  // A number outside its range would not fit the record's text, and would break the display
  // or the pacing: it counts as unreadable.
  lineLength = ReadInRange(key, "Linelength", DefaultLineLength, MinLineLength, MaxLineLength);
  delayTime = ReadInRange(key, "Delaytime", DefaultDelayTime, MinDelayTime, MaxDelayTime);
  delayChar = ReadInRange(key, "Delaychar", DefaultDelayChar, MinDelayChar, MaxDelayChar);

  xfer.BaudRateData.SelectString(baudRate);
  xfer.PortData.SelectString(port);
  xfer.DataBitsData.SelectString(dataBits);
  xfer.HandshakeData.SelectString(handshake);
  xfer.ParityData.SelectString(parity);
  xfer.StopBitsData.SelectString(stopBits);

  xfer.SetDtrCheck = setDtr;
  xfer.SetRtsCheck = setRts;
  xfer.UseCtsCheck = useCts;
  xfer.UseDsrCheck = useDsr;

  FormatValue(xfer.LineLengthText, lineLength);
  FormatValue(xfer.DelayTimeText, delayTime);
  FormatValue(xfer.DelayCharText, delayChar);
}

void SavePortSettings(const TRegKey& key, const TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime,
                      std::int32_t& delayChar)
{
  lineLength = TextValue(xfer.LineLengthText, sizeof xfer.LineLengthText);
  delayTime = TextValue(xfer.DelayTimeText, sizeof xfer.DelayTimeText);
  delayChar = TextValue(xfer.DelayCharText, sizeof xfer.DelayCharText);

  // All thirteen go in together: an end on the way must not leave a mix of old and new.
  const TRegTransaction transaction;
  WriteText<7>(key, "Baudrate", xfer.BaudRateData);
  WriteText<6>(key, "COM-Port", xfer.PortData);
  WriteText<6>(key, "DataBits", xfer.DataBitsData);
  WriteText<12>(key, "Handshake", xfer.HandshakeData);
  WriteText<6>(key, "Parity", xfer.ParityData);
  WriteText<8>(key, "StopBits", xfer.StopBitsData);
  WriteNumber(key, "SetDTR", xfer.SetDtrCheck);
  WriteNumber(key, "SetRTS", xfer.SetRtsCheck);
  WriteNumber(key, "UseCTS", xfer.UseCtsCheck);
  WriteNumber(key, "UseDSR", xfer.UseDsrCheck);
  WriteNumber(key, "Linelength", std::uint32_t(lineLength));
  WriteNumber(key, "Delaytime", std::uint32_t(delayTime));
  WriteNumber(key, "Delaychar", std::uint32_t(delayChar));
}
