#pragma once
// Plays the user in a modal dialog: open() shows the dialog (and returns when it is closed);
// script runs inside it and must close it. A dialog the script leaves open fails the test and
// is cancelled, so a test never hangs.
#include <QString>
#include <functional>

class QAction;
class QDialog;
class QMenuBar;
class QWidget;

void PlayModal(const std::function<void()>& open, const std::function<void(QDialog&)>& script);

// The control of a dialog with this id, or null.
QWidget* DialogItem(QWidget& dialog, int id);
// Picks entry in the dialog's combo box id with the keys, as a user would.
void Choose(QDialog& d, int id, const QString& entry);
// A menu bar item, or an item of its menu.
QAction* MenuItem(QMenuBar& bar, const QString& top, const QString& item = {});
