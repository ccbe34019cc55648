// Command files: how a file becomes the entries of the command list, and the command that
// loads one through the file-open dialog.
#include "terminal/TKalvixDlgClient.h"

#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(CommandFileTest, AHugeSingleLineBecomesManyEntries)
{
  const std::string line(10 * 1024 * 1024, 'z');
  const Entries got = LoadBytes(line);
  EXPECT_EQ(got.size(), (line.size() + 78) / 79);
  EXPECT_EQ(got.back().size(), line.size() % 79 == 0 ? 79u : line.size() % 79);
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
