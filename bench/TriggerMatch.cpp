// The triggers' matcher alone (Google Benchmark): a line at 25 600 B/s as the terminal window
// feeds it, a tick's 2560 bytes in reads of 80, then the tick's Take, against no rules, the
// sixteen of TriggerRules.h, or eight texts or eight expressions twice over. The stream is the
// load benchmark's records (64 bytes ending in a carriage return), or bytes without any line
// end, the worst case for an expression, which then looks at up to 4 KiB of the line so far on
// every tick.
//
//   build/bench/bench/trigger_match
#include "bench/TriggerRules.h"
#include "triggers/TTriggerMatcher.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr std::size_t Tick = 2560, Read = 80;

std::vector<std::uint8_t> Stream(bool lines)
{
  std::vector<std::uint8_t> bytes(1 << 20);
  for (std::size_t i = 0; i < bytes.size(); i += 64) {
    char record[65];
    std::snprintf(record, sizeof record, "%010zu ", i / 64);
    for (std::size_t at = 11; at < 64; ++at)
      record[at] = at == 63 ? '\r' : char('A' + (i / 64 + at) % 26);
    for (std::size_t at = 0; at < 64; ++at)
      bytes[i + at] = lines ? std::uint8_t(record[at]) : std::uint8_t(0x20 + (i + at) * 7 % 0xD0);
  }
  return bytes;
}

// rules: 0 none, 1 the sixteen, 2 sixteen texts, 3 sixteen expressions; stream: 1 records, 0 no line ends
void Match(benchmark::State& state)
{
  std::vector<TTriggerRule> rules;
  const int kind = int(state.range(0));
  for (int twice = 0; twice < (kind >= 2 ? 2 : kind); ++twice)
    for (const TTriggerRule& rule : BenchTriggers(kind != 3, kind != 2))
      rules.push_back(rule);
  TTriggerMatcher matcher;
  matcher.Assign(rules);
  const std::vector<std::uint8_t> stream = Stream(state.range(1) != 0);
  std::size_t at = 0, fired = 0;
  auto now = TTriggerMatcher::TClock::now();
  for (auto _ : state) {
    for (std::size_t i = 0; i < Tick; i += Read, at = (at + Read) % stream.size())
      matcher.Received(stream.data() + at, Read, now);
    fired += matcher.Take(now).size();
    now += std::chrono::milliseconds(100);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * Tick));
  state.counters["rules"] = double(rules.size());
  state.counters["fired"] = double(fired);
}

}   // namespace

BENCHMARK(Match)->ArgsProduct({{0, 1, 2, 3}, {1, 0}})->ArgNames({"rules", "lines"});
BENCHMARK_MAIN();
