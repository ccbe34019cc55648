// The plot window in the running program, opened from the Line menu and closed again while a
// device streams lines: what it keeps and exports, Pause, and the terminal going on.
#include "tests/support/KalvixSession.h"

#include <qcustomplot.h>
#include <thread>

namespace {

class PlotWindowTest : public KalvixSession {
protected:
  static QWidget* Window() { return TopWindow("Plot"); }
  // Each row of an export as its a, or -1 when its b is not twice that; the header checked.
  std::vector<long> Exported(const std::string& name)
  {
    Presenter.FileAnswer = Store.Root() + "/" + name;
    Click(*Window(), IDC_PLOT_EXPORT);
    std::istringstream lines(FileText(Presenter.FileAnswer));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "time,a,b");
    std::vector<long> rows;
    for (long a = -1, b = -1; std::getline(lines, line);)
      rows.push_back(std::sscanf(line.c_str(), "%*[0-9.],%ld,%ld", &a, &b) == 2 && b == 2 * a ? a : -1);
    return rows;
  }
  TPty Pty;
};

TEST_F(PlotWindowTest, OpenedMidStreamItKeepsEveryLineFromThenOnPausesExportsAndClosesWhileTheTerminalGoesOn)
{
  Store.LinkPort(1, Pty.SlavePath());
  Start();
  const std::jthread device([&](std::stop_token stop) {
    for (long i = 0; !stop.stop_requested(); ++i, std::this_thread::sleep_for(std::chrono::milliseconds(2)))
      Pty.Send("a:" + std::to_string(i) + ",b:" + std::to_string(2 * i) + "\r\n");
  });
  QTest::qWait(200);
  Menu("&Line", "&Plot...")->trigger();
  Menu("&Line", "&Plot...")->trigger();   // raises the one window
  ASSERT_TRUE(Window());
  QCustomPlot* plot = Window()->findChild<QCustomPlot*>();
  QTest::qWait(500);
  EXPECT_NEAR(plot->xAxis->range().size(), 10, 0.01);
  Click(*Window(), IDC_PLOT_PAUSE);
  const QCPRange held = plot->xAxis->range();
  QTest::qWait(200);
  EXPECT_EQ(plot->xAxis->range(), held);

  // Every line from the first whole one the window saw, none twice or lost.
  const std::vector<long> rows = Exported("plot.csv");
  ASSERT_GT(rows.size(), 50u);
  EXPECT_GT(rows[0], 0);
  for (std::size_t i = 0; i < rows.size(); ++i)
    ASSERT_EQ(rows[i], rows[0] + long(i)) << i;
  // A folder in the file's place: told, and nothing written.
  Presenter.FileAnswer = Store.Root();
  Click(*Window(), IDC_PLOT_EXPORT);
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "The plot could not be exported:\n" + Store.Root() + "\nIs a directory");

  Window()->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Window(); }, 1000));
  const std::size_t before = Received().size();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received().size() > before; }, 1000));
  Menu("&Line", "&Plot...")->trigger();   // afresh
  QTest::qWait(300);
  EXPECT_GT(Exported("again.csv").at(0), rows.back());
}

}   // namespace
