#include "framework/TComboBox.h"

#include "framework/Latin1.h"

#include <QComboBox>

TComboBox::TComboBox(TWindow* parent, int resourceId, UINT textLimit)
  : TControl(parent, resourceId), TextLimit(textLimit)
{
  EnableTransfer();
}

QComboBox* TComboBox::List() const
{
  return qobject_cast<QComboBox*>(GetWidget());
}

int TComboBox::GetCount() const
{
  const QComboBox* list = List();
  return list ? int(list->count()) : 0;
}

int TComboBox::GetSelIndex() const
{
  const QComboBox* list = List();
  return list ? int(list->currentIndex()) : -1;
}

void TComboBox::SetSelIndex(int index)
{
  if (QComboBox* list = List())
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

std::string TComboBox::GetString(int index) const
{
  const QComboBox* list = List();
  if (!list || index < 0 || index >= list->count())
    return {};
  return ToBytes(list->itemText(index));
}

void TComboBox::Transfer(const TTransferField& field, TTransferDirection direction)
{
  TComboBoxData* const* slot = std::get_if<TComboBoxData*>(&field);
  QComboBox* list = List();
  if (!slot || !*slot || !list)
    return;
  TComboBoxData& data = **slot;
  if (direction == TTransferDirection::SetData) {
    list->clear();
    for (const std::string& entry : data.GetStrings())
      list->addItem(ToQString(entry));
    SetSelIndex(data.GetSelIndex());
  } else {
    data.Clear();
    for (int i = 0; i < list->count(); ++i)
      data.AddString(ToBytes(list->itemText(i)));
    data.Select(list->currentIndex());
  }
}
