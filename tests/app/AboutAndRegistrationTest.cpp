// The about box on the version block of the running file, and the start-time registration of
// the program's icon entry by its command line.
#include "app/TKalvixAboutDlg.h"
#include "app/TKalvixApp.h"
#include "framework/TRegKey.h"
#include "platform/Version.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

std::string LabelText(TWindow& dialog, int id)
{
  for (QLabel* label : dialog.GetWidget()->findChildren<QLabel*>())
    if (label->property("controlId").toInt() == id)
      return label->text().toStdString();
  return "<missing>";
}

TEST(AboutBox, ShowsVersionAndNoticeFromTheVersionBlockEachTimeItOpens)
{
  TKalvixAboutDlg about(nullptr);
  for (int opening = 0; opening < 2; ++opening) {
    ASSERT_TRUE(about.Create());
    EXPECT_EQ(about.GetCaption(), "About Kalvix");
    EXPECT_EQ(LabelText(about, IDC_ABOUT_VERSION), "Version 1.5");
    const std::string notice = LabelText(about, IDC_ABOUT_NOTICE);
    EXPECT_NE(notice.find("Kalvix"), std::string::npos);
    EXPECT_NE(notice.find('\n'), std::string::npos) << "the notice has lines of its own";
    about.Destroy();
  }
}

int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

// The application with its registration steps in reach.
class TRegisteringApp : public TKalvixApp {
public:
  TRegisteringApp() : TKalvixApp("Kalvix", NoArgc, NoArgv) {}
  using TKalvixApp::ScanCommandLine;
  using TKalvixApp::ShowAboutBox;
};

class RegistrationTest : public ::testing::Test {
protected:
  // The icon entry's value, or "<none>" when the key or value is not there.
  static std::string IconEntry()
  {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon", &key) != ERROR_SUCCESS)
      return "<none>";
    char value[300] = {};
    std::uint32_t size = sizeof value - 1;
    const LONG r = RegQueryValueEx(key, nullptr, nullptr, reinterpret_cast<std::uint8_t*>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? std::string(value) : "<none>";
  }
  static bool Exists(const char* path)
  {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  static std::string OwnPath()
  {
    char path[260];
    GetModuleFileName(path, sizeof path);
    return path;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  TRegisteringApp App;
};

TEST_F(RegistrationTest, WithoutTheOptionTheIconEntryHoldsTheProgramsPath)
{
  for (const char* line : {"", "file.txt", "unregister", "-unregisterx", "=unregister", "-x -y=u"}) {
    App.ScanCommandLine(line);
    EXPECT_EQ(IconEntry(), OwnPath()) << line;
  }
  App.ScanCommandLine("");   // twice: one entry, same content
  EXPECT_EQ(IconEntry(), OwnPath());
}

TEST_F(RegistrationTest, AnyLeadingPartOfUnregisterRemovesTheEntries)
{
  for (const char* line : {"-unregister", "/UNREGISTER", "-u", "- unregister", "-", "file.txt -u", "-unregister=yes",
                           "/UnReg/x", "-x -unr"}) {
    App.ScanCommandLine("");
    ASSERT_TRUE(Exists("Kalvix.Application\\DefaultIcon"));
    {
      const TRegKey document(HKEY_CLASSES_ROOT, "Kalvix.Document.1\\DefaultIcon");
    }
    App.ScanCommandLine(line);
    EXPECT_FALSE(Exists("Kalvix.Application")) << line;
    EXPECT_FALSE(Exists("Kalvix.Document.1\\DefaultIcon")) << line;
    EXPECT_TRUE(Exists("Kalvix.Document.1")) << "an existing key stays";
    RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Document.1");
  }
}

TEST_F(RegistrationTest, RemovingWhatWasNeverRegisteredCreatesNothing)
{
  App.ScanCommandLine("-unregister");
  EXPECT_FALSE(Exists("Kalvix.Application"));
  EXPECT_FALSE(Exists("Kalvix.Document.1"));
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(RegistrationTest, TheAboutCommandRunsTheBoxModally)
{
  std::string seen;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog)
      return;
    for (QLabel* label : dialog->findChildren<QLabel*>())
      if (label->property("controlId").toInt() == IDC_ABOUT_VERSION)
        seen = label->text().toStdString();
    dialog->accept();
  });
  SendMessage(&App, WM_COMMAND, CM_ABOUT, 0);
  EXPECT_EQ(seen, "Version 1.5");
}

} // namespace
