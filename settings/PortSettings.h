#pragma once
// Loading and saving the port settings: key HKEY_LOCAL_MACHINE "Software\Kalvix", thirteen
// values. Texts are stored as the visible entry text with a fixed byte count, numbers as four
// little-endian bytes. What cannot be read takes its default; a save stores all thirteen or,
// when the store fails, none, and says why.
#include "framework/TRegKey.h"
#include "settings/TComSetupXfer.h"

#include <cstdint>
#include <string>

inline constexpr const char* SettingsKeyName = "Software\\Kalvix";

inline constexpr std::int32_t DefaultLineLength = 80, MinLineLength = 1, MaxLineLength = 80;
inline constexpr std::int32_t DefaultDelayTime = 0, MinDelayTime = 0, MaxDelayTime = 9999;
inline constexpr std::int32_t DefaultDelayChar = 44, MinDelayChar = 0, MaxDelayChar = 255;

// Fills the six lists, reads the stored settings (defaults for what cannot be read, and for
// stored numbers outside their ranges) and sets the record's texts from the three integers.
// The key is created, empty, when missing; nothing is written back.
void LoadPortSettings(TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime, std::int32_t& delayChar);

// Takes the three integers from the record's texts and stores all thirteen values in one
// transaction, waiting a few seconds for a store another program holds. False when nothing was
// stored, with the store's reason in reason.
bool SavePortSettings(const TComSetupXfer& xfer, std::int32_t& lineLength, std::int32_t& delayTime,
                      std::int32_t& delayChar, std::string& reason);

// What the status bar says of port's line asked to run at asked bits per second, which the driver
// runs at actual: empty unless that is more than 2 % off.
std::string RateNote(int port, int asked, std::uint32_t actual);

// The value of a text of at most size bytes: optional sign, then decimal digits up to the
// first other character; empty or without digits gives 0. Saturates instead of overflowing.
std::int32_t TextValue(const char* text, std::size_t size);

// A number stored beside the thirteen under a name of its own (older builds read only theirs):
// false when it cannot be read. Storing it passes failures silently.
bool LoadExtraNumber(const char* name, std::uint32_t& value);
void StoreExtraNumber(const char* name, std::uint32_t value);
