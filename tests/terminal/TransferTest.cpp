// File transfers in the running program, chosen from File > Transfer: lrzsz at the far end of
// the line takes and gives files byte-exact in every protocol while the terminal's other
// commands wait, and what ends a transfer early is told and reaches the far end.
#include "framework/TStatusBar.h"
#include "tests/support/KalvixSession.h"

#include <QApplication>
#include <QMenu>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

class TransferTest : public KalvixSession {
protected:
  void SetUp() override
  {
    std::filesystem::create_directory(Far);
    std::filesystem::create_directory(Near);
  }
  QAction* Item(const char* text) { return Menu("&File", "&Transfer")->menu()->actions()[ItemIndex(text)]; }
  static int ItemIndex(const char* text)
  {
    const char* items[] = {"Send &Raw File...",       "Send with &XMODEM...",   "Send with &YMODEM...", "-",
                           "R&eceive with XMODEM...", "Recei&ve with YMODEM..."};
    return int(std::find_if(std::begin(items), std::end(items), [&](const char* i) { return !strcmp(i, text); }) -
               std::begin(items));
  }
  static QWidget* TransferWindow()
  {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "Transfer")
        return w;
    return nullptr;
  }
  // Whether Send, Select, Setup, Switch Mode and the transfer items can be chosen.
  std::vector<bool> Commands()
  {
    std::vector<bool> on {Widget(IDC_SEND)->isEnabled()};
    for (QAction* a : {Menu("&Select"), Menu("Set&up"), Menu("Switch &Mode"), Item("Send with &XMODEM..."),
                       Item("Recei&ve with YMODEM...")})
      on.push_back(a->isEnabled());
    return on;
  }
  std::string Status() { return Frame().GetStatusBar()->GetText(); }
  static std::string Bytes(std::size_t n, unsigned seed)
  {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
      c = char(random());
    return bytes;
  }
  static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

  TPty Pty;
  const std::string Far = Store.Root() + "/far", Near = Store.Root() + "/near";
};

TEST_F(TransferTest, LrzszTakesAndGivesFilesByteExactWhileTheOtherCommandsWait)
{
  // The raw file is more than the line takes before the far end reads.
  const std::string pad = "\x1a", image = Bytes(100'000, 1), small = Bytes(1000, 2), odd = Bytes(3000, 3),
                    big = Bytes(200'000, 4);
  struct TRow {
    const char* Item;
    std::vector<std::string> Peer;   // lrzsz at the far end; none: the test reads the line itself
    std::string Answer;              // the file or the folder the dialog is answered with
    std::vector<std::pair<std::string, std::string>> Sent, Received;   // path, bytes
    std::string Status;                                                // up to the seconds
  } rows[] = {
    {"Send with &YMODEM...",
     {"rb", "-q"},
     Near + "/image.bin",
     {{Near + "/image.bin", image}},
     {{Far + "/image.bin", image}},
     "Send with YMODEM: image.bin, 100000 bytes in "},
    // XMODEM carries no size: the last block's padding stays.
    {"Send with &XMODEM...",
     {"rx", "-q", "x.bin"},
     Near + "/x.bin",
     {{Near + "/x.bin", small}},
     {{Far + "/x.bin", small + std::string(24, pad[0])}},
     "Send with XMODEM: x.bin, 1000 bytes in "},
    {"Send &Raw File...",
     {},
     Near + "/raw.bin",
     {{Near + "/raw.bin", big}},
     {{"", big}},
     "Send Raw File: raw.bin, 200000 bytes in "},
    {"R&eceive with XMODEM...",
     {"sx", "-q", "x.bin"},
     Near + "/got.bin",
     {{Far + "/x.bin", small}},
     {{Near + "/got.bin", small + std::string(24, pad[0])}},
     "Receive with XMODEM: got.bin, 1024 bytes in "},
    {"Recei&ve with YMODEM...",
     {"sb", "-q", "a.bin", "empty"},
     Near,
     {{Far + "/a.bin", odd}, {Far + "/empty", ""}},
     {{Near + "/a.bin", odd}, {Near + "/empty", ""}},
     "Receive with YMODEM: 2 files, 3000 bytes in "},
  };
  Store.LinkPort(1, Pty.SlavePath());
  Start();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Item);
    for (const auto& [path, bytes] : row.Sent)
      Put(path, bytes);
    // A text log shows none of a protocol's bytes, nor does the receive field.
    Presenter.FileAnswer = Store.Root() + "/text.log";
    Presenter.FilterAnswer = 2;
    std::filesystem::remove(Presenter.FileAnswer);
    Menu("&File", "&Log to File...")->trigger();
    Presenter.FileAnswer = row.Answer;
    const pid_t peer = row.Peer.empty() ? 0 : Pty.Spawn(row.Peer, Far);
    Item(row.Item)->trigger();
    ASSERT_TRUE(TransferWindow());
    EXPECT_EQ(Commands(), std::vector<bool>(6, false));
    const std::string raw = row.Peer.empty() ? Collect(Pty, big.size(), 5000) : "";
    EXPECT_EQ(TPty::Wait(peer, 20000, [] { QApplication::processEvents(); }), row.Peer.empty() ? -1 : 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !TransferWindow(); }, 5000));
    EXPECT_EQ(Commands(), std::vector<bool>(6, true));
    EXPECT_EQ(Status().substr(0, row.Status.size()), row.Status);
    for (const auto& [path, bytes] : row.Received)
      EXPECT_TRUE((path.empty() ? raw : FileText(path)) == bytes) << path;
    Menu("&File", "Stop &Logging")->trigger();
    EXPECT_EQ(Unstamped(FileText(Store.Root() + "/text.log"), 0, std::time(nullptr)), "--- binary mode ---\n");
    EXPECT_EQ(Received(), "");
    EXPECT_TRUE(Presenter.Boxes.empty()) << Presenter.Boxes.front().Text;
  }
  // Each row asked for the log's file, then for the transfer's.
  EXPECT_EQ(Presenter.FileRequests[1].Title, "Send with YMODEM");
  EXPECT_TRUE(Presenter.FileRequests[1].Data.Flags & OFN_FILEMUSTEXIST);
  EXPECT_TRUE(Presenter.FileRequests[7].Save && (Presenter.FileRequests[7].Data.Flags & OFN_OVERWRITEPROMPT))
    << "an XMODEM file replaces one only after the question";
}

TEST_F(TransferTest, WhatEndsATransferEarlyIsToldAndReachesTheFarEnd)
{
  const std::string abort = std::string(8, '\x18') + std::string(8, '\b');
  struct TRow {
    const char* What;
    const char* Item;
    std::string Answer;
    std::function<void(TPty&)> Act;   // the far end or the user, once the first request is seen
    std::string FarEndSees;           // after the first request
    std::string Box;                  // "": none
    std::string Status;
  } rows[] = {
    {"the far end cancels", "Send with &XMODEM...", Near + "/x.bin", [](TPty& p) { p.Send("\x18\x18"); }, "",
     "The transfer has failed:\nThe far end cancelled it.\n" + Near + "/x.bin\n0 bytes done",
     "Send with XMODEM: x.bin failed after 0 bytes in "},
    {"Cancel pressed", "R&eceive with XMODEM...", Near + "/got.bin",
     [](TPty&) { QTest::mouseClick(DialogItem(*TransferWindow(), IDCANCEL), Qt::LeftButton); }, abort, "",
     "Receive with XMODEM: got.bin cancelled after 0 bytes in "},
    {"the line lost", "Recei&ve with YMODEM...", Near, [](TPty& p) { p.CloseMaster(); }, "",
     "The transfer has failed:\nThe line is lost.\n" + Near + "\n0 bytes done",
     "Receive with YMODEM: near failed after 0 bytes in "},
    {"Exit", "Recei&ve with YMODEM...", Near, [this](TPty&) { Exit(); }, abort, "", ""},
    {"a file that cannot be made",
     "R&eceive with XMODEM...",
     Near + "/no/such/x.bin",
     {},
     "",
     "The file cannot be opened:\n" + Near + "/no/such/x.bin\nNo such file or directory",
     ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    TPty line;
    Store.LinkPort(1, line.SlavePath());
    Start();
    Presenter.Boxes.clear();
    Put(Near + "/x.bin", "x");
    Presenter.FileAnswer = row.Answer;
    Item(row.Item)->trigger();
    if (row.Act) {
      // The sender waits for the receiver's 'C'; a receiver asks with one.
      const bool sending = row.Item[0] == 'S';
      ASSERT_TRUE(sending ? line.Send("C") : Collect(line, 1, 2000) == "C");
      QTest::qWait(50);
      line.Receive(4096, 50);   // block 1 of a send
      row.Act(line);
      EXPECT_EQ(row.FarEndSees.empty() ? "" : Collect(line, row.FarEndSees.size(), 2000), row.FarEndSees);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !TransferWindow() && Presenter.Boxes.size() == !row.Box.empty(); }, 5000));
    EXPECT_EQ(Presenter.Boxes.empty() ? "" : Presenter.Boxes[0].Text, row.Box);
    EXPECT_EQ(App ? Status().substr(0, row.Status.size()) : "", row.Status);
    App.reset();
  }
}

}   // namespace
