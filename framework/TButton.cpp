#include "framework/TButton.h"

#include "framework/Latin1.h"
#include "framework/TButtonWidget.h"

TButton::TButton(TWindow* parent, int resourceId) : TControl(parent, resourceId) {}

TButton::TButton(TWindow* parent, int id, const char* text, int x, int y, int w, int h, bool isDefault)
  : TControl(parent, id, text, x, y, w, h), IsDefault(isDefault)
{}

void TButton::DrawEntireItem(QPainter&) {}

bool TButton::Binds(const QWidget& widget) const
{
  return dynamic_cast<const TButtonWidget*>(&widget) != nullptr;
}

QWidget* TButton::MakeWidget(QWidget* parentWidget)
{
  if (IsFromResource())
    return nullptr;
  auto* button = new TButtonWidget(ToQString(GetCaption()), OwnerDraw, parentWidget);
  button->setGeometry(Attr.X, Attr.Y, Attr.W, Attr.H);
  button->setDefault(IsDefault);
  if (!Attr.Visible)
    button->hide();
  return button;
}

void TButton::WidgetBound()
{
  if (auto* button = dynamic_cast<TButtonWidget*>(GetWidget())) {
    OwnerDraw = button->IsOwnerDraw();
    button->SetDrawer(this, Receiver());
  }
  if (IsFromResource())
    if (auto* button = qobject_cast<QAbstractButton*>(GetWidget()))
      TWindow::SetCaption(ToBytes(button->text()).c_str());
}

void TButton::ApplyCaption()
{
  if (auto* button = qobject_cast<QAbstractButton*>(GetWidget()))
    button->setText(ToQString(GetCaption()));
}
