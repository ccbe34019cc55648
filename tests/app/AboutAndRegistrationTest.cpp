// The about box on the version block of the running file, and the start-time registration of
// the program's icon entry by its command line.
#include "app/TKalvixApp.h"
#include "framework/TRegKey.h"
#include "platform/Version.h"
#include "resources/ResourceIds.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QDialog>
#include <QLabel>
#include <gtest/gtest.h>

namespace {
int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

class TRegisteringApp : public TKalvixApp {
public:
  TRegisteringApp() : TKalvixApp("Kalvix", NoArgc, NoArgv) {}
  using TKalvixApp::ScanCommandLine;
};

bool Exists(const char* path)
{
  HKEY key = nullptr;
  const bool found = RegOpenKeyEx(HKEY_CLASSES_ROOT, path, &key) == ERROR_SUCCESS;
  if (found)
    RegCloseKey(key);
  return found;
}

TEST(AboutBox, TheAboutCommandShowsVersionAndNoticeFromTheVersionBlockEachTimeItOpens)
{
  TRegisteringApp app;
  for (int opening = 0; opening < 2; ++opening)
    PlayModal([&] { SendMessage(&app, WM_COMMAND, CM_ABOUT, 0); },
              [](QDialog& about) {
                EXPECT_EQ(about.windowTitle(), "About Kalvix");
                EXPECT_EQ(static_cast<QLabel*>(DialogItem(about, IDC_ABOUT_VERSION))->text(), "Version 1.5");
                const QString notice = static_cast<QLabel*>(DialogItem(about, IDC_ABOUT_NOTICE))->text();
                EXPECT_TRUE(notice.contains("Kalvix") && notice.contains('\n')) << "the notice has lines of its own";
                about.accept();
              });
}

TEST(Registration, WithoutTheOptionTheIconEntryHoldsTheProgramsPathAndTheOptionRemovesOnlyWhatExists)
{
  TScratchStore store;
  TRecordingPresenter presenter;
  TRegisteringApp app;
  app.ScanCommandLine("-unregister");   // never registered: creates nothing
  EXPECT_FALSE(Exists("Kalvix.Application") || Exists("Kalvix.Document.1"));
  app.ScanCommandLine("file.txt");
  {
    const TRegKey icon(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon", false);
    char value[300] = {}, path[260] = {};
    std::uint32_t size = sizeof value - 1;
    EXPECT_EQ(RegQueryValueEx(icon, nullptr, nullptr, reinterpret_cast<std::uint8_t*>(value), &size), ERROR_SUCCESS);
    GetModuleFileName(path, sizeof path);
    EXPECT_STREQ(value, path);
  }
  { const TRegKey document(HKEY_CLASSES_ROOT, "Kalvix.Document.1\\DefaultIcon"); }
  app.ScanCommandLine("/UnReg");
  EXPECT_FALSE(Exists("Kalvix.Application") || Exists("Kalvix.Document.1\\DefaultIcon"));
  EXPECT_TRUE(Exists("Kalvix.Document.1")) << "an existing key stays";
  EXPECT_TRUE(presenter.Boxes.empty());
}
} // namespace
