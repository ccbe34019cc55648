#pragma once
// Cuts received bytes into lines and takes the numbers out of them. A line ends at LF or CR (CR
// LF ends one); its fields are split at spaces, tabs, commas and semicolons. A field that is a
// number (sign, digits, decimal point, exponent) is the next value by position; "name:value" and
// "name=value" give the value to the series of that name. A line without a number, or longer than
// MaxLine bytes, gives nothing. No Qt: the plot window and the fuzz target feed it alike.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TPlotParser {
public:
  static constexpr std::size_t MaxLine = 4096;

  // One value of a line: a name, or Position (1 for the line's first unnamed number, 2 for the
  // next) with no name.
  struct TField {
    std::string_view Name;
    int Position;
    double Value;
  };

  // Takes bytes as they arrive; each complete line that has a number is handed to onLine, its
  // fields valid only during the call.
  template <typename F> void Feed(const std::uint8_t* bytes, std::size_t n, F&& onLine)
  {
    for (std::size_t i = 0; i < n; ++i) {
      const char c = char(bytes[i]);
      if (c != '\n' && c != '\r') {
        if (Line.size() < MaxLine)
          Line.push_back(c);
        else
          Dropping = true;
        continue;
      }
      if (!Dropping && Split(Line))
        onLine(std::span<const TField>(Fields));
      Line.clear();
      Dropping = false;
    }
  }
  // Forgets a line begun; skipping: the bytes up to the next line's end are not a whole line
  // (plotting began in the middle of one).
  void Reset(bool skipping = false)
  {
    Line.clear();
    Dropping = skipping;
  }

  // The number a whole field spells in the accepted notation; none for anything else, for "nan"
  // and "inf", and for a magnitude beyond what a double holds (1e999, 1e-999).
  static std::optional<double> Number(std::string_view text);

private:
  // Fills Fields from line; whether it has a number.
  bool Split(std::string_view line);

  std::string Line;
  bool Dropping = false;
  std::vector<TField> Fields;
};
