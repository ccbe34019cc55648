#include "controls/TLed.h"

#include "framework/ResourceLoader.h"
#include "framework/TButtonWidget.h"
#include "resources/ResourceIds.h"

#include <QPainter>
#include <QWidget>

TLed::TLed(TWindow* parent, int resourceId) : TButton(parent, resourceId) {}

TLed::TLed(TWindow* parent, int id, const char* title, int x, int y, int w, int h, bool isDefault)
  : TButton(parent, id, title, x, y, w, h, isDefault)
{
  SetOwnerDraw();
}

bool TLed::Binds(const QWidget& widget) const
{
  const auto* button = dynamic_cast<const TButtonWidget*>(&widget);
  return button && button->IsOwnerDraw();
}

void TLed::SetState(int state)
{
  LampState = state;
  Invalidate(true);
}

void TLed::DrawEntireItem(QPainter& dc)
{
  int bitmapId = IDB_LED_OFF;
  if (LampState == LedGreen)
    bitmapId = IDB_LED_GREEN;
  else if (LampState == LedRed)
    bitmapId = IDB_LED_RED;
  const QImage bitmap = LoadBitmap(bitmapId);
  const QWidget* button = GetWidget();
  if (bitmap.isNull() || !button)
    return;
  const int right = button->width();
  const int bottom = button->height();
  dc.drawImage(QPoint((right - bitmap.width()) / 2, (bottom - bitmap.height()) / 2), bitmap);
}
