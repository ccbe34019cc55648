#include "framework/TSimpleComboWidget.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

TSimpleComboWidget::TSimpleComboWidget(QWidget* parent)
  : QWidget(parent), EditLine(new QLineEdit(this)), Entries(new QListWidget(this))
{
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(EditLine);
  layout->addWidget(Entries, 1);
  Entries->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Entries->setUniformItemSizes(true);   // lists of a hundred thousand entries stay quick
  setFocusProxy(EditLine);
  connect(Entries, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0)
      return;
    const QSignalBlocker quiet(EditLine);
    EditLine->setText(Entries->item(row)->text());
  });
  connect(EditLine, &QLineEdit::textEdited, this, [this] { Entries->setCurrentRow(-1); });
}
