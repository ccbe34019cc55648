#include "framework/TPresenter.h"

#include "framework/Latin1.h"
#include "framework/WindowMessages.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

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

  bool FileName(QWidget* owner, const std::string& title, TOpenSaveDialog::TAsk what,
                TOpenSaveDialog::TData& data) override
  {
    if (what != TOpenSaveDialog::TAsk::Folder)
      return AskFileName(owner, title, data,
                         what == TOpenSaveDialog::TAsk::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const QString folder =
      QFileDialog::getExistingDirectory(owner, ToQString(title), QFile::decodeName(data.InitialDir.c_str()));
    if (folder.isEmpty())
      return false;
    data.FileName = QFile::encodeName(folder).toStdString();
    return true;
  }

private:
  static bool AskFileName(QWidget* owner, const std::string& title, TOpenSaveDialog::TData& data,
                          QFileDialog::AcceptMode mode)
  {
    QFileDialog dialog(owner, ToQString(title), QFile::decodeName(data.InitialDir.c_str()));
    dialog.setAcceptMode(mode);
    dialog.setFileMode((data.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(data.Flags & OFN_OVERWRITEPROMPT));
    if (data.Flags & OFN_HIDEREADONLY)
      dialog.setOption(QFileDialog::ReadOnly, false);
    // "Description|pattern|" pairs; Qt reads the patterns from the parentheses of a filter.
    const QStringList parts = ToQString(data.Filter).split(u'|');
    QStringList filters, patterns;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
      filters << (parts[i].contains(u'(') ? parts[i] : parts[i] + QStringLiteral(" (") + parts[i + 1] + u')');
      patterns << parts[i + 1];
    }
    // A name typed without an ending gets the chosen filter's ("*.log": log), else DefExt.
    const auto suffixFor = [&](const QString& filter) {
      const QString pattern = patterns.value(filters.indexOf(filter));
      const bool plain =
        pattern.startsWith(QStringLiteral("*.")) && pattern.count(u'*') == 1 && !pattern.contains(u';');
      dialog.setDefaultSuffix(plain ? pattern.mid(2) : ToQString(data.DefExt));
    };
    dialog.setDefaultSuffix(ToQString(data.DefExt));
    if (!filters.isEmpty()) {
      dialog.setNameFilters(filters);
      dialog.selectNameFilter(filters.value(std::max(data.FilterIndex, 1) - 1, filters.first()));
      suffixFor(dialog.selectedNameFilter());
      QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, suffixFor);
    }
    if (!data.FileName.empty())
      dialog.selectFile(QFile::decodeName(data.FileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return false;
    // A path is in the file system's encoding, not the Latin-1 of the program's texts.
    data.FileName = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    data.FilterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
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
