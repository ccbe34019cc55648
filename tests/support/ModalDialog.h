#pragma once
// Plays the user in a modal dialog: open() shows the dialog (and returns when it is closed);
// script runs inside it and must close it. A dialog the script leaves open fails the test and
// is cancelled, so a test never hangs.
#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QDialog;
class QMenuBar;

void PlayModal(const std::function<void()>& open, const std::function<void(QDialog&)>& script);

// The control of a dialog with this id, or null; as a T, or null when it is none.
QWidget* DialogItem(QWidget& dialog, int id);
template <class T> T* DialogItem(QWidget& dialog, int id)
{
  return qobject_cast<T*>(DialogItem(dialog, id));
}
// As a user would: picks entry in combo box id with the keys; replaces the text of field id (or
// of an editable combo box) by typing, from the focus on it and all of it selected; clicks
// control id.
void Choose(QWidget& dialog, int id, const QString& entry);
void Type(QWidget& dialog, int id, const char* text);
void Click(QWidget& dialog, int id);
// A menu bar item, or an item of its menu.
QAction* MenuItem(QMenuBar& bar, const QString& top, const QString& item = {});
