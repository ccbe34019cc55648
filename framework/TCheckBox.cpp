#include "framework/TCheckBox.h"

#include <QCheckBox>

TCheckBox::TCheckBox(TWindow* parent, int resourceId) : TControl(parent, resourceId)
{
  EnableTransfer();
}

bool TCheckBox::Binds(const QWidget& widget) const
{
  return qobject_cast<const QCheckBox*>(&widget) != nullptr;
}

QAbstractButton* TCheckBox::Box() const
{
  return qobject_cast<QAbstractButton*>(GetWidget());
}

std::uint32_t TCheckBox::GetCheck() const
{
  const QAbstractButton* box = Box();
  return box && box->isChecked() ? BF_CHECKED : BF_UNCHECKED;
}

void TCheckBox::SetCheck(std::uint32_t state)
{
  if (QAbstractButton* box = Box())
    box->setChecked(state != BF_UNCHECKED);
}

void TCheckBox::Transfer(const TTransferField& field, TTransferDirection direction)
{
  std::uint32_t* const* slot = std::get_if<std::uint32_t*>(&field);
  if (!slot || !*slot)
    return;
  if (direction == TTransferDirection::SetData)
    SetCheck(**slot);
  else
    **slot = GetCheck();
}
