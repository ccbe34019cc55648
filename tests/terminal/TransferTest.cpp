// File transfers in the running program, chosen from File > Transfer: lrzsz at the far end of
// the line takes and gives files byte-exact in every protocol while the terminal's other
// commands wait, and what ends a transfer early is told and reaches the far end.
#include "tests/support/Child.h"
#include "tests/support/KalvixSession.h"

#include <QMenu>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

class TransferTest : public KalvixSession {
protected:
  void SetUp() override
  {
    std::filesystem::create_directory(Far);
    std::filesystem::create_directory(Near);
  }
  QAction* Item(const char* text)
  {
    for (QAction* item : Menu("&File", "&Transfer")->menu()->actions())
      if (item->text() == text)
        return item;
    return nullptr;
  }
  static QWidget* TransferWindow() { return TopWindow("Transfer"); }
  // Whether Send, Select, Setup, Switch Mode and the transfer items can be chosen.
  std::vector<bool> Commands()
  {
    std::vector<bool> on {Widget(IDC_SEND)->isEnabled()};
    for (QAction* a : {Menu("&Select"), Menu("Set&up"), Menu("Switch &Mode"), Item("Send with &XMODEM..."),
                       Item("Recei&ve with YMODEM...")})
      on.push_back(a->isEnabled());
    return on;
  }
  static constexpr time_t Mtime = 01234567;

  TPty Pty;
  TNullModem* Cable = nullptr;   // the line of a row
  const std::string Far = Store.Root() + "/far", Near = Store.Root() + "/near";
};

TEST_F(TransferTest, LrzszTakesAndGivesFilesByteExactWhileTheOtherCommandsWait)
{
  // XMODEM carries no size: the last block's padding stays. The raw file is more than the line
  // takes before the far end reads.
  const std::string image = Bytes(100'000, 1), small = Bytes(1000, 2), odd = Bytes(1025, 3), big = Bytes(200'000, 4);
  const auto padded = [](const std::string& bytes) { return bytes + std::string(-bytes.size() % 128, '\x1a'); };
  struct TRow {
    const char* Item;
    std::vector<std::string> Peer;   // lrzsz at the far end; none: the test reads the line itself
    std::string Answer;              // the file or the folder the dialog is answered with
    std::vector<std::pair<std::string, std::string>> Sent, Received;   // path, bytes
    std::string Status;                                                // up to the seconds
    std::size_t LongestWrite = 0;   // the most bytes written on the line at once, if checked
  } rows[] = {
    // clang-format off
    {"Send with &YMODEM...", {"rb", "-q"}, Near + "/image.bin", {{Near + "/image.bin", image}},
     {{Far + "/image.bin", image}}, "Send with YMODEM: image.bin, 100000 bytes in ", 3 + 1024 + 2},   // a frame at once
    {"Send with &XMODEM...", {"rx", "-c", "-q", "x.bin"}, Near + "/x.bin", {{Near + "/x.bin", small}},
     {{Far + "/x.bin", padded(small)}}, "Send with XMODEM: x.bin, 1000 bytes in "},
    {"Send &Raw File...", {}, Near + "/raw.bin", {{Near + "/raw.bin", big}}, {{"", big}},
     "Send Raw File: raw.bin, 200000 bytes in "},
    {"R&eceive with XMODEM...", {"sx", "-q", "x.bin"}, Near + "/got.bin", {{Far + "/x.bin", small}},
     {{Near + "/got.bin", padded(small)}}, "Receive with XMODEM: got.bin, 1024 bytes in "},
    {"Recei&ve with YMODEM...", {"sb", "-q", "image.bin", "c d", "e"}, Near,
     {{Far + "/image.bin", image}, {Far + "/c d", odd}, {Far + "/e", ""}},
     {{Near + "/image.bin", image}, {Near + "/c d", odd}, {Near + "/e", ""}}, "Receive with YMODEM: 3 files, 101025 bytes in "},
    // clang-format on
  };
  TNullModem cable(Pty);
  Store.LinkPort(1, Pty.SlavePath());
  Start();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Item + (" " + row.Received[0].first));
    for (const auto& [path, bytes] : row.Sent)
      PutFile(path, bytes, Mtime);
    // A text log shows none of a protocol's bytes, nor does the receive field; a raw log (the
    // last row's) keeps them.
    const bool rawLog = &row == std::end(rows) - 1;
    const std::string log = Store.Root() + (rawLog ? "/raw.bin" : "/text.log");
    Presenter.FileAnswer = log;
    Presenter.FilterAnswer = rawLog ? 1 : 2;
    std::filesystem::remove(log);
    Menu("&File", "&Log to File...")->trigger();
    Presenter.FileAnswer = row.Answer;
    // The peer sees the line as a line (PeerLine.cpp).
    std::optional<TChild> peer;
    if (!row.Peer.empty())
      peer.emplace(row.Peer, Pty.Master(), Pty.Master(), TChild::Discard, Far,
                   std::vector<std::string> {"LD_PRELOAD=" KALVIX_PEER_LINE});
    cable.SetRts(!row.Peer.empty());   // a raw send waits for CTS under the hardware handshake
    cable.LongestWrite();
    Item(row.Item)->trigger();
    ASSERT_TRUE(TransferWindow());
    EXPECT_EQ(Commands(), std::vector<bool>(6, false));
    EXPECT_EQ(row.Peer.empty() ? Collect(Pty, 1, 300) : "", "");
    cable.SetRts(true);
    // What the device says during a raw send is shown as ever.
    EXPECT_TRUE(!row.Peer.empty() || Pty.Send("ok"));
    const std::string raw = row.Peer.empty() ? Collect(Pty, big.size(), 5000) : "";
    EXPECT_EQ(peer ? peer->Wait(20000, [] { QApplication::processEvents(); }) : "exit 0", "exit 0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !TransferWindow(); }, 5000));
    EXPECT_EQ(Commands(), std::vector<bool>(6, true));
    EXPECT_EQ(Status().substr(0, row.Status.size()), row.Status);
    EXPECT_EQ(row.LongestWrite ? cable.LongestWrite() : 0, row.LongestWrite);
    for (const auto& [path, bytes] : row.Received) {
      struct stat file {};
      EXPECT_TRUE((path.empty() ? raw : FileText(path)) == bytes) << path;
      EXPECT_TRUE(!strstr(row.Item, "YMODEM") || (stat(path.c_str(), &file) == 0 && file.st_mtime == Mtime)) << path;
    }
    Menu("&File", "Stop &Logging")->trigger();
    const std::string shown = row.Peer.empty() ? "6F,6B," : "";
    if (rawLog)
      EXPECT_NE(FileText(log).find(std::string("\x01\x00\xff"
                                               "image.bin\0"
                                               "100000 ",
                                               20)),
                std::string::npos);
    else
      EXPECT_EQ(Unstamped(FileText(log), 0, std::time(nullptr)),
                "--- binary mode ---\n" + shown + (shown.empty() ? "" : "\n"));
    EXPECT_EQ(Received(), shown);
    Menu("&Clear")->trigger();
    EXPECT_TRUE(Presenter.Boxes.empty()) << Presenter.Boxes.front().Text;
  }
  // Each row asked for the log's file, then for the transfer's.
  EXPECT_EQ(Presenter.FileRequests[1].Title, "Send with YMODEM");
  EXPECT_TRUE(Presenter.FileRequests[1].Data.Flags & OFN_FILEMUSTEXIST);
  EXPECT_TRUE(Presenter.FileRequests[7].What == TOpenSaveDialog::TAsk::Save &&
              (Presenter.FileRequests[7].Data.Flags & OFN_OVERWRITEPROMPT))
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
    bool Held = false;   // the far end's DTR low
  } rows[] = {
    // clang-format off
    // The far end's DTR is our DSR: the Hardware handshake holds block 0, and says so. Cancel
    // ends the transfer at once; the abort goes out in the block's place once the line moves.
    {"Cancel on a held line", "Send with &YMODEM...", Near + "/x.bin",
     [this](TPty&) {
       EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == "COM1: waiting for DSR (Hardware handshake)"; }, 2000));
       QTest::mouseClick(DialogItem(*TransferWindow(), IDCANCEL), Qt::LeftButton);
       EXPECT_TRUE(QTest::qWaitFor([&] { return !TransferWindow(); }, 500));
       Cable->SetDtr(true);
     }, abort, "", "Send with YMODEM: x.bin cancelled after 0 bytes in ", true},
    {"the line lost", "Recei&ve with YMODEM...", Near, [](TPty& p) { p.CloseMaster(); }, "",
     "The transfer has failed:\nThe line is lost.\n" + Near + "\n0 bytes done",
     "Receive with YMODEM: near failed after 0 bytes in "},
    {"Exit", "Recei&ve with YMODEM...", Near, [this](TPty&) { Exit(); }, abort, "", ""},
    {"a file that cannot be made", "R&eceive with XMODEM...", Near + "/no/such/x.bin", {}, "",
     "The file cannot be opened:\n" + Near + "/no/such/x.bin\nNo such file or directory", ""},
    // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    TPty line;
    TNullModem cable(line);
    cable.SetDtr(!row.Held);
    Cable = &cable;
    Store.LinkPort(1, line.SlavePath());
    Start();
    Presenter.Boxes.clear();
    PutFile(Near + "/x.bin", "x", Mtime);
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
