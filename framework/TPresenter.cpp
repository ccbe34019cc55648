#include "framework/TPresenter.h"

#include "framework/Latin1.h"
#include "framework/WindowMessages.h"

#include <QMessageBox>

namespace {
class TQtPresenter final : public TPresenter {
public:
  int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT type) override
  {
    // Only the icon varies; every box of the program has the single OK button.
    const QMessageBox::Icon icon = (type & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon;
    QMessageBox box(icon, ToQString(caption), ToQString(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return IDOK;
  }
};

TQtPresenter RealPresenter;
TPresenter* Installed = nullptr;
}

TPresenter& TPresenter::Current()
{
  return Installed ? *Installed : RealPresenter;
}

TPresenter* TPresenter::Install(TPresenter* presenter)
{
  TPresenter* previous = Installed;
  Installed = presenter;
  return previous;
}
