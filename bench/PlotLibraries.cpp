// The two plotting libraries Debian 12 packages for Qt 6, side by side in one run, at the sizes
// the plot window keeps: SERIES curves of POINTS points each (a line every 0.5 ms, as 2 000 lines
// a second bring). For each: the time to hand the points over, to draw the last 10 s, to draw
// everything, to append one redraw's worth (67 lines) and draw the last 10 s again, and the
// memory the points take in the library.
//
//   plot_libraries [POINTS [SERIES [qcustomplot]]]
//                        defaults: 1000000 points, 1 series; with qcustomplot, that library
//                        alone (Qt Charts takes minutes and gigabytes at 16 series of a million)
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>
#include <qcustomplot.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double Step = 0.0005;   // seconds between lines
constexpr int Width = 1000, Height = 600;
constexpr int Rounds = 5;

double Ms(Clock::time_point since)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The median of Rounds runs of what, in ms.
double Median(const std::function<void()>& what)
{
  std::vector<double> times;
  for (int i = 0; i < Rounds; ++i) {
    const auto begin = Clock::now();
    what();
    times.push_back(Ms(begin));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double RssMb()
{
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double Value(int series, long i)
{
  return std::sin(double(i) * 0.001 + series) * 10 + series * 3 + double(i % 7) * 0.1;
}

struct TFigures {
  double Load, Last10, All, Append, Mb;
};

TFigures CustomPlot(long points, int series)
{
  const double before = RssMb();
  TFigures f {};
  auto plot = std::make_unique<QCustomPlot>();
  plot->resize(Width, Height);
  plot->show();
  const double end = double(points) * Step;
  auto begin = Clock::now();
  for (int s = 0; s < series; ++s) {
    QVector<double> keys(points), values(points);
    for (long i = 0; i < points; ++i) {
      keys[i] = double(i) * Step;
      values[i] = Value(s, i);
    }
    QCPGraph* graph = plot->addGraph();
    graph->setPen(QPen(QColor::fromHsv(s * 360 / series, 255, 200)));
    graph->setData(keys, values, true);
  }
  f.Load = Ms(begin);
  f.Mb = RssMb() - before;
  plot->yAxis->setRange(-15, 60);
  f.Last10 = Median([&] {
    plot->xAxis->setRange(end - 10, end);
    plot->replot(QCustomPlot::rpImmediateRefresh);
  });
  f.All = Median([&] {
    plot->xAxis->setRange(0, end);
    plot->replot(QCustomPlot::rpImmediateRefresh);
  });
  long next = points;
  f.Append = Median([&] {
    for (int line = 0; line < 67; ++line, ++next)
      for (int s = 0; s < series; ++s) {
        plot->graph(s)->data()->removeBefore(double(next - points + 1) * Step);
        plot->graph(s)->addData(double(next) * Step, Value(s, next));
      }
    const double last = double(next - 1) * Step;
    plot->xAxis->setRange(last - 10, last);
    plot->replot(QCustomPlot::rpImmediateRefresh);
  });
  return f;
}

TFigures Charts(long points, int series)
{
  const double before = RssMb();
  TFigures f {};
  auto* chart = new QChart;
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  chart->legend()->hide();
  QChartView view(chart);
  view.resize(Width, Height);
  view.show();
  const double end = double(points) * Step;
  std::vector<QLineSeries*> lines;
  // A series takes new points fastest as a whole list: each single change redoes its geometry.
  std::vector<QList<QPointF>> kept(static_cast<std::size_t>(series));
  auto begin = Clock::now();
  for (int s = 0; s < series; ++s) {
    QList<QPointF>& data = kept[std::size_t(s)];
    data.resize(points);
    for (long i = 0; i < points; ++i)
      data[i] = QPointF(double(i) * Step, Value(s, i));
    auto* line = new QLineSeries;
    line->setPen(QPen(QColor::fromHsv(s * 360 / series, 255, 200)));
    line->replace(data);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    lines.push_back(line);
  }
  y->setRange(-15, 60);
  QApplication::processEvents();
  f.Load = Ms(begin);
  f.Mb = RssMb() - before;
  const auto draw = [&](double from, double to) {
    x->setRange(from, to);
    QApplication::processEvents();
    view.viewport()->repaint();
  };
  f.Last10 = Median([&] { draw(end - 10, end); });
  f.All = Median([&] { draw(0, end); });
  long next = points;
  f.Append = Median([&] {
    for (int s = 0; s < series; ++s) {
      QList<QPointF>& data = kept[std::size_t(s)];
      data.remove(0, 67);
      for (long i = next; i < next + 67; ++i)
        data.append(QPointF(double(i) * Step, Value(s, i)));
      lines[std::size_t(s)]->replace(data);
    }
    next += 67;
    const double last = double(next - 1) * Step;
    draw(last - 10, last);
  });
  return f;
}

void Print(const char* library, long points, int series, const TFigures& f)
{
  std::printf("%-12s points=%ld series=%d load_ms=%.0f draw_last10_ms=%.1f draw_all_ms=%.1f "
              "append67_draw_ms=%.1f library_mb=%.0f\n",
              library, points, series, f.Load, f.Last10, f.All, f.Append, f.Mb);
  std::fflush(stdout);
}

}   // namespace

int main(int argc, char** argv)
{
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const long points = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int series = argc > 2 ? std::atoi(argv[2]) : 1;
  Print("QCustomPlot", points, series, CustomPlot(points, series));
  if (argc <= 3 || std::string(argv[3]) != "qcustomplot")
    Print("QtCharts", points, series, Charts(points, series));
  return 0;
}
