#include "plot/TPlotDlg.h"

#include "framework/Latin1.h"
#include "framework/ResourceLoader.h"
#include "framework/TFileSaveDialog.h"
#include "resources/ResourceIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstring>
#include <qcustomplot.h>
#include <string>
#include <utility>

namespace {

// The spans the list offers, in the order of its entries; 0: all kept.
constexpr int SpanSeconds[] = {1, 5, 10, 30, 60, 300, 600, 1800, 3600, 0};
constexpr int FirstSpan = 2;   // 10 s

constexpr double Seconds(std::int64_t ns)
{
  return double(ns) / 1e9;
}

QColor SeriesColour(std::size_t series)
{
  static constexpr std::array<QRgb, TPointStore::MaxSeries> colours = {
    0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
    0xbcbd22, 0x17becf, 0x000080, 0x808000, 0x800000, 0x008080, 0xff00ff, 0x000000};
  return QColor(colours[series % colours.size()]);
}

std::string LoadText(unsigned id)
{
  char text[200];
  LoadString(id, text, sizeof text);
  return text;
}

}   // namespace

template <std::size_t... I> constexpr auto TPlotDlg::SeriesEntries(std::index_sequence<I...>)
{
  return std::array {
    OnCommand<&TPlotDlg::CmSeries<int(I)>>(IDC_PLOT_SERIES + int(I))...,
    OnMessage<&TPlotDlg::RedrawTick>(WM_TIMER),
    OnCommand<&TPlotDlg::CmPause>(IDC_PLOT_PAUSE),
    OnCommand<&TPlotDlg::CmClear>(IDC_PLOT_CLEAR),
    OnCommand<&TPlotDlg::CmExport>(IDC_PLOT_EXPORT),
    OnCommand<&TPlotDlg::CmAutoY>(IDC_PLOT_AUTOY),
    OnNotify<&TPlotDlg::EnYRange>(IDC_PLOT_YMIN, EN_CHANGE),
    OnNotify<&TPlotDlg::EnYRange>(IDC_PLOT_YMAX, EN_CHANGE),
    OnNotify<&TPlotDlg::CbnSpan>(IDC_PLOT_SPAN, CBN_SELCHANGE),
    OnCommand<&TPlotDlg::CmCancel>(IDCANCEL),
  };
}

const TResponseTable& TPlotDlg::Responses() const
{
  static constexpr auto entries = SeriesEntries(std::make_index_sequence<TPointStore::MaxSeries>());
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

TPlotDlg::TPlotDlg(TWindow* parent, bool midLine)
  : TDialog(parent, IDD_PLOT),
    Start(TClock::now()),
    AutoY(this, IDC_PLOT_AUTOY),
    YMin(this, IDC_PLOT_YMIN, 32),
    YMax(this, IDC_PLOT_YMAX, 32),
    Pause(this, IDC_PLOT_PAUSE),
    Note(this, IDC_PLOT_NOTE)
{
  Parser.Reset(midLine);
}

TPlotDlg::~TPlotDlg() = default;

void TPlotDlg::PrepareWindow()
{
  TDialog::PrepareWindow();
  auto* spans = static_cast<QComboBox*>(TemplateWidget(IDC_PLOT_SPAN));
  spans->addItems(ToQString(LoadText(IDS_PLOT_SPANS)).split('|'));
  spans->setCurrentIndex(FirstSpan);
  static_cast<QLabel*>(TemplateWidget(IDC_PLOT_NOTE))->setWordWrap(true);
  AutoY.Check();
  YMin.EnableWindow(false);
  YMax.EnableWindow(false);

  // The plot fills its frame in the template, which follows the window's size.
  QWidget* area = TemplateWidget(IDC_PLOT_AREA);
  area->setAttribute(Qt::WA_TransparentForMouseEvents, false);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(1, 1, 1, 1);
  Plot = new QCustomPlot(area);
  layout->addWidget(Plot);
  Plot->xAxis->setLabel("s");
  Plot->setNoAntialiasingOnDrag(true);
  for (std::size_t i = 0; i < TPointStore::MaxSeries; ++i) {
    QCPGraph* graph = Plot->addGraph();
    graph->setPen(QPen(SeriesColour(i)));
    graph->setVisible(false);
  }
  QObject::connect(Plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), Receiver(), [this] { ViewMoved(); });
  SetRangeAllowed();
}

void TPlotDlg::Received(const std::uint8_t* bytes, std::size_t n, TClock::time_point at)
{
  const std::int64_t time = std::chrono::duration_cast<std::chrono::nanoseconds>(at - Start).count();
  Parser.Feed(bytes, n, [&](std::span<const TPlotParser::TField> fields) {
    Points.Add(time, fields);
    Fresh = true;
  });
  if (Fresh && !Timing)
    Timing = SetTimer(RedrawTimer, RedrawInterval);
}

LRESULT TPlotDlg::RedrawTick(WPARAM id, LPARAM)
{
  if (id != RedrawTimer)
    return 0;
  if (!Fresh) {
    KillTimer(RedrawTimer);
    Timing = false;
    return 0;
  }
  Fresh = false;
  ShowLegend();
  if (!Paused)
    Redraw();
  return 0;
}

void TPlotDlg::Redraw()
{
  if (!Plot)
    return;
  if (!Paused) {
    const int span = SpanSeconds[std::clamp(static_cast<QComboBox*>(TemplateWidget(IDC_PLOT_SPAN))->currentIndex(), 0,
                                            int(std::size(SpanSeconds)) - 1)];
    const std::int64_t newest = std::max<std::int64_t>(Points.Newest(), 0);
    const std::int64_t oldest = std::max<std::int64_t>(Points.Oldest(), 0);
    const std::int64_t from = span ? newest - std::int64_t(span) * 1000000000 : oldest;
    Moving = true;
    Plot->xAxis->setRange(Seconds(from), Seconds(std::max(newest, from + 1000000)));
    Moving = false;
  }
  ViewMoved();
  Plot->replot();
}

void TPlotDlg::ViewMoved()
{
  if (Moving || !Plot)
    return;
  const QCPRange range = Plot->xAxis->range();
  ShowPoints(std::int64_t(range.lower * 1e9), std::int64_t(range.upper * 1e9));
  if (AutoY.GetCheck() == BF_CHECKED) {
    bool found = false;
    QCPRange values;
    for (int i = 0; i < Plot->graphCount(); ++i)
      if (Plot->graph(i)->visible()) {
        bool inGraph = false;
        const QCPRange graphValues = Plot->graph(i)->getValueRange(inGraph, QCP::sdBoth, range);
        if (inGraph)
          values = found ? QCPRange(std::min(values.lower, graphValues.lower), std::max(values.upper, graphValues.upper))
                         : graphValues;
        found = found || inGraph;
      }
    if (found) {
      const double margin = values.size() > 0 ? values.size() * 0.05 : std::max(std::abs(values.lower) * 0.05, 0.5);
      Plot->yAxis->setRange(values.lower - margin, values.upper + margin);
    }
  }
}

void TPlotDlg::ShowPoints(std::int64_t from, std::int64_t to)
{
  const std::vector<TPointStore::TSeries>& series = Points.Series();
  for (std::size_t s = 0; s < TPointStore::MaxSeries; ++s) {
    QCPGraph* graph = Plot->graph(int(s));
    auto* box = static_cast<QCheckBox*>(TemplateWidget(IDC_PLOT_SERIES + int(s)));
    const bool shown = s < series.size() && box->isChecked();
    graph->setVisible(shown);
    if (!shown) {
      graph->data()->clear();
      continue;
    }
    const TPointStore::TRing* ring = &series[s].Points;
    std::size_t first = ring->LowerBound(from), last = ring->LowerBound(to + 1);
    for (const TPointStore::TEnvelope& envelope : series[s].Envelopes)
      if (last - first > MostPointsDrawn && envelope.Points.Size()) {
        ring = &envelope.Points;
        first = ring->LowerBound(from);
        last = ring->LowerBound(to + 1);
      }
    first -= first > 0;
    last += last < ring->Size();
    QVector<QCPGraphData> data(qsizetype(last - first));
    for (std::size_t i = first; i < last; ++i)
      data[qsizetype(i - first)] = QCPGraphData(Seconds((*ring)[i].Time), (*ring)[i].Value);
    graph->data()->set(data, true);
  }
}

void TPlotDlg::ShowLegend()
{
  const std::vector<TPointStore::TSeries>& series = Points.Series();
  for (; Shown < series.size(); ++Shown) {
    auto* box = static_cast<QCheckBox*>(TemplateWidget(IDC_PLOT_SERIES + int(Shown)));
    QPixmap swatch(14, 4);
    swatch.fill(SeriesColour(Shown));
    box->setIcon(QIcon(swatch));
    box->setText(ToQString(series[Shown].Name));
    box->setToolTip(box->text());
    box->setChecked(true);
    box->show();
  }
  if (Points.LeftOut() && Note.GetWidget()->isHidden()) {
    Note.SetText(LoadText(IDS_PLOT_LEFT_OUT));
    Note.Show(SW_SHOW);
  }
}

void TPlotDlg::SetRangeAllowed()
{
  // Only a paused view moves with the mouse; Y too, while the user sets its range.
  Plot->setInteractions(Paused ? QCP::iRangeDrag | QCP::iRangeZoom : QCP::Interactions());
  const Qt::Orientations moving = AutoY.GetCheck() == BF_CHECKED ? Qt::Horizontal : Qt::Horizontal | Qt::Vertical;
  Plot->axisRect()->setRangeDrag(moving);
  Plot->axisRect()->setRangeZoom(moving);
}

void TPlotDlg::CmPause()
{
  Paused = !Paused;
  Pause.SetCaption(LoadText(Paused ? IDS_PLOT_RESUME : IDS_PLOT_PAUSE).c_str());
  SetRangeAllowed();
  Redraw();
}

void TPlotDlg::CmClear()
{
  Points.Clear();
  Parser.Reset();
  for (; Shown > 0; --Shown)
    TemplateWidget(IDC_PLOT_SERIES + int(Shown) - 1)->hide();
  Note.Show(SW_HIDE);
  Redraw();
}

void TPlotDlg::CmExport()
{
  TOpenSaveDialog::TData data;
  data.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  data.Filter = "CSV files (*.csv)|*.csv|All Files (*.*)|*.*|";
  data.DefExt = "csv";
  if (TFileSaveDialog(this, data, "Export CSV").Execute() != IDOK)
    return;
  if (const int error = Points.WriteCsv(data.FileName))
    MessageBox((LoadText(IDS_PLOT_EXPORT_FAILED) + "\n" + data.FileName + "\n" + std::strerror(error)).c_str(), "Kalvix",
               MB_OK | MB_ICONEXCLAMATION);
}

void TPlotDlg::CmAutoY()
{
  const bool automatic = AutoY.GetCheck() == BF_CHECKED;
  YMin.EnableWindow(!automatic);
  YMax.EnableWindow(!automatic);
  if (!automatic) {
    // The range as it stands, to be edited.
    const QCPRange range = Plot->yAxis->range();
    YMin.SetText(QString::number(range.lower, 'g', 6).toStdString());
    YMax.SetText(QString::number(range.upper, 'g', 6).toStdString());
  }
  SetRangeAllowed();
  Redraw();
}

void TPlotDlg::EnYRange()
{
  const std::optional<double> low = TPlotParser::Number(YMin.GetText());
  const std::optional<double> high = TPlotParser::Number(YMax.GetText());
  if (AutoY.GetCheck() == BF_CHECKED || !low || !high || *low >= *high)
    return;
  Plot->yAxis->setRange(*low, *high);
  Plot->replot();
}

void TPlotDlg::CbnSpan()
{
  if (Paused)
    CmPause();
  else
    Redraw();
}

void TPlotDlg::CmCancel()
{
  Points.Clear();
  TDialog::CmCancel();
}
