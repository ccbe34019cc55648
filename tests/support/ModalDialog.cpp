#include "tests/support/ModalDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

void PlayModal(const std::function<void()>& open, const std::function<void(QDialog&)>& script)
{
  bool ran = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr) << "no modal dialog is open";
    ran = true;
    script(*dialog);
    if (dialog->isVisible()) {
      ADD_FAILURE() << "the dialog \"" << dialog->windowTitle().toStdString() << "\" stayed open";
      dialog->reject();
    }
  });
  open();
  EXPECT_TRUE(ran);
}

QWidget* DialogItem(QWidget& dialog, int id)
{
  for (QWidget* widget : dialog.findChildren<QWidget*>())
    if (widget->property("controlId").toInt() == id)
      return widget;
  return nullptr;
}

void Choose(QWidget& dialog, int id, const QString& entry)
{
  auto* list = DialogItem<QComboBox>(dialog, id);
  while (list->currentIndex() > 0)   // up to the first entry (Home moves an edit line's caret)
    QTest::keyClick(list, Qt::Key_Up);
  while (list->currentText() != entry && list->currentIndex() + 1 < list->count())
    QTest::keyClick(list, Qt::Key_Down);
}

void Type(QWidget& dialog, int id, const char* text)
{
  auto* list = DialogItem<QComboBox>(dialog, id);
  QLineEdit* field = list ? list->lineEdit() : DialogItem<QLineEdit>(dialog, id);
  field->setFocus();
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

void Click(QWidget& dialog, int id)
{
  QTest::mouseClick(DialogItem(dialog, id), Qt::LeftButton);
}

QAction* MenuItem(QMenuBar& bar, const QString& top, const QString& item)
{
  for (QAction* action : bar.actions())
    for (QAction* sub : action->text() != top ? QList<QAction*>()
                        : item.isEmpty()      ? QList {action}
                                              : action->menu()->actions())
      if (item.isEmpty() || sub->text() == item)
        return sub;
  return nullptr;
}
