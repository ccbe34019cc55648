// The plot's parts without a window: lines cut and split into values per series, the store's
// bound, and the CSV export, read back, and when it cannot be written.
#include "plot/TPlotParser.h"
#include "plot/TPointStore.h"
#include "tests/support/ScratchStore.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using TValues = std::map<std::string, std::vector<double>>;

// Feeds chunks to a parser whose lines go to store, at the times 1, 2, 3 ... ns.
void Feed(TPointStore& store, const std::vector<std::string>& chunks)
{
  TPlotParser parser;
  std::int64_t time = 0;
  for (const std::string& chunk : chunks)
    parser.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size(),
                [&](std::span<const TPlotParser::TField> fields) { store.Add(++time, fields); });
}

TValues Values(const TPointStore& store)
{
  TValues values;
  for (const TPointStore::TSeries& series : store.Series())
    for (std::size_t i = 0; i < series.Points.Size(); ++i)
      values[series.Name].push_back(series.Points[i].Value);
  return values;
}

TEST(PlotParserTest, LinesGiveTheirNumbersToTheSeriesOfTheirPositionOrName)
{
  const std::string long4096 = "1 " + std::string(4092, ' ') + "2\n";   // 4 096 bytes and LF
  const std::string names17 = "s1:1 s2:2 s3:3 s4:4 s5:5 s6:6 s7:7 s8:8 s9:9 s10:10 s11:11 s12:12 s13:13 s14:14 s15:15 "
                              "s16:16 s17:17\n";
  const std::pair<std::vector<std::string>, TValues> rows[] = {
    {{"23.5 41 1013\n"}, {{"1", {23.5}}, {"2", {41}}, {"3", {1013}}}},
    {{"temp:23.5,hum:41\r\n", "temp=24;hum=40\r\n"}, {{"temp", {23.5, 24}}, {"hum", {41, 40}}}},
    {{"x 7\ty:8;;9,\n"}, {{"1", {7}}, {"y", {8}}, {"2", {9}}}},
    {{"-1e-3 +2E+2 3. .5 -0 1e5 5e-324\n"},
     {{"1", {-0.001}}, {"2", {200}}, {"3", {3}}, {"4", {0.5}}, {"5", {-0.0}}, {"6", {1e5}}, {"7", {5e-324}}}},
    // Not numbers: the line is skipped, and so are the fields beside a number.
    {{"hello world\n", "nan inf -inf NaN 1e999 -1e-999 x:nan\n", ":5 =5 1e 1.2.3 --1 0x10 . e5 +\n", "4 t:\n"},
     {{"1", {4}}}},
    // CR LF ends one line, LF CR two (the second empty); a line may come in pieces.
    {{"1\r\n2\n\r3\r", "te", "mp:1", "\r", "\n"}, {{"1", {1, 2, 3}}, {"temp", {1}}}},
    // A line of 4 096 bytes is taken, a longer one dropped whole, and the next one taken again.
    {{long4096, "7 " + long4096, "8\n"}, {{"1", {1, 8}}, {"2", {2}}}},
    {{"a:1 a:2 3\n"}, {{"a", {1}}, {"1", {3}}}},
  };
  for (const auto& [chunks, expected] : rows) {
    TPointStore store;
    Feed(store, chunks);
    EXPECT_EQ(Values(store), expected) << chunks[0].substr(0, 40);
    EXPECT_FALSE(store.LeftOut());
  }
  // The 17th name is left out, and said so.
  TPointStore store;
  Feed(store, {names17, "s17:5 s2:3\n"});
  ASSERT_EQ(store.Series().size(), 16u);
  EXPECT_EQ(Values(store)["s2"], (std::vector<double> {2, 3}));
  EXPECT_EQ(Values(store).count("s17"), 0u);
  EXPECT_TRUE(store.LeftOut());
}

TEST(PointStoreTest, ASeriesKeepsItsNewestMillionOthersKeepTheirOwn)
{
  TPointStore store;
  const std::size_t total = TPointStore::Capacity + 100;
  ASSERT_GE(TPointStore::Capacity, 1000000u);
  for (std::size_t i = 0; i < total; ++i) {
    const TPlotParser::TField fields[] = {{"a", 0, double(i)}, {"b", 0, -double(i)}};
    store.Add(std::int64_t(i) * 1000, std::span(fields, i < 10 ? 2 : 1));
  }
  const TPointStore::TRing& a = store.Series()[0].Points;
  ASSERT_EQ(a.Size(), TPointStore::Capacity);
  EXPECT_EQ(a[0].Value, 100);
  EXPECT_EQ(a[0].Time, 100000);
  EXPECT_EQ(a[a.Size() - 1].Value, double(total - 1));
  EXPECT_EQ(store.Series()[1].Points.Size(), 10u);
  EXPECT_EQ(store.Oldest(), 0);
  // The envelope a zoomed-out view is drawn from: the lowest and highest point of each of the
  // newest complete blocks, as many blocks as the points fill.
  const std::size_t block = TPointStore::Blocks[0], first = (total / block - TPointStore::Capacity / block) * block;
  const TPointStore::TRing& envelope = store.Series()[0].Envelopes[0].Points;
  EXPECT_EQ(std::tuple(envelope.Size(), envelope[0].Value, envelope[1].Value),
            std::tuple(2 * TPointStore::Capacity / block, double(first), double(first + block - 1)));
  EXPECT_EQ(a.LowerBound(100500), 1u);
  // Lines of the same time are told apart by a nanosecond; Clear keeps the clock going.
  store.Clear();
  const TPlotParser::TField one[] = {{"c", 0, 1}};
  store.Add(5, one);
  EXPECT_EQ(store.Newest(), std::int64_t(total - 1) * 1000 + 1);
  EXPECT_EQ(store.Series().size(), 1u);
}

// Every kept point is written, one row a line, read back to the same values; an export that
// cannot be written leaves no file and what was there as it was.
TEST(PointStoreTest, TheCsvHoldsEveryKeptPointExactlyOrNothingIsWritten)
{
  TScratchStore scratch;
  const std::string root = scratch.Root() + "/csv", path = root + "/plot.csv";
  std::filesystem::create_directories(root + "/folder");
  std::ofstream(root + "/folder/inside") << "x";
  TPointStore store;
  Feed(store, {"temp:1.5,hum:40\n", "temp:-2e-7\n", "hum:0.30000000000000004 7\n", "1.7976931348623157e308\n",
               "say\"x\":5e-324\n"});
  std::ofstream(path) << "older";
  const mode_t mask = umask(027);
  ASSERT_EQ(store.WriteCsv(path), 0);
  umask(mask);
  const std::string expected = "time,temp,hum,1,\"say\"\"x\"\"\"\n"
                               "0.000000001,1.5,40,,\n"
                               "0.000000002,-2e-07,,,\n"
                               "0.000000003,,0.30000000000000004,7,\n"
                               "0.000000004,,,1.7976931348623157e+308,\n"
                               "0.000000005,,,,5e-324\n";
  EXPECT_EQ(FileText(path), expected);
  // Made as any new file is, under the process's mask.
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));

  EXPECT_EQ(store.WriteCsv(root + "/folder"), EISDIR);
  EXPECT_EQ(store.WriteCsv(root + "/missing/plot.csv"), ENOENT);
  // A disk that fills: the size limit of this process makes the write fail as a full disk does,
  // part-way through the file (the signal it raises is ignored, as a full disk raises none).
  for (int i = 0; i < 2000; ++i) {
    const TPlotParser::TField fields[] = {{"v", 0, i * 1.25}};
    store.Add(i, fields);
  }
  rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int error = store.WriteCsv(path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(FileText(path), expected);
  std::vector<std::string> names;   // and no file of its own left beside
  for (const auto& entry : std::filesystem::directory_iterator(root))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string> {"folder", "plot.csv"}));
}

}   // namespace
