// Command files: how a file becomes the entries of the command list, and the command that
// loads one through the file-open dialog.
#include "terminal/TKalvixDlgClient.h"

#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Entries = std::vector<std::string>;

class CommandFileTest : public ::testing::Test {
protected:
  // Writes bytes to a file of the scratch store and loads it.
  Entries LoadBytes(const std::string& bytes)
  {
    const std::string file = Store.Root() + "/commands.dat";
    std::ofstream(file, std::ios::binary) << bytes;
    TCommandListXfer xfer;
    xfer.Load(file);
    EXPECT_EQ(xfer.Commands.GetSelIndex(), -1);
    EXPECT_EQ(xfer.Commands.GetSelection(), "");
    return xfer.Commands.GetStrings();
  }
  TScratchStore Store;
};

TEST_F(CommandFileTest, LineEndsCarriageReturnsAndTheEndOfTheFile)
{
  EXPECT_EQ(LoadBytes("[Reset]AT/0D\r\nATI\r\n"), (Entries {"[Reset]AT/0D", "ATI"}));
  EXPECT_EQ(LoadBytes("[Reset]AT/0D\nATI\n"), (Entries {"[Reset]AT/0D", "ATI"}));
  EXPECT_EQ(LoadBytes("A\rB\nlast"), (Entries {"AB", "last"}));   // a CR anywhere is dropped
  EXPECT_EQ(LoadBytes("one\n\nthree\n"), (Entries {"one", "", "three"}));
  EXPECT_EQ(LoadBytes("one\ntwo\x1Athree\nfour\n"), (Entries {"one", "two"}));
  EXPECT_EQ(LoadBytes(""), Entries {});
  EXPECT_EQ(LoadBytes("\n"), (Entries {""}));
}

TEST_F(CommandFileTest, LongLinesAreCutInto79CharacterEntries)
{
  const std::string l79(79, 'a'), l100(100, 'b');
  EXPECT_EQ(LoadBytes(l79 + "\nx\n"), (Entries {l79, "", "x"}));
  EXPECT_EQ(LoadBytes(l100 + "\n"), (Entries {l100.substr(0, 79), l100.substr(79)}));
  EXPECT_EQ(LoadBytes(l79), (Entries {l79}));   // no line end: no empty entry after it
  EXPECT_EQ(LoadBytes(l79 + l79 + "\n"), (Entries {l79, l79, ""}));
}

TEST_F(CommandFileTest, EveryByteValueSurvives)
{
  std::string all;
  for (int b = 0; b < 256; ++b)
    if (b != '\n' && b != '\r' && b != 0x1A)
      all.push_back(char(b));
  const Entries got = LoadBytes(all + "\n");
  std::string joined;
  for (const std::string& e : got)
    joined += e;
  EXPECT_EQ(joined, all);
  EXPECT_EQ(got.size(), (all.size() + 78) / 79);
}

TEST_F(CommandFileTest, OnlyTheFirstMebibyteOfAHugeFileIsReadAndNoMoreThan16384Entries)
{
  EXPECT_EQ(LoadBytes(std::string(20000, '\n')), Entries(16384, ""));

  // A gibibyte that takes no disk: a line, then zero bytes, then a line at the very end.
  const std::string file = Store.Root() + "/image.bin";
  const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  const off_t size = off_t(1) << 30;
  ASSERT_EQ(write(fd, "first\n", 6), 6);
  ASSERT_EQ(ftruncate(fd, size), 0);
  ASSERT_EQ(pwrite(fd, "last\n", 5, size - 5), 5);
  close(fd);
  TCommandListXfer xfer;
  xfer.Load(file);
  const Entries got = xfer.Commands.GetStrings();
  // After "first", 1 048 570 zero bytes up to the mebibyte: 13 273 entries of 79 and one of 3.
  ASSERT_EQ(got.size(), 1u + 13273u + 1u);
  EXPECT_EQ(got.front(), "first");
  EXPECT_EQ(got[1], std::string(79, '\0'));
  EXPECT_EQ(got.back(), std::string(3, '\0'));
}

class OpenCommandFileTest : public CommandFileTest {
protected:
  void SetUp() override
  {
    Client = std::make_unique<TKalvixDlgClient>(nullptr);
    ASSERT_TRUE(Client->Create());
    Presenter.Boxes.clear();   // the unopenable port at start
  }
  void Open() { SendMessage(Client.get(), WM_COMMAND, CM_OPENCOMMANDFILE, 0); }
  TRecordingPresenter Presenter;
  std::unique_ptr<TKalvixDlgClient> Client;
};

TEST_F(OpenCommandFileTest, TheDialogIsAskedForADatFileAndCancelChangesNothing)
{
  const std::string file = Store.Root() + "/a.dat";
  std::ofstream(file) << "first\nsecond\n";
  Presenter.FileAnswer = file;
  Open();
  ASSERT_EQ(Presenter.FileRequests.size(), 1u);
  const auto& request = Presenter.FileRequests[0];
  EXPECT_EQ(request.Title, "Read Command File");
  EXPECT_EQ(request.Data.Filter, "dat - Dateien (*.dat)|*.dat|All Files (*.*)|*.*|");
  EXPECT_EQ(request.Data.FilterIndex, 1);
  EXPECT_EQ(request.Data.DefExt, "dat");
  EXPECT_EQ(request.Data.Flags, 0x1006u);
  EXPECT_EQ(Client->Commands().Commands.GetStrings(), (Entries {"first", "second"}));

  Presenter.FileAnswer.clear();   // cancelled
  Open();
  EXPECT_EQ(Client->Commands().Commands.GetStrings(), (Entries {"first", "second"}));
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(OpenCommandFileTest, AFileThatCannotBeReadLeavesTheListEmptyWithoutAMessage)
{
  const std::string file = Store.Root() + "/a.dat";
  std::ofstream(file) << "first\n";
  Presenter.FileAnswer = file;
  Open();
  ASSERT_EQ(Client->Commands().Commands.GetStrings().size(), 1u);
  Presenter.FileAnswer = Store.Root() + "/gone.dat";
  Open();
  EXPECT_TRUE(Client->Commands().Commands.GetStrings().empty());
  EXPECT_EQ(Client->Commands().Commands.GetSelIndex(), -1);
  Presenter.FileAnswer = Store.Root();   // a directory
  Open();
  EXPECT_TRUE(Client->Commands().Commands.GetStrings().empty());
  EXPECT_TRUE(Presenter.Boxes.empty());
}

} // namespace
