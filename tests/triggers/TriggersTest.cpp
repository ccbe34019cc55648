// The triggers without a window: what the matcher fires for streams split any way, on the test's
// clock, and the stored form of the rules. (Their replies through the send path: SendPathTest.)
#include "triggers/TTriggerMatcher.h"
#include "triggers/TriggerStore.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using TTime = TTriggerMatcher::TTime;
using TChunks = std::vector<std::pair<int, std::string>>;   // what arrives when, in ms or ticks
const TTime T0 = TTime() + 1h;

TTriggerRule Rule(std::string text, std::string reply, bool regex = false, int delay = 0, bool once = false)
{
  return {.On = true, .Text = text, .Regex = regex, .Reply = reply, .Delay = delay, .Once = once};
}

void Feed(TTriggerMatcher& matcher, const std::string& bytes, TTime now)
{
  matcher.Received(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
}

// Feeds each chunk at its time and takes the replies then, as the ticks do: "rule:reply@ms"
// for each reply due at ms, "off rule@ms" for a rule turned off for firing too often.
std::string Fed(const std::vector<TTriggerRule>& rules, const TChunks& chunks)
{
  TTriggerMatcher matcher;
  matcher.Assign(rules);
  std::string out;
  for (const auto& [ms, bytes] : chunks) {
    const TTime now = T0 + std::chrono::milliseconds(ms);
    Feed(matcher, bytes, now);
    for (const TTriggerMatcher::TReply& reply : matcher.Take(now))
      out += std::to_string(reply.Number) + ":" + reply.Text + "@" + std::to_string((reply.Due - T0) / 1ms) + " ";
    for (const unsigned number : matcher.TakeRunaways())
      out += "off " + std::to_string(number) + "@" + std::to_string(ms) + " ";
  }
  return out;
}

TEST(TriggerMatcher, StreamsAndRulesGiveTheseRepliesAtTheseTimes)
{
  const auto xs = [](int ms, int count, int fired) {   // x every ms, count times; y for the first fired
    std::pair<TChunks, std::string> run;
    for (int i = 0; i < count; ++i)
      run.first.emplace_back(i * ms, "x"), run.second += i < fired ? "1:y@" + std::to_string(i * ms) + " " : "";
    return run;
  };
  const TTriggerRule off {.On = false, .Text = "x", .Regex = false, .Reply = "3", .Delay = 0, .Once = false};
  // What: rules, chunks, replies. Never: an empty text, a refused expression, a rule off, no reply.
  const std::tuple<const char*, std::vector<TTriggerRule>, TChunks, std::string> rows[] = {
    {"two in a read", {Rule("login: ", "r"), Rule("Password:", "p")}, {{0, "Password: x login: "}}, "2:p@0 1:r@0 "},
    {"each match once", {Rule("aa", "1")}, {{0, "aa"}, {100, "a"}, {200, "aa\r\n"}}, "1:1@0 1:1@200 "},
    {"escapes", {Rule("/0D/0A=> ", "ok")}, {{0, "x\r\n=> "}, {100, "\r\n=>"}}, "1:ok@0 "},
    {"once", {Rule("OK", "AT/0D", false, 0, true)}, {{0, "OK\r\n"}, {100, "OK\r\n"}}, "1:AT/0D@0 "},
    {"a delay", {Rule("login:", "root", false, 1500)}, {{200, "login:"}}, "1:root@1700 "},
    {"10 a second", {Rule("x", "y")}, xs(100, 20, 20).first, xs(100, 20, 20).second},
    {"11 a second", {Rule("x", "y")}, xs(50, 12, 12).first, xs(50, 12, 10).second + "off 1@500 "},
    {"so far", {Rule("in: *$", "r", true)}, {{0, "login: "}, {100, "x\r\n"}, {200, "login: "}}, "1:r@0 1:r@200 "},
    {"a line completed", {Rule("^login ok$", "go", true)}, {{0, "log"}, {100, "in ok\r"}}, "1:go@100 "},
    {"in a line", {Rule("a.*b", "!", true)}, {{0, "a\r\nb\r\n"}, {100, "a-b\n"}}, "1:!@100 "},
    {"4 KiB", {Rule("^A", "!", true), Rule("^b+$", "b", true)}, {{0, "A" + std::string(5000, 'b') + "\r\n"}}, "2:b@0 "},
    {"never", {Rule("", "1"), Rule("(x", "2", true), off, Rule("x", "")}, {{0, "x(x\r\n"}}, ""},
  };
  for (const auto& [what, rules, chunks, replies] : rows)
    EXPECT_EQ(Fed(rules, chunks), replies) << what;
}

TEST(TriggerMatcher, AMatchSplitAtAnyByteFiresOnceWhenItsLastByteArrives)
{
  const std::string stream = "U-Boot\r\nHit any key to stop autoboot:  2";
  for (const bool regex : {false, true}) {
    const TTriggerRule rule =
      regex ? Rule("stop autoboot: +[0-9]", " ", true) : Rule("Hit any key to stop autoboot", " ");
    const std::size_t last = regex ? stream.size() - 1 : stream.find("autoboot") + 7;
    for (std::size_t split = 0; split <= stream.size(); ++split)
      EXPECT_EQ(Fed({rule}, {{0, stream.substr(0, split)}, {100, stream.substr(split)}}),
                split > last ? "1: @0 " : "1: @100 ")
        << regex << " " << split;
    TChunks bytes;   // a byte a read
    for (std::size_t i = 0; i < stream.size(); ++i)
      bytes.emplace_back(int(i), stream.substr(i, 1));
    EXPECT_EQ(Fed({rule}, bytes), "1: @" + std::to_string(last) + " ");
  }
}

// At most 64 rules, texts and replies of 256 bytes, a delay of a minute: in an edit and in the
// stored list.
TEST(TriggerStore, EditsAreBoundedTheListKeepsEveryFieldAndDamagedBytesGiveNoRules)
{
  TTriggerMatcher matcher;
  while (matcher.Insert(matcher.Count(), {}))
    ;
  matcher.Set(0, Rule(std::string(300, 'x'), std::string(300, 'y'), false, 70000));
  EXPECT_EQ(
    std::tuple(matcher.Count(), matcher.Rule(0).Text.size(), matcher.Rule(0).Reply.size(), matcher.Rule(0).Delay),
    std::tuple(std::size_t(64), std::size_t(256), std::size_t(256), 60000));
  const std::vector<TTriggerRule> rules = {
    Rule("login: ", "root/0D"),
    {.On = false, .Text = std::string(256, '\xff'), .Regex = true, .Reply = "", .Delay = 60000, .Once = true}};
  const std::string stored = EncodeTriggers(rules);
  std::vector<TTriggerRule> back;
  EXPECT_TRUE(DecodeTriggers(stored, back));
  EXPECT_EQ(back, rules);
  std::string many(1, '\1');   // 65 empty rules
  for (int i = 0; i < 65; ++i)
    many += std::string("\1\0\0\0\0\0\0", 7);
  // Cut short, another version, an unknown flag, a delay of 60001, a text of 257, too many rules.
  for (const std::string& damaged :
       {stored.substr(0, stored.size() - 1), "\2" + stored.substr(1), "\1\x08" + stored.substr(2),
        "\1\1\x61\xea" + stored.substr(4), stored.substr(0, 4) + "\1\1" + stored.substr(6), many}) {
    EXPECT_FALSE(DecodeTriggers(damaged, back));
    EXPECT_TRUE(back.empty());
  }
}

}   // namespace
