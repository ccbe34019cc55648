#include "framework/TControl.h"

TControl::TControl(TWindow* parent, int resourceId) : TWindow(parent), FromResource(true)
{
  Attr.Id = resourceId;
}

TControl::TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h)
  : TWindow(parent, title), FromResource(false)
{
  Attr.Id = id;
  Attr.X = x;
  Attr.Y = y;
  Attr.W = w;
  Attr.H = h;
}

QWidget* TControl::MakeWidget(QWidget* parentWidget)
{
  return FromResource ? nullptr : TWindow::MakeWidget(parentWidget);
}
