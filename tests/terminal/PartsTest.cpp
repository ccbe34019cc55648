// The terminal window's parts on their own: the send notations, the receive formatting and the
// command-file reader. (The receive view's time stamps: ReceiveView in ColoursTest.)
#include "terminal/SendNotation.h"
#include "terminal/TCommandListXfer.h"
#include "terminal/TReceiveView.h"
#include "tests/support/ScratchStore.h"

#include <QByteArray>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(SendNotation, EveryWorkedConversionAndTheEdgesOfBothNotationsHold)
{
  // Mode (text or binary), send text, bytes, delay points, repeat.
  const std::tuple<bool, std::string, const char*, std::vector<int>, bool> rows[] = {
    {true, "AT/0D", "41 54 0D", {}, false},
    {true, "AB,CD", "41 42 43 44", {2}, false},
    {true, "/ABC", "AB 43", {}, false},
    {true, ",A,", "41", {0, 1}, false},       // delay points first and last
    {true, "/-1", "FF", {}, false},           // a sign: two's complement
    {true, "/5Z", "05", {}, false},           // the Z goes with the escape field
    {true, "a/2c", "61", {1}, false},         // an escape of the delay character is a pause too
    {true, "\xe4\x01", "E4 01", {}, false},   // bytes from a command file pass unchanged
    {false, "1B,5A;0D", "1B 5A 0D", {2}, false},
    {false, "41,42:", "41 42", {}, true},
    {false, "12;:", "12", {1}, true},
    {false, "1#2", "01", {}, false},
    {false, "#1234", "9A 02", {}, false},
    {false, "#2048", "00 00", {}, false},
    {false, ";", "", {0}, false},
    {false, "G1,2", "02", {}, false},   // a token that is no number
    {false, " 7,-1,#-1", "07 FF FF 07", {}, false},
    {false, "1:2:", "01 02", {}, true},
    // 80 characters give at most 80 bytes and 80 delay points ('A' the delay character).
    {true, std::string(80, 'A'), "", std::vector<int>(80, 0), false},
    {false, std::string(80, ';'), "", std::vector<int>(80, 0), false},
  };
  for (const auto& [text, input, sent, pauses, repeats] : rows) {
    std::uint8_t bytes[SendMax + 1] = {};
    std::int32_t delays[SendMax];
    std::fill_n(delays, SendMax, -1);
    bool repeat = false;
    const int n = text ? ConvertText(input, input.size() == 80 ? 'A' : ',', bytes, delays)
                       : ConvertBinary(input, bytes, delays, repeat);
    std::string hex;
    for (int i = 0; i < n; ++i)
      hex.append(i ? " " : "").append(QByteArray(1, char(bytes[i])).toHex().toUpper().toStdString());
    EXPECT_EQ(std::tuple(hex, std::vector<int>(delays, std::find(delays, delays + SendMax, -1)), repeat),
              std::tuple(std::string(sent), pauses, repeats))
      << input;
  }
}

TEST(ReceiveFormat, EveryWorkedExampleOfBothModesAndTheColumnCarriedOn)
{
  // Bytes, mode (text or binary), line length, column before, text shown, column after.
  const std::tuple<std::string, bool, int, int, std::string, int> rows[] = {
    {"Hello\r\n", true, 80, 0, "Hello\r\n/0A", 1},
    {"a/\x7f\x80\xff", true, 80, 0, "a/2F\x7f/80/FF", 5},
    {"\x01\x02\x03", true, 3, 0, "/01/02/03\r\n", 0},   // an escape counts as one column
    {"cd", true, 3, 2, "c\r\nd", 1},                    // the column carried from the chunk before
    {"x\r", true, 0, 0, "x\r\n\r\n\r\n", 0},            // no line length: a break after every byte
    {"\x01\x02\x03\x04\x05", false, 4, 0, "01,02,03,04,\r\n05,", 1},
    {"\r", false, 80, 0, "0D,", 1},                                           // a carriage return breaks no line
    {std::string(100, 'a'), true, 80, 0, std::string(80, 'a') + "\r\n", 0},   // only 80 bytes are taken
  };
  for (const auto& [bytes, text, lineLength, before, shown, after] : rows) {
    char out[TReceiveView::ChunkTextSize];
    std::int32_t column = before;
    const std::size_t n = TReceiveView::FormatChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                                    text, lineLength, column, out);
    EXPECT_EQ(std::pair(std::string(out, n + 1), column), std::pair(shown + '\0', after)) << bytes;
  }
}

using Entries = std::vector<std::string>;

TEST(CommandFile, LinesEndAtLfWithoutCrStopAtCtrlZAreCutInto79CharactersAndOnlyAMebibyteIsRead)
{
  TScratchStore store;
  const std::string file = store.Root() + "/commands.dat", l100(100, 'b');
  TCommandListXfer xfer;   // loaded again and again: nothing of a load before stays
  const auto load = [&](const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    xfer.Load(file);
    return xfer.Commands.GetStrings();
  };
  EXPECT_EQ(load("A\rB\n\nlast"), (Entries {"AB", "", "last"}));   // a CR anywhere is dropped
  EXPECT_EQ(load("one\ntwo\x1Athree\n"), (Entries {"one", "two"}));
  EXPECT_EQ(load(l100), (Entries {l100.substr(0, 79), l100.substr(79)}));   // no line end: no empty entry after it
  EXPECT_EQ(load(std::string(20000, '\n')), Entries(16384, ""));            // no more than 16 384 entries
  // A gibibyte that takes no disk: after "first", 1 048 570 zero bytes up to the mebibyte make
  // 13 273 entries of 79 and one of 3.
  load("first\n");
  std::filesystem::resize_file(file, std::uintmax_t(1) << 30);
  xfer.Load(file);
  EXPECT_EQ(xfer.Commands.GetStrings().size(), 1u + 13273u + 1u);
  EXPECT_EQ(xfer.Commands.GetStrings().back(), std::string(3, '\0'));
  // A FIFO nobody writes, a directory, a path that leads nowhere: each empties the list.
  ASSERT_EQ(mkfifo((store.Root() + "/fifo.dat").c_str(), 0600), 0);
  for (const char* path : {"/fifo.dat", "", "/missing.dat"})
    EXPECT_TRUE((load("x\n"), xfer.Load(store.Root() + path), xfer.Commands.GetStrings().empty())) << path;
}

}   // namespace
