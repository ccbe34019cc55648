#pragma once
// The plot window: a modeless window beside the main window that plots the numbers in the lines
// received since it opened. The X axis is seconds since then, by each line's arrival; it shows
// the newest span chosen (10 s at first, up to all kept), and Y fits what is visible unless the
// user sets a range. The legend's check boxes hide and show series. Pause freezes the view for
// zooming (wheel) and panning (drag) while the points are still kept; Resume follows the newest
// again. Clear empties it; Export CSV writes every kept point. It redraws at most RedrawInterval
// apart, and only when there is something new to show.
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TStatic.h"
#include "plot/TPlotParser.h"
#include "plot/TPointStore.h"

#include <chrono>
#include <cstdint>

class QCustomPlot;

class TPlotDlg : public TDialog {
public:
  using TClock = std::chrono::steady_clock;
  static constexpr UINT RedrawTimer = 1;
  static constexpr UINT RedrawInterval = 34;   // ms: at most 30 redraws a second
  // Beyond this many points of a series in view, the finest of its envelopes that has no more is
  // drawn instead.
  static constexpr std::size_t MostPointsDrawn = 8192;

  // midLine: plotting begins in the middle of a line, which is not taken.
  TPlotDlg(TWindow* parent, bool midLine);
  ~TPlotDlg() override;

  // Bytes that arrived at the given time.
  void Received(const std::uint8_t* bytes, std::size_t n, TClock::time_point at);
  // Draws what there is to show now.
  void Redraw();
  const TPointStore& Store() const { return Points; }
  QCustomPlot* PlotWidget() const { return Plot; }

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;
  LRESULT RedrawTick(WPARAM id, LPARAM);
  void CmPause();
  void CmClear();
  void CmExport();
  void CmAutoY();
  void EnYRange();
  void CbnSpan();
  // The close box and Escape: the window goes, and with it the points.
  void CmCancel();
  template <int Series> void CmSeries() { Redraw(); }
  template <std::size_t... I> static constexpr auto SeriesEntries(std::index_sequence<I...>);

private:
  // Hands the plot the points of each shown series between from and to (ns), with one more on
  // either side so that the lines reach the edges.
  void ShowPoints(std::int64_t from, std::int64_t to);
  // The legend: a check box for each series in the store, in its curve's colour.
  void ShowLegend();
  // The view was moved by the user (paused): the points in it are handed over.
  void ViewMoved();
  void SetRangeAllowed();

  TPlotParser Parser;
  TPointStore Points;
  TClock::time_point Start;
  QCustomPlot* Plot = nullptr;
  bool Paused = false;
  bool Fresh = false;       // lines arrived since the last redraw
  bool Timing = false;      // the redraw timer runs
  bool Moving = false;      // the program itself sets the view
  std::size_t Shown = 0;    // series in the legend

  TCheckBox AutoY;
  TEdit YMin, YMax;
  TButton Pause;
  TStatic Note;
};
