#include "app/TKalvixAboutDlg.h"

#include "app/TProjectRCVersion.h"

#include <cstdio>

TKalvixAboutDlg::TKalvixAboutDlg(TWindow* parent, int resourceId)
  : TDialog(parent, resourceId), VersionLine(this, IDC_ABOUT_VERSION, 255), LegalNotice(this, IDC_ABOUT_NOTICE, 255)
{}

void TKalvixAboutDlg::PrepareWindow()
{
  TDialog::PrepareWindow();
  const TProjectRCVersion version;
  const char* name = nullptr;
  const char* number = nullptr;
  if (version.ReadProductName(name) && version.ReadProductVersion(number)) {
    // The line is built from the template's own text, so it reads "Version 1.5" every time.
    char label[128];
    VersionLine.GetText(label, sizeof label);
    char line[255];
    std::snprintf(line, sizeof line, "%s %s", label, number);
    VersionLine.SetText(line);
  }
  const char* notice = nullptr;
  if (version.ReadLegalNotice(notice))
    LegalNotice.SetText(notice);
}
