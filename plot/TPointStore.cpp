#include "plot/TPointStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void TPointStore::TRing::Add(TPoint point)
{
  if (Points.size() < Limit) {
    Points.push_back(point);
    return;
  }
  Points[Start] = point;
  Start = (Start + 1) % Limit;
}

std::size_t TPointStore::TRing::LowerBound(std::int64_t time) const
{
  std::size_t low = 0, high = Size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if ((*this)[mid].Time < time)
      low = mid + 1;
    else
      high = mid;
  }
  return low;
}

TPointStore::TSeries* TPointStore::Find(const TPlotParser::TField& field)
{
  const std::string position = field.Name.empty() ? std::to_string(field.Position) : std::string();
  const std::string_view name = field.Name.empty() ? std::string_view(position) : field.Name;
  for (TSeries& series : SeriesList)
    if (series.Name == name)
      return &series;
  if (SeriesList.size() == MaxSeries) {
    SeriesLeftOut = true;
    return nullptr;
  }
  // Never reallocated: the plot window holds on to the series while it draws.
  SeriesList.reserve(MaxSeries);
  SeriesList.emplace_back().Name = name;
  return &SeriesList.back();
}

void TPointStore::Add(std::int64_t time, std::span<const TPlotParser::TField> fields)
{
  LastTime = std::max(time, LastTime + 1);
  for (const TPlotParser::TField& field : fields) {
    TSeries* series = Find(field);
    if (!series)
      continue;
    const TPoint point {LastTime, field.Value};
    // A name given twice in a line: its first value counts.
    if (series->Points.Size() && series->Points[series->Points.Size() - 1].Time == LastTime)
      continue;
    series->Points.Add(point);
    for (std::size_t level = 0; level < Levels; ++level) {
      TEnvelope& envelope = series->Envelopes[level];
      const std::uint64_t inBlock = series->Added % Blocks[level];
      if (inBlock == 0 || point.Value < envelope.Low.Value)
        envelope.Low = point;
      if (inBlock == 0 || point.Value > envelope.High.Value)
        envelope.High = point;
      if (inBlock == Blocks[level] - 1) {
        const bool lowFirst = envelope.Low.Time <= envelope.High.Time;
        envelope.Points.Add(lowFirst ? envelope.Low : envelope.High);
        envelope.Points.Add(lowFirst ? envelope.High : envelope.Low);
      }
    }
    ++series->Added;
  }
}

void TPointStore::Clear()
{
  // Swapped out, so that the memory goes back at once.
  std::vector<TSeries>().swap(SeriesList);
  SeriesLeftOut = false;
}

std::int64_t TPointStore::Oldest() const
{
  std::int64_t oldest = -1;
  for (const TSeries& series : SeriesList)
    if (series.Points.Size() && (oldest < 0 || series.Points[0].Time < oldest))
      oldest = series.Points[0].Time;
  return oldest;
}

namespace {

// Buffered writes to a descriptor that remember the first failure.
class TWriter {
public:
  explicit TWriter(int fd) : Fd(fd) {}
  void Put(std::string_view text)
  {
    if (Buffer.size() + text.size() > Size)
      Flush();
    Buffer.append(text);
  }
  void Flush()
  {
    for (std::size_t done = 0; done < Buffer.size() && !Error;) {
      const ssize_t n = write(Fd, Buffer.data() + done, Buffer.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        Error = n < 0 ? errno : EIO;
      else
        done += std::size_t(n);
    }
    Buffer.clear();
  }
  int Error = 0;

private:
  static constexpr std::size_t Size = 1 << 16;
  int Fd;
  std::string Buffer;
};

// A name as a CSV field: quoted, with its quotes doubled, where it holds a quote.
std::string CsvField(const std::string& name)
{
  if (name.find('"') == std::string::npos)
    return name;
  std::string quoted(1, '"');
  for (const char c : name)
    quoted.append(c == '"' ? 2 : 1, c);
  quoted.push_back('"');
  return quoted;
}

}   // namespace

int TPointStore::WriteCsv(const std::string& path) const
{
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0)
    return errno;
  // As a file created in the ordinary way would be, not mkstemp's owner-only.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  TWriter out(fd);
  out.Put("time");
  for (const TSeries& series : SeriesList)
  {
    out.Put(",");
    out.Put(CsvField(series.Name));
  }
  out.Put("\n");
  std::vector<std::size_t> next(SeriesList.size(), 0);
  char number[64];
  while (!out.Error) {
    // The next row: the earliest line any series still has a point of.
    std::int64_t time = -1;
    for (std::size_t s = 0; s < SeriesList.size(); ++s)
      if (next[s] < SeriesList[s].Points.Size() && (time < 0 || SeriesList[s].Points[next[s]].Time < time))
        time = SeriesList[s].Points[next[s]].Time;
    if (time < 0)
      break;
    const int length = std::snprintf(number, sizeof number, "%lld.%09lld", static_cast<long long>(time / 1000000000),
                                     static_cast<long long>(time % 1000000000));
    out.Put(std::string_view(number, std::size_t(length)));
    for (std::size_t s = 0; s < SeriesList.size(); ++s) {
      out.Put(",");
      if (next[s] < SeriesList[s].Points.Size() && SeriesList[s].Points[next[s]].Time == time) {
        // The shortest text that reads back as the same double.
        const auto result = std::to_chars(number, number + sizeof number, SeriesList[s].Points[next[s]++].Value);
        out.Put(std::string_view(number, std::size_t(result.ptr - number)));
      }
    }
    out.Put("\n");
  }
  out.Flush();
  int error = out.Error;
  if (!error && fsync(fd) != 0)
    error = errno;
  if (close(fd) != 0 && !error)
    error = errno;
  if (!error && rename(temporary.c_str(), path.c_str()) != 0)
    error = errno;
  if (error)
    unlink(temporary.c_str());
  return error;
}
