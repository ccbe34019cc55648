#include "framework/TButtonWidget.h"

#include "framework/TButton.h"

#include <QPainter>

TButtonWidget::TButtonWidget(const QString& text, bool ownerDraw, QWidget* parent)
  : QPushButton(text, parent), OwnerDraw(ownerDraw)
{
  // Enter belongs to the dialog, which presses the focused button or runs its default command.
  setAutoDefault(false);
}

void TButtonWidget::SetDrawer(TButton* button, QObject* guard)
{
  Drawer = button;
  DrawerAlive = guard;
}

void TButtonWidget::paintEvent(QPaintEvent* event)
{
  if (!OwnerDraw) {
    QPushButton::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  if (Drawer && DrawerAlive)
    Drawer->DrawEntireItem(painter);
}
