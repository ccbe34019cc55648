#pragma once
// Plays the user in a modal dialog: open() shows the dialog (and returns when it is closed);
// script runs inside it and must close it. A dialog the script leaves open fails the test and
// is cancelled, so a test never hangs.
#include <functional>

class QDialog;
class QWidget;

void PlayModal(const std::function<void()>& open, const std::function<void(QDialog&)>& script);

// The control of a dialog with this id, or null.
QWidget* DialogItem(QWidget& dialog, int id);
