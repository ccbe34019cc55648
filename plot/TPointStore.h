#pragma once
// The points the plot keeps: up to MaxSeries series, each with its Capacity newest points (the
// oldest go first), a time in nanoseconds since plotting began and a value. Each series also keeps
// the lowest and highest point of every block of its points, in blocks of two sizes, which is all
// a view of many points per pixel needs. No Qt: tested alone, exported without a window.
#include "plot/TPlotParser.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <vector>

class TPointStore {
public:
  static constexpr std::size_t MaxSeries = 16;
  static constexpr std::size_t Capacity = std::size_t(1) << 20;   // 1 048 576 points a series
  static constexpr std::size_t Blocks[] = {16, 512};
  static constexpr std::size_t Levels = std::size(Blocks);

  struct TPoint {
    std::int64_t Time;   // ns since plotting began
    double Value;
  };

  // The newest points of one kind, oldest first, at most Limit of them.
  class TRing {
  public:
    explicit TRing(std::size_t limit) : Limit(limit) {}
    std::size_t Size() const { return Points.size(); }
    const TPoint& operator[](std::size_t i) const { return Points[(Start + i) % Points.size()]; }
    void Add(TPoint point);
    // The position of the first point at or after time (Size() if none).
    std::size_t LowerBound(std::int64_t time) const;

  private:
    std::size_t Limit;
    std::vector<TPoint> Points;
    std::size_t Start = 0;   // the oldest point's slot once the ring is full
  };

  // The lowest and highest point of each complete block of a series' points, in the order they
  // came: two points a block.
  struct TEnvelope {
    TRing Points;
    TPoint Low {}, High {};   // of the block being filled
  };

  struct TSeries {
    std::string Name;
    TRing Points {Capacity};
    TEnvelope Envelopes[Levels] = {{TRing(2 * Capacity / Blocks[0])}, {TRing(2 * Capacity / Blocks[1])}};
    std::uint64_t Added = 0;
  };

  // Adds one line's fields at time (ns since plotting began). A line's time is kept later than
  // the line's before it, by a nanosecond if need be, so that each line is one row of the export.
  void Add(std::int64_t time, std::span<const TPlotParser::TField> fields);
  void Clear();

  const std::vector<TSeries>& Series() const { return SeriesList; }
  // Whether a line named a series beyond MaxSeries, whose values were left out.
  bool LeftOut() const { return SeriesLeftOut; }
  // The time of the newest line; -1 before the first.
  std::int64_t Newest() const { return LastTime; }
  // The time of the oldest point kept; -1 when there is none.
  std::int64_t Oldest() const;

  // Writes every kept point as CSV to path: a header "time,<names>", then one row a line, the
  // time in seconds and each series' value or nothing. The file appears whole or not at all
  // (written beside it under another name, then renamed); 0, or the errno of the failure.
  int WriteCsv(const std::string& path) const;

private:
  TSeries* Find(const TPlotParser::TField& field);

  std::vector<TSeries> SeriesList;
  bool SeriesLeftOut = false;
  std::int64_t LastTime = -1;
};
