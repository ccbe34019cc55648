#include "framework/TProgressBar.h"

#include <QProgressBar>
#include <algorithm>

bool TProgressBar::Binds(const QWidget& widget) const
{
  return qobject_cast<const QProgressBar*>(&widget) != nullptr;
}

void TProgressBar::SetValue(int done)
{
  auto* bar = qobject_cast<QProgressBar*>(GetWidget());
  if (!bar)
    return;
  // An empty range is Qt's busy bar.
  bar->setMaximum(done < 0 ? 0 : Full);
  bar->setValue(std::clamp(done, 0, Full));
}
