// The transfer engine alone against scripted peers on a clock of the test's own, and its run
// through a port on a pseudo-terminal. (lrzsz at the far end of a real line, through the
// window: TransferTest.)
#include "serial/TComPort.h"
#include "tests/support/NullModem.h"
#include "transfer/TTransferRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using P = TFileTransfer::TProtocol;
using S = TFileTransfer::TState;
using F = TFileTransfer::TFailure;
using namespace std::chrono_literals;
const std::string Ack = "\x06", Nak = "\x15", Eot = "\x04", Abort = "\x18\x18\x18\x18\x18\x18\x18\x18\b\b\b\b\b\b\b\b";
constexpr time_t Mtime = 01234567;

std::string Padded(std::string s, std::size_t to)
{
  return s.append((to - s.size() % to) % to, '\x1A');
}

// The test's own framing: CRC-16 (poly 0x1021, init 0) or the arithmetic checksum.
std::uint16_t Crc(const std::string& d)
{
  unsigned crc = 0;
  for (const char c : d)
    for (int bit = 0, x = std::uint8_t(c) << 8; bit < 8; ++bit, x <<= 1)
      crc = ((crc ^ x) & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1) & 0xFFFF;
  return std::uint16_t(crc);
}
std::string Block(int n, std::string data, bool crc = true, char pad = '\x1A')
{
  data.resize(data.size() <= 128 ? 128 : 1024, pad);
  unsigned sum = 0;
  for (const char c : data)
    sum += std::uint8_t(c);
  return std::string {data.size() == 128 ? '\x01' : '\x02', char(n), char(255 - n)} + data +
         (crc ? std::string {char(Crc(data) >> 8), char(Crc(data))} : std::string(1, char(sum)));
}
// Block 0: the name, NUL, the fields; zero-filled. No name: the batch's end.
std::string Name(const std::string& name, const std::string& fields = "", bool crc = true)
{
  return Block(0, name.empty() ? "" : name + '\0' + fields, crc, '\0');
}

// One exchange with the peer: after Ms of the clock, what the peer says (or what the test does)
// and what the engine answers; Times over.
enum class TDo { Say, Grow };
struct TStep {
  int Ms;
  std::string In, Out;
  int Times = 1;
  TDo Do = TDo::Say;
};
using TSteps = std::vector<TStep>;
TSteps operator+(TSteps a, const TSteps& b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const TSteps Asked = {{0, "", "C"}};
// A YMODEM file of one block as its sender offers it, and the receiver's answers.
TSteps YFile(const std::string& name, const std::string& fields, const std::string& data)
{
  return {{0, Name(name, fields), Ack + "C"}, {0, Block(1, data), Ack}, {0, Eot, Nak}, {0, Eot, Ack + "C"}};
}

TEST(FileTransferTest, ScriptedPeersMeetEveryAnswerTimeLimitAndFault)
{
  const std::string x = Bytes(2000, 7), y = Bytes(1024, 9), x1 = x.substr(0, 128);
  const std::string greeting = "## Ready for binary (ymodem) download to 0x82000000 at 115200 bps...\r\n";
  std::string utf8 = "n";   // 301 bytes: 200 of them end inside a character
  for (int i = 0; i < 150; ++i)
    utf8 += "\xc3\xa9";
  TSteps files = Asked;   // more files of one name than the folder can number
  for (const TSteps file = YFile("same.txt", "", "s"); files.size() < 4001;)
    files.insert(files.end(), file.begin(), file.end());
  files.push_back({0, Name("same.txt"), Abort});
  // Protocol, sending, the file sent, the exchange; the end, retries, file bytes done, files
  // done, what the receive folder holds after (made before: "taken", "old.tar.gz", "x", and
  // "link" to "../outside"; XMODEM receives into "x"), and the file in hand at the end.
  // clang-format off
  const struct {
    P Protocol; bool Send; std::string File; TSteps Steps;
    S State; F Why; int Retries; std::uint64_t Done; int Files;
    std::vector<std::pair<std::string, std::string>> Folder = {};
    rlim_t Limit = RLIM_INFINITY; int Error = 0; std::string Path = "";
  } cases[] = {
    // Sending: a greeting ignored; the first block again on 'C'; the checksum form; limits.
    {P::XModem, true, x.substr(0, 129), {{0, greeting, ""}, {0, "C", Block(1, x1)}, {0, "C", Block(1, x1)},
     {0, Ack, Block(2, x.substr(128, 1))}, {0, "C", ""}, {0, Ack, Eot}, {0, Ack, ""}}, S::Done, F::None, 1, 129, 1},
    {P::XModem, true, "z", {{0, Nak, Block(1, "z", false)}, {0, Nak, Block(1, "z", false), 10}, {0, Nak, Abort}},
     S::Failed, F::Retries, 10, 0, 0},
    {P::XModem, true, "z", {{59'999, "", ""}, {1, "", Abort}}, S::Failed, F::NoStart, 0, 0, 0},
    {P::XModem, true, x, {{0, "C", Block(1, x1)}, {0, Ack, Abort, 1, TDo::Grow}}, S::Failed, F::FileChanged, 0, 128, 0},
    {P::YModem, true, x, {{0, "C", Name("f", "2000 1234567")}, {9'999, "", ""}, {1, "", Name("f", "2000 1234567")},
     {0, Ack, ""}, {0, "C", Block(1, x.substr(0, 1024))}, {0, Ack, Block(2, x.substr(1024))}, {0, "\x18\x18", ""}},
     S::Failed, F::FarCancel, 1, 1024, 0},
    // The batch's end: the empty block 0 on request; no answer to it, or no request, is no failure.
    {P::YModem, true, "", {{0, "C", Name("f", "0 1234567")}, {0, Ack + "C", Eot}, {0, Nak, Eot}, {0, Ack, ""},
     {9'999, "", ""}, {0, "C", Name("")}, {10'000, "", Name(""), 10}, {10'000, "", ""}}, S::Done, F::None, 10, 0, 1},
    {P::YModem, true, "", {{0, Nak, Name("f", "0 1234567", false)}, {0, Ack, ""}, {0, "C", Eot}, {0, Ack, ""},
     {10'000, "", ""}}, S::Done, F::None, 0, 0, 1},
    {P::YModem, true, "", {{0, "C", Name("f", "0 1234567")}, {0, Ack + "C", Eot}, {0, Ack + "C", Name("")},
     {0, "\x18\x18", ""}}, S::Done, F::None, 0, 0, 1},
    {P::Raw, true, x, {{0, "C", x.substr(0, 1024)}, {0, "", x.substr(1024)}, {0, "", ""}}, S::Done, F::None, 0, 2000, 1},
    // Receiving XMODEM: start requests, bad blocks, duplicates, EOT before any block (noise),
    // within the file (refused, then the data goes on) and at its end, a sender gone quiet.
    {P::XModem, false, "", Asked + TSteps {{2'999, "", ""}, {1, "", "C"}, {0, Eot, ""},
     {0, "\x01\x01\xfe" + std::string(130, 'v'), Nak}, {0, Block(1, x1).replace(2, 1, "\x01"), Nak}, {0, Block(1, x1), Ack},
     {0, Eot, Nak}, {0, Block(1, y), Ack}, {0, Block(2, y), Ack}, {0, Eot, Nak}, {0, Eot, Ack}},
     S::Done, F::None, 2, 1152, 1, {{"x", x1 + y}}},
    {P::XModem, false, "", Asked + TSteps {{3'000, "", "C", 2}, {3'000, "", Nak}, {500, Block(1, x1, false), Ack},
     {10'000, "", Nak, 5}, {10'000, "", Abort}}, S::Failed, F::Silence, 5, 128, 0, {{"x", x1}}},
    {P::XModem, false, "", Asked + TSteps {{3'000, "", "C", 2}, {3'000, "", Nak, 17}, {3'000, "", Abort}},
     S::Failed, F::NoStart, 0, 0, 0, {{"x", "old"}}},
    {P::XModem, false, "", Asked + TSteps {{0, "\x01\x01", ""}, {1'000, "", Nak},
     {0, Block(1, x1).replace(1, 1, "\x02"), Nak, 8}, {0, Block(1, x1).replace(1, 1, "\x02"), Abort}},
     S::Failed, F::Retries, 9, 0, 0, {{"x", "old"}}},
    {P::XModem, false, "", Asked + TSteps {{0, Block(1, x1), Ack}, {0, Block(3, x1), Abort}}, S::Failed, F::Sequence, 0, 128, 0},
    {P::XModem, false, "", Asked + TSteps {{0, "\x18\x18", ""}}, S::Failed, F::FarCancel, 0, 0, 0},
    // Receiving YMODEM: names kept inside the folder, cut on a character, never hidden nor
    // replacing; sizes held to. The file that could not be named is the one in hand.
    {P::YModem, false, "", Asked + YFile("../up\x01.txt", "3", y) + YFile("/etc/taken", "", y) + YFile("old.tar.gz", "", "o")
     + YFile("link", "", "l") + YFile("a/..", "", "u") + YFile(std::string(300, 'n'), "", "n") + YFile(".profile", "", "h")
     + YFile(utf8, "", "8") + TSteps {{0, Name(""), Ack}},
     S::Done, F::None, 0, 0, 8, {{"up_.txt", y.substr(0, 3)}, {"taken", "old"}, {"taken (1)", y},
     {"old.tar (1).gz", Padded("o", 128)}, {"link (1)", Padded("l", 128)}, {"../outside", "old"},
     {"unnamed", Padded("u", 128)}, {std::string(200, 'n'), Padded("n", 128)}, {"_profile", Padded("h", 128)},
     {utf8.substr(0, 199), Padded("8", 128)}}},
    {P::YModem, false, "", files, S::Failed, F::FileError, 0, 0, 1000, {{"same (999).txt", Padded("s", 128)}},
     RLIM_INFINITY, EEXIST, "same.txt"},
    {P::YModem, false, "", Asked + TSteps {{0, Name("s", "3000"), Ack + "C"}, {0, Name("s", "3000"), Ack + "C"}, {0, Block(1, y), Ack}, {0, Eot, Nak},
     {0, Eot, Ack}}, S::Failed, F::Short, 0, 1024, 0, {{"s", y}}},
    {P::YModem, false, "", Asked + TSteps {{0, Name("t", "100 0"), Ack + "C"}, {0, Block(1, y), Ack},
     {0, Block(2, y), Abort}}, S::Failed, F::TooLong, 0, 100, 0, {{"t", y.substr(0, 100)}}},
    {P::YModem, false, "", Asked + TSteps {{0, Name("big", "4096"), Ack + "C"}, {0, Block(1, y), Ack},
     {0, Block(2, y), Abort}}, S::Failed, F::FileError, 0, 1024, 0, {{"big", y + y.substr(0, 476)}}, 1500, EFBIG},
  };
  // clang-format on
  TScratchStore store;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
    const std::string dir = store.Root() + "/" + std::to_string(&c - cases), in = dir + "/in", file = dir + "/f";
    std::filesystem::create_directories(in);
    for (const char* name : {"/taken", "/old.tar.gz", "/x", "/../outside"})
      PutFile(in + name, "old", Mtime);
    std::filesystem::create_symlink("../outside", in + "/link");
    PutFile(file, c.File, Mtime);
    TFileTransfer t;
    auto now = TFileTransfer::TTime {} + 1h;
    ASSERT_EQ(c.Send ? t.StartSend(c.Protocol, file, now)
                     : t.StartReceive(c.Protocol, c.Protocol == P::XModem ? in + "/x" : in, now),
              0);
    rlimit before {};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit limit {c.Limit, before.rlim_max};
    const auto handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    for (const auto& s : c.Steps)
      for (int n = 0; n < s.Times; ++n) {
        now += std::chrono::milliseconds(s.Ms);
        if (s.Do == TDo::Grow)
          std::ofstream(file, std::ios::app) << 'g';
        t.Received(reinterpret_cast<const std::uint8_t*>(s.In.data()), s.In.size(), now);
        t.Tick(now, false);
        const std::string out(t.Output());
        t.Taken(out.size(), now);
        EXPECT_TRUE(out == s.Out) << "step " << &s - c.Steps.data() << "." << n << ": " << out.size() << " bytes";
      }
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(std::tuple(t.State(), t.Failure(), t.Error(), t.Retries(), t.FileDone(), t.Files()),
              std::tuple(c.State, c.Why, c.Error, c.Retries, c.Done, c.Files));
    for (const auto& [name, data] : c.Folder)
      EXPECT_TRUE(FileText(in + "/" + name) == data) << name;
    EXPECT_TRUE(c.Path.empty() || t.Path() == in + "/" + c.Path) << t.Path();
  }
  TFileTransfer t;
  const auto at = TFileTransfer::TTime {};
  ASSERT_EQ(mkfifo((store.Root() + "/fifo").c_str(), 0600), 0);
  EXPECT_EQ(std::tuple(t.StartSend(P::XModem, store.Root() + "/none", at), t.StartSend(P::YModem, store.Root(), at),
                       t.StartReceive(P::YModem, store.Root() + "/0/f", at),
                       t.StartReceive(P::XModem, store.Root() + "/none/x", at),
                       t.StartReceive(P::XModem, store.Root() + "/fifo", at), t.State()),
            std::tuple(ENOENT, EINVAL, ENOTDIR, ENOENT, EINVAL, S::Idle))
    << "only a regular file is written";
  const std::string file = store.Root() + "/0/f";   // the first case's
  ASSERT_EQ(t.StartSend(P::XModem, file, at), 0);
  EXPECT_EQ(std::tuple(t.StartSend(P::Raw, file, at), t.StartReceive(P::YModem, store.Root(), at), t.Protocol()),
            std::tuple(EBUSY, EBUSY, P::XModem))
    << "one transfer at a time";
}

// The run through a port on a pseudo-terminal whose Hardware handshake holds output, on the
// test's clock (the strings as their ids): no step is asked for before the line could have taken
// a block nor while it is held, and the transfer fails 10 s past that time naming the handshake;
// a batch that fails counts its files apart.
TEST(TransferRunTest, HeldOutputFailsTenSecondsPastItsTimeNamingTheHandshakeAndABatchCountsItsFilesApart)
{
  TScratchStore store;
  TPty pty;
  TNullModem cable(pty);
  cable.SetRts(false);   // the device's RTS is our CTS
  store.LinkPort(1, pty.SlavePath());
  TComPort port;
  TTransferRun run(port, [](unsigned id, char* text, int size) { return std::snprintf(text, size, "{%u %%s}", id); });
  ASSERT_EQ(port.Open(nullptr, 1, 1024, 1024), 1);
  ASSERT_EQ(port.Configure(9600, 8, ONESTOPBIT, NOPARITY, int(THandshake::Hardware), 0, 0, 0, 0), 0);
  run.Handshake = "Hardware";
  const auto t0 = TTransferRun::TTime {} + 1h;
  const auto say = [&](const std::string& b) {
    run.Takes(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), t0), port.Poll(), run.Step(t0);
  };
  PutFile(store.Root() + "/f", "data", Mtime);
  ASSERT_EQ(run.Start(P::YModem, true, store.Root() + "/f", t0), "");
  say("C");   // block 0: 133 bytes, 139 ms at 9600 baud
  EXPECT_EQ(std::pair(run.WakeAt(t0) >= t0 + 130ms, run.WakeAt(t0 + 200ms)),
            std::pair(true, TTransferRun::TTime::max()));
  EXPECT_EQ(std::pair(run.Step(t0 + 10s), run.Step(t0 + 10'500ms)), std::pair(false, true));
  EXPECT_EQ(run.StatusText(t0 + 10'500ms), "Send with YMODEM: f failed after 0 bytes in 10.5 s");
  EXPECT_EQ(run.FailureText(), "{123 %s}\n{142 Hardware}\n" + store.Root() + "/f\n0 bytes done");

  cable.SetRts(true);   // a file received whole, then the far end cancels
  ASSERT_EQ(run.Start(P::YModem, false, store.Root(), t0), "");
  for (const std::string& bytes : {Name("a", "1"), Block(1, "a"), Eot, Eot, std::string("\x18\x18")})
    say(bytes);
  EXPECT_EQ(run.StatusText(t0), "Receive with YMODEM: 1 file received, then failed after 0 bytes in 0.0 s");
  EXPECT_EQ(run.FailureText(), "{123 %s}\n{132 %s}\n" + store.Root() + "\n0 bytes done");
}

}   // namespace
