#include "framework/TComboBox.h"

#include "framework/Latin1.h"

#include "framework/TSimpleComboWidget.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

TComboBox::TComboBox(TWindow* parent, int resourceId, UINT textLimit)
  : TControl(parent, resourceId), TextLimit(textLimit)
{
  EnableTransfer();
}

bool TComboBox::Binds(const QWidget& widget) const
{
  return qobject_cast<const QComboBox*>(&widget) || dynamic_cast<const TSimpleComboWidget*>(&widget);
}

QComboBox* TComboBox::List() const
{
  return qobject_cast<QComboBox*>(GetWidget());
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

void TComboBox::WidgetBound()
{
  if (QComboBox* list = List(); list && list->lineEdit() && TextLimit > 0)
    list->lineEdit()->setMaxLength(int(TextLimit - 1));
}

std::string TComboBox::GetText() const
{
  const QComboBox* list = List();
  return list ? ToBytes(list->currentText()) : std::string();
}

void TComboBox::SetText(const std::string& text)
{
  if (QComboBox* list = List(); list && list->isEditable())
    list->setEditText(ToQString(text));
}

void TComboBox::Transfer(const TTransferField& field, TTransferDirection direction)
{
  TComboBoxData* const* slot = std::get_if<TComboBoxData*>(&field);
  if (slot && *slot && dynamic_cast<TSimpleComboWidget*>(GetWidget())) {
    TransferSimple(**slot, direction);
    return;
  }
  QComboBox* list = List();
  if (!slot || !*slot || !list)
    return;
  TComboBoxData& data = **slot;
  if (direction == TTransferDirection::SetData) {
    list->clear();
    for (const std::string& entry : data.GetStrings())
      list->addItem(ToQString(entry));
    SetSelIndex(data.GetSelIndex());
    if (data.GetSelIndex() < 0)
      SetText(data.GetSelection());
  } else {
    data.Clear();
    for (int i = 0; i < list->count(); ++i)
      data.AddString(ToBytes(list->itemText(i)));
    if (list->isEditable())
      data.SelectString(GetText());
    else
      data.Select(list->currentIndex());
  }
}

void TComboBox::TransferSimple(TComboBoxData& data, TTransferDirection direction)
{
  auto* box = static_cast<TSimpleComboWidget*>(GetWidget());
  QListWidget* list = box->List();
  if (direction == TTransferDirection::SetData) {
    list->clear();
    QStringList entries;
    entries.reserve(qsizetype(data.GetStrings().size()));
    for (const std::string& entry : data.GetStrings())
      entries << ToQString(entry);
    list->addItems(entries);
    const QString selection = ToQString(data.GetSelection());
    int row = -1;
    if (data.GetSelIndex() >= 0)
      for (int i = 0; i < list->count() && row < 0; ++i)
        if (list->item(i)->text().startsWith(selection, Qt::CaseInsensitive))
          row = i;
    list->setCurrentRow(row);
    box->Edit()->setText(selection);
    return;
  }
  const int row = list->currentRow();
  const std::string text = ToBytes(row >= 0 ? list->item(row)->text() : box->Edit()->text());
  data.SelectString(text);
}
