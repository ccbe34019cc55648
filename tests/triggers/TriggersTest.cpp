// The triggers without a window: what the matcher fires for streams split any way, on the test's
// clock; its replies through the send path and a real port on a pseudo-terminal, tick by tick;
// and the stored form of the rules.
#include "platform/Registry.h"
#include "resources/ResourceIds.h"
#include "terminal/TReplyQueue.h"
#include "tests/support/ScratchStore.h"
#include "triggers/TriggerStore.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>

namespace {

using namespace std::chrono_literals;
using TTime = TTriggerMatcher::TTime;
const TTime T0 = TTime() + 1h;

TTriggerRule Rule(std::string text, std::string reply, bool regex = false, int delay = 0, bool once = false)
{
  return {.On = true, .Text = text, .Regex = regex, .Reply = reply, .Delay = delay, .Once = once};
}

// Feeds each chunk at its time and takes the replies then, as the ticks do: "rule:reply@ms"
// for each reply due at ms, "off rule@ms" for a rule turned off for firing too often.
std::string Fed(TTriggerMatcher& matcher, const std::vector<std::pair<int, std::string>>& chunks)
{
  std::string out;
  for (const auto& [ms, bytes] : chunks) {
    const TTime now = T0 + std::chrono::milliseconds(ms);
    matcher.Received(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
    for (const TTriggerMatcher::TReply& reply : matcher.Take(now))
      out += std::to_string(reply.Number) + ":" + reply.Text + "@" +
             std::to_string((reply.Due - T0) / 1ms) + " ";
    for (const unsigned number : matcher.TakeRunaways())
      out += "off " + std::to_string(number) + "@" + std::to_string(ms) + " ";
  }
  return out;
}

TEST(TriggerMatcher, StreamsAndRulesGiveTheseRepliesAtTheseTimes)
{
  std::vector<std::pair<int, std::string>> tenPerSecond, tooFast;
  for (int i = 0; i < 20; ++i)
    tenPerSecond.emplace_back(i * 100, "x");
  for (int i = 0; i < 12; ++i)
    tooFast.emplace_back(i * 50, "x");
  const std::string longLine = "A" + std::string(5000, 'b') + "\r\n";
  const std::tuple<const char*, std::vector<TTriggerRule>, std::vector<std::pair<int, std::string>>, std::string>
    rows[] = {
      {"two rules in one chunk fire in the order of their matches",
       {Rule("login: ", "root/0D"), Rule("Password:", "pw/0D")},
       {{0, "Password: x login: "}},
       "2:pw/0D@0 1:root/0D@0 "},
      {"a text fires at each match, none twice, with no line end",
       {Rule("aa", "1")},
       {{0, "aaa"}, {100, "a"}, {200, "aa\r\n"}},
       "1:1@0 1:1@100 1:1@200 "},
      {"escapes stand for bytes", {Rule("/0D/0A=> ", "ok")}, {{0, "x\r\n=> "}, {100, "\r\n=>"}}, "1:ok@0 "},
      {"once", {Rule("OK", "AT/0D", false, 0, true)}, {{0, "OK\r\n"}, {100, "OK\r\n"}}, "1:AT/0D@0 "},
      {"a delay", {Rule("login:", "root", false, 1500)}, {{200, "login:"}}, "1:root@1700 "},
      {"ten a second go on", {Rule("x", "y")}, tenPerSecond, [] {
         std::string out;
         for (int i = 0; i < 20; ++i)
           out += "1:y@" + std::to_string(i * 100) + " ";
         return out;
       }()},
      {"the eleventh in a second turns the rule off", {Rule("x", "y")}, tooFast, [] {
         std::string out;
         for (int i = 0; i < 10; ++i)
           out += "1:y@" + std::to_string(i * 50) + " ";
         return out + "off 1@500 ";
       }()},
      {"an expression on the line so far, once a line",
       {Rule("login: *$", "root", true)},
       {{0, "Debian login: "}, {100, "x\r\n"}, {200, "login: "}},
       "1:root@0 1:root@200 "},
      {"an expression on a line completed in another read", {Rule("^login ok$", "go", true)}, {{0, "log"}, {100, "in ok\r"}},
       "1:go@100 "},
      {"an expression never spans lines", {Rule("a.*b", "!", true)}, {{0, "a\r\nb\r\n"}, {100, "a-b\n"}}, "1:!@100 "},
      {"an expression sees the last 4 KiB of a line", {Rule("^A", "!", true), Rule("^b+$", "b", true)}, {{0, longLine}},
       "2:b@0 "},
      {"an empty text, a refused expression and a rule off never fire",
       {Rule("", "1"), Rule("(x", "2", true), {.On = false, .Text = "x", .Regex = false, .Reply = "3", .Delay = 0, .Once = false}},
       {{0, "x(x\r\n"}},
       ""},
      {"a rule without a reply fires without one", {Rule("x", "")}, {{0, "x"}}, ""},
    };
  for (const auto& [what, rules, chunks, replies] : rows) {
    TTriggerMatcher matcher;
    matcher.Assign(rules);
    EXPECT_EQ(Fed(matcher, chunks), replies) << what;
  }
}

TEST(TriggerMatcher, AMatchSplitAtAnyByteFiresOnceWhenItsLastByteArrives)
{
  const std::string stream = "U-Boot\r\nHit any key to stop autoboot:  2";
  const std::size_t textEnd = stream.find("autoboot") + 8, digit = stream.size() - 1;
  for (const bool regex : {false, true}) {
    const TTriggerRule rule = regex ? Rule("stop autoboot: +[0-9]", " ", true) : Rule("Hit any key to stop autoboot", " ");
    const std::size_t end = regex ? digit : textEnd - 1;   // the byte that completes the match
    for (std::size_t split = 0; split <= stream.size(); ++split) {
      TTriggerMatcher matcher;
      matcher.Assign({rule});
      const std::string fed = Fed(matcher, {{0, stream.substr(0, split)}, {100, stream.substr(split)}});
      EXPECT_EQ(fed, split > end ? "1: @0 " : "1: @100 ") << (regex ? "expression" : "text") << ", split at " << split;
    }
    TTriggerMatcher matcher;   // a byte a read
    matcher.Assign({rule});
    std::vector<std::pair<int, std::string>> bytes;
    for (std::size_t i = 0; i < stream.size(); ++i)
      bytes.emplace_back(int(i), stream.substr(i, 1));
    EXPECT_EQ(Fed(matcher, bytes), "1: @" + std::to_string(end) + " ");
  }
}

TEST(TriggerMatcher, ARefusedExpressionSaysWhyAndEditsBoundTheRule)
{
  TTriggerMatcher matcher;
  ASSERT_TRUE(matcher.Insert(0, Rule("(x", "", true)));
  EXPECT_EQ(matcher.Error(0), "missing ): (x");
  matcher.Set(0, {.On = true, .Text = std::string(300, 'x'), .Regex = false, .Reply = std::string(300, 'y'), .Delay = 70000, .Once = false});
  EXPECT_EQ(std::tuple(matcher.Error(0), matcher.Rule(0).Text.size(), matcher.Rule(0).Reply.size(), matcher.Rule(0).Delay),
            std::tuple(std::string(), std::size_t(256), std::size_t(256), 60000));
  while (matcher.Insert(matcher.Count(), {}))
    ;
  EXPECT_EQ(matcher.Count(), TTriggerMatcher::MaxRules);
}

// Replies through the send path and a port on a pseudo-terminal, tick by tick as the terminal
// window runs them: the line's chunk, the poll, the queue's step, the send step.
class ReplyTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_EQ(Port.Open(nullptr, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, ONESTOPBIT, EVENPARITY, int(THandshake::Hardware), 0, 0, 0, 0), 0);
  }
  // Ticks 0 to last, with what arrives on given ticks and the user's Send ("S<text>") or Stop
  // ("stop") on others: "tick:bytes " for what reached the far end, "[status]" for the status bar.
  std::string Ticks(int last, std::map<int, std::string> line, std::map<int, std::string> user = {})
  {
    std::string out;
    for (int t = 0; t <= last; ++t) {
      const TTime now = T0 + t * 100ms;
      if (line.contains(t))
        Matcher.Received(reinterpret_cast<const std::uint8_t*>(line[t].data()), line[t].size(), now);
      if (user[t] == "stop") {
        Path.Stop();
        Queue.Clear();
      } else if (!user[t].empty()) {
        Path.Start(user[t].substr(1), TextMode);
      }
      const bool inFlight = !Port.IsWriteIdle(), ready = Path.State() == TSendPath::Ready;
      Port.Poll();
      const std::string said = Queue.Step(Matcher, Path, TextMode, now);
      Path.Tick(Port);
      const std::string got = Pty.Receive(4096, inFlight || (ready && Path.State() == TSendPath::Writing) ? 15 : 0);
      out += (got.empty() ? "" : std::to_string(t) + ":" + got + " ") + (said.empty() ? "" : "[" + said + "] ");
    }
    return out;
  }

  TScratchStore Store;
  TPty Pty;
  TComPort Port;
  TSendPath Path;
  TTriggerMatcher Matcher;
  TReplyQueue Queue {[](unsigned id, char* text, int size) {
    const std::map<unsigned, std::string> table {{IDS_TRIGGER_SENT, "%u sent %s"}, {IDS_TRIGGER_RUNAWAY, "%u off"}};
    return std::snprintf(text, std::size_t(size), "%s", table.at(id).c_str());
  }};
  bool TextMode = true;
};

TEST_F(ReplyTest, ARepliesPacedAndDelayedGoesOnTheTicksAfterItsMatch)
{
  Matcher.Assign({Rule("login: ", "root,/0D"), Rule("Password: ", "pw/0D", false, 500)});
  Path.DelayTime = 200;   // two ticks more at the pause
  EXPECT_EQ(Ticks(12, {{1, "login: "}, {2, "Password: "}}),
            "1:root [1 sent root,/0D] 6:\r 8:pw\r [2 sent pw/0D] ");
}

TEST_F(ReplyTest, RepliesWaitForARunningSendThenGoInTheOrderTheyFired)
{
  Matcher.Assign({Rule("a", "1"), Rule("b", "2")});
  EXPECT_EQ(Ticks(10, {{1, "ba"}}, {{0, "SAB,CD"}}), "0:AB 3:CD 5:2 [2 sent 2] 7:1 [1 sent 1] ");
}

TEST_F(ReplyTest, AReplyBehindARepeatingSendWaitsAndStopDropsItWithTheRest)
{
  TextMode = false;
  Matcher.Assign({Rule("a", "31"), Rule("b", "32;33", false, 0)});
  EXPECT_EQ(Ticks(9, {{1, "ab"}}, {{0, "S41:"}, {7, "stop"}}), "0:A 2:A 4:A 6:A ");
  EXPECT_EQ(Queue.Size(), 0u);
  // A reply under way is stopped too, and the one after it never goes.
  EXPECT_EQ(Ticks(9, {{1, "ba"}}, {{2, "stop"}}), "1:2 [2 sent 32;33] ");
}

TEST_F(ReplyTest, ALongReplyGoesInPiecesTheSendPathTakesWhole)
{
  const std::string text = std::string(79, 'x') + "/0D" + std::string(100, 'y');
  Matcher.Assign({Rule("go", text)});
  std::string expected = "0:" + std::string(79, 'x') + " [1 sent " + std::string(79, 'x') + "] 2:\r" +
                         std::string(77, 'y') + " [1 sent /0D" + std::string(77, 'y') + "] 4:" + std::string(23, 'y') +
                         " [1 sent " + std::string(23, 'y') + "] ";
  EXPECT_EQ(Ticks(6, {{0, "go"}}), expected);
  EXPECT_EQ(TReplyQueue::PieceLength(std::string(50, '1') + ":" + std::string(50, '2'), false), 51u);
}

TEST(TriggerStore, TheListKeepsEveryFieldAndDamagedBytesGiveNoRules)
{
  const std::vector<TTriggerRule> rules = {
    Rule("login: ", "root/0D"),
    {.On = false, .Text = std::string(256, '\xff'), .Regex = true, .Reply = "", .Delay = 60000, .Once = true},
    Rule("", std::string(256, ','), false, 1, true),
  };
  const std::string stored = EncodeTriggers(rules);
  std::vector<TTriggerRule> back;
  EXPECT_TRUE(DecodeTriggers(stored, back));
  EXPECT_EQ(back, rules);
  std::string tooLong = stored, unknownFlag = stored, longDelay = stored;
  tooLong[4] = 1, tooLong[5] = 1;   // the first text's length 257
  unknownFlag[1] = 8;
  longDelay[2] = char(0x61), longDelay[3] = char(0xEA);   // 60001
  std::string many(1, '\1');
  for (int i = 0; i < 65; ++i)
    many += std::string("\1\0\0\0\0\0\0", 7);
  for (const std::string& damaged : {stored.substr(0, stored.size() - 1), "\2" + stored.substr(1), tooLong, unknownFlag,
                                     longDelay, many, std::string()}) {
    back = rules;
    EXPECT_FALSE(DecodeTriggers(damaged, back));
    EXPECT_TRUE(back.empty());
  }
}

TEST(TriggerStore, RulesAreStoredInAValueOfTheirOwnBesideTheSettings)
{
  TScratchStore store;
  HKEY settings = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Kalvix", &settings), ERROR_SUCCESS);
  RegSetValueEx(settings, "Baudrate", REG_SZ, reinterpret_cast<const std::uint8_t*>("9600"), 5);
  RegCloseKey(settings);
  const auto rows = [&] {
    std::string text;
    sqlite3* db = nullptr;
    sqlite3_open(store.DatabasePath().c_str(), &db);
    sqlite3_exec(db, "SELECT path, name, hex(data) FROM registry_values ORDER BY path, name",
                 [](void* out, int n, char** values, char**) {
                   for (int i = 0; i < n; ++i)
                     *static_cast<std::string*>(out) += std::string(values[i]).substr(0, i == 2 ? 40 : std::string::npos) + (i + 1 < n ? " " : "\n");
                   return 0;
                 }, &text, nullptr);
    sqlite3_close(db);
    return text;
  };
  const std::string before = rows();
  EXPECT_TRUE(LoadTriggers().empty());
  const std::vector<TTriggerRule> rules = {Rule("login: ", "root/0D"), Rule("x+", "", true)};
  EXPECT_EQ(SaveTriggers(rules), "");
  EXPECT_EQ(LoadTriggers(), rules);
  EXPECT_EQ(rows(), before + "HKEY_LOCAL_MACHINE\\Software\\Kalvix\\Triggers Rules " +
                      QByteArray::fromStdString(EncodeTriggers(rules)).toHex().toUpper().left(40).toStdString() + "\n");
}

}   // namespace
