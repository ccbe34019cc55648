#include "tests/support/ModalDialog.h"

#include <QApplication>
#include <QDialog>
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
