#include "framework/TListBox.h"

#include "framework/Latin1.h"

#include <QListWidget>
#include <QSignalBlocker>

TListBox::TListBox(TWindow* parent, int resourceId) : TControl(parent, resourceId) {}

bool TListBox::Binds(const QWidget& widget) const
{
  return qobject_cast<const QListWidget*>(&widget) != nullptr;
}

QListWidget* TListBox::List() const
{
  return qobject_cast<QListWidget*>(GetWidget());
}

int TListBox::GetCount() const
{
  const QListWidget* list = List();
  return list ? int(list->count()) : 0;
}

int TListBox::AddString(std::string_view text)
{
  QListWidget* list = List();
  if (!list)
    return -1;
  const QSignalBlocker quiet(list);
  list->addItem(ToQString(text));
  return int(list->count()) - 1;
}

void TListBox::SetString(int index, std::string_view text)
{
  if (QListWidget* list = List(); list && index >= 0 && index < list->count())
    if (const QString row = ToQString(text); list->item(index)->text() != row)
      list->item(index)->setText(row);
}

void TListBox::ClearList()
{
  if (QListWidget* list = List()) {
    const QSignalBlocker quiet(list);
    list->clear();
  }
}

int TListBox::GetSelIndex() const
{
  const QListWidget* list = List();
  return list && list->currentItem() && list->currentItem()->isSelected() ? int(list->currentRow()) : -1;
}

void TListBox::SetSelIndex(int index)
{
  QListWidget* list = List();
  if (!list)
    return;
  const QSignalBlocker quiet(list);
  if (index >= 0 && index < list->count()) {
    list->setCurrentRow(index);
    list->scrollToItem(list->item(index));
  } else {
    list->setCurrentRow(-1);
  }
}
