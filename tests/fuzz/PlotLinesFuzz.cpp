// The plot's line parser and point store on any bytes. First byte: the size of the chunks the
// rest arrives in (1 to 256). Every value finite, every name a piece of one line without a
// separator, a line end or its mark; at most 16 series, their times rising.
#include "FuzzCheck.h"
#include "plot/TPlotParser.h"
#include "plot/TPointStore.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::size_t chunk = 1 + data[0];
  TPlotParser parser;
  TPointStore store;
  std::int64_t time = 0;
  for (std::size_t at = 1; at < size; at += chunk)
    parser.Feed(data + at, std::min(chunk, size - at), [&](std::span<const TPlotParser::TField> fields) {
      FUZZ_CHECK(!fields.empty() && fields.size() <= TPlotParser::MaxLine / 2 + 1);
      std::size_t named = 0;
      for (const TPlotParser::TField& field : fields) {
        FUZZ_CHECK(std::isfinite(field.Value));
        FUZZ_CHECK(field.Name.empty() ? field.Position > 0 : field.Position == 0);
        FUZZ_CHECK(field.Name.find_first_of(" \t,;\r\n:=") == std::string_view::npos);
        named += field.Name.size();
      }
      FUZZ_CHECK(named <= TPlotParser::MaxLine);
      store.Add(time += data[at] % 3, fields);
    });
  FUZZ_CHECK(store.Series().size() <= TPointStore::MaxSeries);
  for (const TPointStore::TSeries& series : store.Series())
    for (std::size_t i = 1; i < series.Points.Size(); ++i)
      FUZZ_CHECK(series.Points[i - 1].Time < series.Points[i].Time);
  return 0;
}
