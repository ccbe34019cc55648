// The plot window in the running program, opened from the Line menu while a device streams
// lines: what it keeps, its export, Pause with the wheel, the note, and closing it mid-stream.
#include "plot/TPlotDlg.h"
#include "tests/support/KalvixSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QWheelEvent>
#include <atomic>
#include <filesystem>
#include <qcustomplot.h>
#include <thread>

namespace {

class PlotWindowTest : public KalvixSession {
protected:
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    Start();
    Device = std::thread([this] {
      for (int i = 0; Streaming; ++i) {
        Pty.Send("a:" + std::to_string(i) + ",b:" + std::to_string(2 * i) + "\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  void TearDown() override
  {
    Streaming = false;
    Device.join();
  }
  std::vector<QWidget*> PlotWindows()
  {
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "Plot")
        windows.push_back(w);
    return windows;
  }
  QWidget* Control(QWidget* window, int id)
  {
    for (QWidget* w : window->findChildren<QWidget*>())
      if (w->property("controlId").toInt() == id)
        return w;
    return nullptr;
  }
  QCustomPlot* Plot(QWidget* window) { return window->findChild<QCustomPlot*>(); }

  TPty Pty;
  std::atomic<bool> Streaming {true};
  std::thread Device;
};

// The rows of an export, each a's value and b's; the header checked.
std::vector<std::pair<long, long>> Rows(const std::string& csv)
{
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "time,a,b");
  std::vector<std::pair<long, long>> rows;
  while (std::getline(lines, line)) {
    long a = -1, b = -1;
    EXPECT_EQ(std::sscanf(line.c_str(), "%*[0-9.],%ld,%ld", &a, &b), 2) << line;
    rows.emplace_back(a, b);
  }
  return rows;
}

TEST_F(PlotWindowTest, OpenedMidStreamItKeepsEveryLineFromThenOnAndExportsThemWholeUntilItIsClosed)
{
  QTest::qWait(200);
  Menu("&Line", "&Plot...")->trigger();
  Menu("&Line", "&Plot...")->trigger();   // raises the one window
  ASSERT_EQ(PlotWindows().size(), 1u);
  QWidget* window = PlotWindows()[0];
  QTest::qWait(600);
  // The legend has a checked box for each name; the view ends at the newest line, 10 s wide.
  auto* a = static_cast<QCheckBox*>(Control(window, IDC_PLOT_SERIES));
  EXPECT_TRUE(a->isVisible() && a->isChecked() && a->text() == "a");
  EXPECT_EQ(static_cast<QCheckBox*>(Control(window, IDC_PLOT_SERIES + 1))->text(), "b");
  EXPECT_FALSE(Control(window, IDC_PLOT_SERIES + 2)->isVisible());
  EXPECT_NEAR(Plot(window)->xAxis->range().size(), 10, 0.01);
  EXPECT_GT(Plot(window)->graph(0)->dataCount(), 0);
  QTest::mouseClick(a, Qt::LeftButton);
  QTest::qWait(100);
  EXPECT_FALSE(Plot(window)->graph(0)->visible());

  Presenter.FileAnswer = Store.Root() + "/plot.csv";
  QTest::mouseClick(Control(window, IDC_PLOT_EXPORT), Qt::LeftButton);
  ASSERT_EQ(Presenter.FileRequests.size(), 1u);
  EXPECT_EQ(Presenter.FileRequests[0].Title, "Export CSV");
  // Every line from the first one the window saw, none twice or lost; the first came mid-stream.
  const std::vector<std::pair<long, long>> rows = Rows(FileText(Presenter.FileAnswer));
  ASSERT_GT(rows.size(), 50u);
  EXPECT_GT(rows[0].first, 0);
  for (std::size_t i = 0; i < rows.size(); ++i)
    ASSERT_EQ(rows[i], std::make_pair(rows[0].first + long(i), 2 * (rows[0].first + long(i)))) << i;

  // A folder in the file's place: told, and nothing written.
  Presenter.FileAnswer = Store.Root();
  QTest::mouseClick(Control(window, IDC_PLOT_EXPORT), Qt::LeftButton);
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "The plot could not be exported:\n" + Store.Root() + "\nIs a directory");

  // Closed mid-stream: the terminal goes on receiving; opened again, it starts afresh.
  window->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return PlotWindows().empty(); }, 1000));
  const std::size_t before = Received().size();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received().size() > before; }, 1000));
  Menu("&Line", "&Plot...")->trigger();
  ASSERT_EQ(PlotWindows().size(), 1u);
  QTest::qWait(300);
  Presenter.FileAnswer = Store.Root() + "/again.csv";
  QTest::mouseClick(Control(PlotWindows()[0], IDC_PLOT_EXPORT), Qt::LeftButton);
  const std::vector<std::pair<long, long>> again = Rows(FileText(Presenter.FileAnswer));
  ASSERT_FALSE(again.empty());
  EXPECT_GT(again[0].first, rows.back().first);
}

TEST_F(PlotWindowTest, PauseHoldsTheViewForTheWheelResumeFollowsTheNewestAndATooManyNamesNoteShows)
{
  Menu("&Line", "&Plot...")->trigger();
  QWidget* window = PlotWindows().at(0);
  QCustomPlot* plot = Plot(window);
  QTest::qWait(400);
  const auto wheel = [&] {
    const QPointF at = plot->rect().center();
    QWheelEvent event(at, plot->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
  };
  wheel();
  EXPECT_NEAR(plot->xAxis->range().size(), 10, 0.01);   // following: the wheel does nothing
  QTest::mouseClick(Control(window, IDC_PLOT_PAUSE), Qt::LeftButton);
  EXPECT_EQ(static_cast<QAbstractButton*>(Control(window, IDC_PLOT_PAUSE))->text(), "&Resume");
  const QCPRange held = plot->xAxis->range();
  QTest::qWait(300);
  EXPECT_EQ(plot->xAxis->range(), held);
  wheel();
  EXPECT_LT(plot->xAxis->range().size(), 9.9);
  QTest::mouseClick(Control(window, IDC_PLOT_PAUSE), Qt::LeftButton);
  EXPECT_NEAR(plot->xAxis->range().size(), 10, 0.01);
  EXPECT_GT(plot->xAxis->range().upper, held.upper);

  // Everything kept, at once.
  auto* spans = static_cast<QComboBox*>(Control(window, IDC_PLOT_SPAN));
  spans->setCurrentIndex(spans->count() - 1);
  emit spans->activated(spans->count() - 1);
  EXPECT_LT(plot->xAxis->range().size(), 5);

  std::string names;
  for (int i = 0; i < 17; ++i)
    names += "n" + std::to_string(i) + "=1 ";
  Pty.Send(names + "\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Control(window, IDC_PLOT_NOTE)->isVisible(); }, 1000));
  EXPECT_EQ(static_cast<QLabel*>(Control(window, IDC_PLOT_NOTE))->text(),
            "Only 16 series are plotted: values of further names are left out.");
  QTest::mouseClick(Control(window, IDC_PLOT_CLEAR), Qt::LeftButton);
  EXPECT_FALSE(Control(window, IDC_PLOT_NOTE)->isVisible());
  EXPECT_FALSE(Control(window, IDC_PLOT_SERIES + 15)->isVisible());
}

}   // namespace
