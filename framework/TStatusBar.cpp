#include "framework/TStatusBar.h"

#include "framework/KeyboardLocks.h"
#include "framework/Latin1.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr const char* IndicatorTexts[3] = {"CAPS", "NUM", "SCRL"};
// How often the lock states are looked at while they can be read.
constexpr int LockPollMs = 250;
}

TStatusBar::TStatusBar(TWindow* parent, unsigned modeIndicators) : TWindow(parent), ModeIndicators(modeIndicators) {}

QWidget* TStatusBar::MakeWidget(QWidget* parentWidget)
{
  auto* bar = new QStatusBar(parentWidget);
  bar->setSizeGripEnabled(false);
  Message = new QLabel(ToQString(Text), bar);
  Message->setTextFormat(Qt::PlainText);
  bar->addWidget(Message, 1);
  for (std::size_t i = 0; i < Indicators.size(); ++i) {
    if (!(ModeIndicators & (1u << i)))
      continue;
    auto* indicator = new QLabel(QString::fromLatin1(IndicatorTexts[i]), bar);
    indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    indicator->setAlignment(Qt::AlignCenter);
    // As wide as its text ever needs, so the bar does not shift when a lock changes.
    indicator->setMinimumWidth(indicator->sizeHint().width() + indicator->fontMetrics().averageCharWidth());
    bar->addPermanentWidget(indicator);
    Indicators[i] = indicator;
  }
  UpdateIndicators();
  if (ModeIndicators && ReadKeyboardLocks()) {
    auto* poll = new QTimer(bar);
    QObject::connect(poll, &QTimer::timeout, Receiver(), [this] { UpdateIndicators(); });
    poll->start(LockPollMs);
  }
  return bar;
}

void TStatusBar::SetText(const char* text)
{
  Text = text ? text : "";
  if (Message)
    Message->setText(ToQString(Text));
}

void TStatusBar::UpdateIndicators()
{
  const unsigned locks = ReadKeyboardLocks().value_or(0);
  for (std::size_t i = 0; i < Indicators.size(); ++i)
    if (Indicators[i])
      Indicators[i]->setEnabled(locks & (1u << i));
}
