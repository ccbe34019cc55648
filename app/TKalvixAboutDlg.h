#pragma once
// The about box: the program's icon and name, its version line and legal notice, read from
// the version block of the running file each time the box opens.
#include "framework/TDialog.h"
#include "framework/TStatic.h"
#include "resources/ResourceIds.h"

class TKalvixAboutDlg : public TDialog {
public:
  explicit TKalvixAboutDlg(TWindow* parent, int resourceId = IDD_ABOUT);

protected:
  void PrepareWindow() override;

private:
  TStatic VersionLine;
  TStatic LegalNotice;
};
