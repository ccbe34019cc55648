#include "settings/PortSettings.h"

#include "framework/ResourceLoader.h"
#include "framework/TRangeValidator.h"
#include "resources/ResourceIds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace {

// The text of one of the three numbers in the record.
using TNumberText = std::variant<decltype(&TComSetupXfer::LineLengthText), decltype(&TComSetupXfer::DelayTimeText),
                                 decltype(&TComSetupXfer::DelayCharText)>;

// Where a stored value lives in the record: one of the lists (its selection text), one of the
// check boxes, or one of the three numbers (by its place among LoadPortSettings' arguments)
// with its text.
struct TStoredValue {
  const char* Name;
  std::uint32_t Size;   // the bytes written, and the most that is read
  TComboBoxData TComSetupXfer::*List = nullptr;
  std::span<const char* const> Entries = {};
  std::uint32_t TComSetupXfer::*Check = nullptr;
  int Number = -1;
  TNumberText Text = {};
  // A list's default entry; a number's default and range.
  std::int32_t Default = 0, Min = 0, Max = 0;
};

// The text of a number's row, of a record or of a record that is only read.
template <class Xfer> auto TextOf(Xfer& xfer, const TStoredValue& value)
{
  using TChar = std::conditional_t<std::is_const_v<Xfer>, const char, char>;
  return std::visit([&xfer](auto member) { return std::span<TChar>(xfer.*member); }, value.Text);
}

constexpr TStoredValue List(const char* name, std::uint32_t size, TComboBoxData TComSetupXfer::*list,
                            std::span<const char* const> entries, int fallback)
{
  return {.Name = name, .Size = size, .List = list, .Entries = entries, .Default = fallback};
}
constexpr TStoredValue Check(const char* name, std::uint32_t TComSetupXfer::*check)
{
  return {.Name = name, .Size = 4, .Check = check};
}
constexpr TStoredValue Number(const char* name, int number, TNumberText text, std::int32_t fallback, std::int32_t min,
                              std::int32_t max)
{
  return {.Name = name, .Size = 4, .Number = number, .Text = text, .Default = fallback, .Min = min, .Max = max};
}

// The thirteen values in the order in which they are written: name, bytes, where in the
// record, the list's entries or the number's range, and what applies when nothing is read.
constexpr TStoredValue StoredValues[] = {
  List("Baudrate", 7, &TComSetupXfer::BaudRateData, BaudRateEntries, DefaultBaudRate),
  List("COM-Port", 6, &TComSetupXfer::PortData, PortEntries, DefaultPort),
  List("DataBits", 6, &TComSetupXfer::DataBitsData, DataBitsEntries, DefaultDataBits),
  List("Handshake", 12, &TComSetupXfer::HandshakeData, HandshakeEntries, DefaultHandshake),
  List("Parity", 6, &TComSetupXfer::ParityData, ParityEntries, DefaultParity),
  List("StopBits", 8, &TComSetupXfer::StopBitsData, StopBitsEntries, DefaultStopBits),
  Check("SetDTR", &TComSetupXfer::SetDtrCheck),
  Check("SetRTS", &TComSetupXfer::SetRtsCheck),
  Check("UseCTS", &TComSetupXfer::UseCtsCheck),
  Check("UseDSR", &TComSetupXfer::UseDsrCheck),
  Number("Linelength", 0, &TComSetupXfer::LineLengthText, DefaultLineLength, MinLineLength, MaxLineLength),
  Number("Delaytime", 1, &TComSetupXfer::DelayTimeText, DefaultDelayTime, MinDelayTime, MaxDelayTime),
  Number("Delaychar", 2, &TComSetupXfer::DelayCharText, DefaultDelayChar, MinDelayChar, MaxDelayChar),
};

// A load reads them in another order: the port first.
constexpr std::size_t LoadOrder[] = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
static_assert(std::size(LoadOrder) == std::size(StoredValues) && [] {
  bool seen[std::size(StoredValues)] = {};
  for (const std::size_t i : LoadOrder)
    if (i >= std::size(seen) || std::exchange(seen[i], true))
      return false;
  return true;
}());

constexpr int SaveLockWaitMs = 3000;

// The baud rate as a number, beside the thirteen. A rate whose text does not fit "Baudrate" with
// its end (seven digits) would read back cut short, as another rate: it leaves "Baudrate" empty,
// which a build that knows nothing of this value takes for no choice, and so for its default.
// Written on every save, so that a rate comes back even after such a build stored no choice.
constexpr const char* BaudRateNumberName = "BaudrateBps";

// Room for the longest text value.
constexpr std::uint32_t MaxTextSize = 12;
static_assert(std::ranges::all_of(StoredValues, [](const TStoredValue& v) {
  return v.Size <= MaxTextSize && (v.List ? v.Default >= 0 && std::size_t(v.Default) < v.Entries.size() : v.Size == 4);
}));

// A text value read into a buffer of exactly its read limit; a value that fills the whole
// buffer has no terminating zero, so the text ends at the buffer's end.
std::string ReadText(const TRegKey& key, const char* name, std::uint32_t limit, const char* fallback)
{
  char buffer[MaxTextSize] = {};
  std::uint32_t size = limit;
  if (key.QueryValue(name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &size) != ERROR_SUCCESS)
    return fallback;
  return std::string(buffer, strnlen(buffer, limit));
}

// A number read into four bytes, little-endian; a shorter value leaves the high bytes zero.
bool ReadNumber(const TRegKey& key, const char* name, std::uint32_t& value)
{
  std::uint8_t bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  if (key.QueryValue(name, nullptr, bytes, &size) != ERROR_SUCCESS)
    return false;
  value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
          std::uint32_t(bytes[3]) << 24;
  return true;
}

void WriteNumber(const TRegKey& key, const char* name, std::uint32_t value)
{
  const std::uint8_t bytes[4] = {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                 std::uint8_t(value >> 24)};
  key.SetValue(name, REG_DWORD, bytes, sizeof bytes);
}

// An empty "Baudrate" takes the rate stored beside, if there is one. Read only then, so that a
// store with a rate in "Baudrate" is read as it always was.
void ReadBaudRateNumber(const TRegKey& key, TComboBoxData& baudRate)
{
  std::uint32_t rate = 0;
  if (baudRate.GetSelection().empty() && ReadNumber(key, BaudRateNumberName, rate) &&
      rate >= std::uint32_t(MinBaudRate) && rate <= std::uint32_t(MaxBaudRate))
    baudRate.SelectString(std::to_string(rate));
}

static_assert(StoredValues[0].List == &TComSetupXfer::BaudRateData);
bool BaudRateFits(const TComSetupXfer& xfer)
{
  return xfer.BaudRateData.GetSelection().size() < StoredValues[0].Size;
}

}   // namespace

std::string RateNote(int port, int asked, std::uint32_t actual)
{
  if (asked <= 0 || !RateOff(std::uint32_t(asked), actual))
    return {};
  char format[80], text[120];
  LoadString(IDS_RATE_OFF, format, sizeof format);
  std::snprintf(text, sizeof text, format, port, static_cast<unsigned long>(actual), static_cast<unsigned long>(asked));
  return text;
}

std::int32_t TextValue(const char* text, std::size_t size)
{
  if (!text)
    return 0;
  return TRangeValidator::Value(std::string_view(text, strnlen(text, size)));
}

void LoadPortSettings(TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime, std::int32_t& delayChar)
{
  for (const TStoredValue& value : StoredValues)
    if (value.List)
      for (const char* entry : value.Entries)
        (xfer.*value.List).AddString(entry);

  // Everything is read first, in the load's order; then it is taken in, in the table's.
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  std::string texts[std::size(StoredValues)];
  std::uint32_t raws[std::size(StoredValues)] = {};
  bool read[std::size(StoredValues)] = {};
  for (const std::size_t i : LoadOrder) {
    const TStoredValue& value = StoredValues[i];
    if (value.List)
      texts[i] = ReadText(key, value.Name, value.Size, value.Entries[std::size_t(value.Default)]);
    else
      read[i] = ReadNumber(key, value.Name, raws[i]);
  }
  std::int32_t* const numbers[] = {&lineLength, &delayTime, &delayChar};
  for (std::size_t i = 0; i < std::size(StoredValues); ++i) {
    const TStoredValue& value = StoredValues[i];
    if (value.List) {
      (xfer.*value.List).SelectString(texts[i]);
    } else if (value.Check) {
      xfer.*value.Check = raws[i];
    } else {
      // A number outside its range would not fit the record's text, and would break the
      // display or the pacing: it counts as unreadable.
      const auto number = std::int32_t(raws[i]);
      std::int32_t& target = *numbers[value.Number];
      target = read[i] && number >= value.Min && number <= value.Max ? number : value.Default;
      const std::span<char> text = TextOf(xfer, value);
      std::snprintf(text.data(), text.size(), "%d", int(target));
    }
  }
  ReadBaudRateNumber(key, xfer.BaudRateData);
}

bool SavePortSettings(const TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime,
                      std::int32_t& delayChar, std::string& reason)
{
  std::int32_t* const numbers[] = {&lineLength, &delayTime, &delayChar};
  for (const TStoredValue& value : StoredValues)
    if (value.Number >= 0) {
      const std::span<const char> text = TextOf(xfer, value);
      *numbers[value.Number] = TextValue(text.data(), text.size());
    }

  // All thirteen, and the rate beside them, go in together: a failure or an end on the way must
  // not leave a mix of old and new. The user waits for a save, so another program's lock on the
  // store is waited for longer than a read waits.
  TRegTransaction transaction(SaveLockWaitMs);
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  for (const TStoredValue& value : StoredValues) {
    if (value.List) {
      char text[MaxTextSize];
      (xfer.*value.List).GetSelString(text, value.Size);
      if (value.List == &TComSetupXfer::BaudRateData && !BaudRateFits(xfer))
        std::memset(text, 0, sizeof text);
      key.SetValue(value.Name, REG_SZ, reinterpret_cast<const std::uint8_t*>(text), value.Size);
    } else {
      WriteNumber(key, value.Name, value.Check ? xfer.*value.Check : std::uint32_t(*numbers[value.Number]));
    }
  }
  WriteNumber(key, BaudRateNumberName, std::uint32_t(BaudRateOf(xfer.BaudRateData.GetSelection())));
  if (transaction.Commit())
    return true;
  reason = transaction.Error();
  return false;
}

bool LoadExtraNumber(const char* name, std::uint32_t& value)
{
  return ReadNumber(TRegKey(HKEY_LOCAL_MACHINE, SettingsKeyName), name, value);
}

void StoreExtraNumber(const char* name, std::uint32_t value)
{
  WriteNumber(TRegKey(HKEY_LOCAL_MACHINE, SettingsKeyName), name, value);
}
