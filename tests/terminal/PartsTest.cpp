// The terminal window's parts on their own: the send notations, the receive formatting, the
// modem lamps and the command-file reader.
#include "framework/TDialog.h"
#include "resources/ResourceIds.h"
#include "terminal/SendNotation.h"
#include "terminal/TCommandListXfer.h"
#include "terminal/TModemLamps.h"
#include "terminal/TReceiveView.h"
#include "tests/support/ScratchStore.h"

#include <QByteArray>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(SendNotation, EveryWorkedConversionAndTheEdgesOfBothNotationsHold)
{
  struct TRow {
    bool Text;
    std::string Input;
    const char* Bytes;
    std::vector<int> Delays;
    bool Repeat = false;
  };
  const TRow rows[] = {
    {true, "AT/0D", "41 54 0D", {}},
    {true, "AB,CD", "41 42 43 44", {2}},
    {true, "/ABC", "AB 43", {}},
    {true, ",A,", "41", {0, 1}},       // delay points first and last
    {true, "A,,B", "41 42", {1, 1}},   // two in a row
    {true, "/-1", "FF", {}},           // a sign: two's complement
    {true, "/5Z", "05", {}},           // the Z goes with the escape field
    {true, "/F", "0F", {}},            // one digit at the end of the text
    {true, "/ZZA", "41", {}},          // no number: nothing stored
    {true, "/", "", {}},
    {true, "a/2c", "61", {1}},         // an escape of the delay character is a pause too
    {true, "\xe4\x01", "E4 01", {}},   // bytes from a command file pass unchanged
    {false, "1B,5A;0D", "1B 5A 0D", {2}},
    {false, "41,42:", "41 42", {}, true},
    {false, "41:42", "41 42", {}},
    {false, "12;:", "12", {1}, true},
    {false, ",,1,,2", "01 02", {}},
    {false, "123", "12", {}},
    {false, "1#2", "01", {}},
    {false, "#1234", "9A 02", {}},
    {false, "#2047", "FF 07", {}},
    {false, "#2048", "00 00", {}},
    {false, "#12AB", "01 04", {}},
    {false, ";", "", {0}},
    {false, "1;;2", "01 02", {1, 1}},
    {false, "#AB", "", {}},
    {false, "G1,2", "02", {}},   // a token that is no number
    {false, " 7,-1,#-1", "07 FF FF 07", {}},
    {false, "1:2:", "01 02", {}, true},
    // 80 characters give at most 80 bytes and 80 delay points ('A' the delay character).
    {true, std::string(80, 'A'), "", std::vector<int>(80, 0)},
    {false, std::string(80, ';'), "", std::vector<int>(80, 0)},
  };
  for (const TRow& r : rows) {
    std::uint8_t bytes[SendMax + 1] = {};
    std::int32_t delays[SendMax];
    std::fill(std::begin(delays), std::end(delays), -1);
    bool repeat = false;
    const int n = r.Text ? ConvertText(r.Input, r.Input.size() == 80 ? 'A' : ',', bytes, delays)
                         : ConvertBinary(r.Input, bytes, delays, repeat);
    std::string hex;
    for (int i = 0; i < n; ++i)
      hex += (i ? " " : "") + QByteArray(1, char(bytes[i])).toHex().toUpper().toStdString();
    EXPECT_EQ(hex, r.Bytes) << r.Input;
    EXPECT_EQ(std::vector<int>(delays, std::find(delays, delays + SendMax, -1)), r.Delays) << r.Input;
    EXPECT_EQ(repeat, r.Repeat) << r.Input;
  }
}

TEST(ReceiveFormat, EveryWorkedExampleOfBothModesAndTheColumnCarriedOn)
{
  std::string values80, breaks80;
  for (int i = 0; i < 80; ++i)
    values80 += "01,", breaks80 += "AB,\r\n";
  struct TRow {
    std::string Bytes;
    bool Text;
    int LineLength, Column;
    std::string Shown;
    int ColumnAfter;
  };
  const TRow rows[] = {
    {"Hello\r\n", true, 80, 0, "Hello\r\n/0A", 1},
    {"a/\x7f\x80\xff", true, 80, 0, "a/2F\x7f/80/FF", 5},
    {"\x01\x02\x03", true, 3, 0, "/01/02/03\r\n", 0},   // an escape counts as one column
    {"cd", true, 3, 2, "c\r\nd", 1},                    // the column carried from the chunk before
    {"x\r", true, 0, 0, "x\r\n\r\n\r\n", 0},            // no line length: a break after every byte
    {"x", true, -5, 0, "x\r\n", 0},
    {"\x01\x02\x03\x04\x05", false, 4, 0, "01,02,03,04,\r\n05,", 1},
    {"\r", false, 80, 0, "0D,", 1},                   // a carriage return breaks no line
    {std::string(100, '\x01'), false, 80, 0, values80 + "\r\n", 0},   // only 80 bytes are taken
    {std::string(80, '\xAB'), false, 1, 0, breaks80, 0},              // the longest text of a chunk
  };
  for (const TRow& r : rows) {
    char out[TReceiveView::ChunkTextSize];
    std::int32_t column = r.Column;
    const std::size_t n = TReceiveView::FormatChunk(reinterpret_cast<const std::uint8_t*>(r.Bytes.data()),
                                                    r.Bytes.size(), r.Text, r.LineLength, column, out);
    EXPECT_EQ(std::string(out, n + 1), r.Shown + '\0') << r.Bytes;
    EXPECT_EQ(column, r.ColumnAfter) << r.Bytes;
  }
}

TEST(ModemLamps, OutputLampsAreRedAndInputLampsFollowOnlyAChangedStatusWord)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  TModemLamps lamps(&dialog);
  ASSERT_TRUE(dialog.Create());
  lamps.ShowOutputs(true, false);
  EXPECT_EQ(std::vector<int>({lamps.DtrLed.GetState(), lamps.RtsLed.GetState()}),
            std::vector<int>({TLed::LedRed, TLed::LedOff}));
  constexpr int G = TLed::LedGreen, O = TLed::LedOff;
  // The status word, then CTS, DSR, RI and DCD; a word that cannot be read shows them all off.
  const std::vector<long> rows[] = {{0x10, G, O, O, O}, {0x20 | 0x80, O, G, O, G}, {0x40, O, O, G, O},
                                    {0xFF, G, G, G, G}, {-1, O, O, O, O}};
  for (const std::vector<long>& r : rows) {
    lamps.ShowInputs(r[0]);
    EXPECT_EQ(std::vector<long>({r[0], lamps.CtsLed.GetState(), lamps.DsrLed.GetState(), lamps.RiLed.GetState(),
                                 lamps.DcdLed.GetState()}),
              r);
  }
  lamps.DsrLed.SetState(TLed::LedRed);
  lamps.ShowInputs(0);   // the same word as the last one shown: no lamp is touched
  EXPECT_EQ(lamps.DsrLed.GetState(), TLed::LedRed);
}

using Entries = std::vector<std::string>;

TEST(CommandFile, LinesEndAtLfWithoutCrStopAtCtrlZAndAreCutInto79CharacterEntries)
{
  TScratchStore store;
  const std::string file = store.Root() + "/commands.dat", l79(79, 'a'), l100(100, 'b');
  const auto load = [&](const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    TCommandListXfer xfer;
    xfer.Commands.AddString("left over");
    xfer.Load(file);
    EXPECT_EQ(xfer.Commands.GetSelIndex(), -1);
    return xfer.Commands.GetStrings();
  };
  EXPECT_EQ(load("[Reset]AT/0D\r\nATI\r\n"), (Entries {"[Reset]AT/0D", "ATI"}));
  EXPECT_EQ(load("A\rB\nlast"), (Entries {"AB", "last"}));   // a CR anywhere is dropped
  EXPECT_EQ(load("one\n\nthree\n"), (Entries {"one", "", "three"}));
  EXPECT_EQ(load("one\ntwo\x1Athree\nfour\n"), (Entries {"one", "two"}));
  EXPECT_EQ(load(""), Entries {});
  EXPECT_EQ(load(l79 + "\nx\n"), (Entries {l79, "", "x"}));
  EXPECT_EQ(load(l100 + "\n"), (Entries {l100.substr(0, 79), l100.substr(79)}));
  EXPECT_EQ(load(l79), (Entries {l79}));   // no line end: no empty entry after it
  EXPECT_EQ(load(std::string("\0\x01\xff\n", 4)), (Entries {std::string("\0\x01\xff", 3)}));
  EXPECT_EQ(load(std::string(20000, '\n')), Entries(16384, ""));   // no more than 16 384 entries
}

TEST(CommandFile, OnlyTheFirstMebibyteOfAHugeFileIsReadAndWhatIsNoFileLoadsNothing)
{
  TScratchStore store;
  // A gibibyte that takes no disk: a line, then zero bytes, then a line at the very end.
  const std::string file = store.Root() + "/image.bin";
  const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_EQ(write(fd, "first\n", 6), 6);
  ASSERT_EQ(ftruncate(fd, off_t(1) << 30), 0);
  ASSERT_EQ(pwrite(fd, "last\n", 5, (off_t(1) << 30) - 5), 5);
  close(fd);
  TCommandListXfer xfer;
  xfer.Load(file);
  const Entries got = xfer.Commands.GetStrings();
  // After "first", 1 048 570 zero bytes up to the mebibyte: 13 273 entries of 79 and one of 3.
  ASSERT_EQ(got.size(), 1u + 13273u + 1u);
  EXPECT_EQ(got[1], std::string(79, '\0'));
  EXPECT_EQ(got.back(), std::string(3, '\0'));
  // A FIFO nobody writes, a directory, a path that leads nowhere: each empties the list.
  ASSERT_EQ(mkfifo((store.Root() + "/fifo.dat").c_str(), 0600), 0);
  for (const char* path : {"/fifo.dat", "", "/missing.dat"}) {
    xfer.Load(file);
    xfer.Load(store.Root() + path);
    EXPECT_TRUE(xfer.Commands.GetStrings().empty()) << path;
  }
}

}   // namespace
