#pragma once
// The face of a simple combo box: an edit line with its list always shown below it. Choosing
// an entry puts its text into the edit line; typing there leaves no entry chosen.
#include <QWidget>

class QLineEdit;
class QListWidget;

class TSimpleComboWidget : public QWidget {
public:
  explicit TSimpleComboWidget(QWidget* parent);

  QLineEdit* Edit() const { return EditLine; }
  QListWidget* List() const { return Entries; }

private:
  QLineEdit* EditLine;
  QListWidget* Entries;
};
