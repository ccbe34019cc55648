// Without a window: the command line (its tokens, the unregister option, the toolkit given none
// of it), and the version block read from the running image after its file was removed (the
// about box shows the program's own).
#include "app/TKalvixApp.h"
#include "app/TProjectRCVersion.h"
#include "framework/TCmdLine.h"
#include "tests/support/Child.h"
#include "tests/support/ScratchStore.h"

#include <QGuiApplication>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, TokensSplitAsTheirLeadingCharacterSaysAndAnyLeadingPartOfUnregisterAsks)
{
  // Line, its tokens (N name, O option, V value), whether it asks to unregister.
  const std::tuple<const char*, const char*, bool> cases[] = {
    {"-unregister", "Ounregister", true},
    {"-", "O", true},
    {"file.txt -u", "Nfile.txt Ou", true},
    {"a/b=c d", "Na Ob Vc Nd", false},
    {"/UnReg/x", "OUnReg Ox", true},
    {"--u", "O-u", false},
    {"=\t-", "V-", false},
    {"unregister", "Nunregister", false},
    {"-unregisterx", "Ounregisterx", false},
    {"=unregister", "Vunregister", false},
  };
  for (const auto& [line, tokens, unregister] : cases) {
    std::string got;
    TCmdLine cmdLine(line);
    for (TCmdLine::TKind k; (k = cmdLine.NextToken()) != TCmdLine::Done;)
      got.append(got.empty() ? "" : " ").append(1, "?NOV"[k]).append(cmdLine.GetTokenWord());
    EXPECT_EQ(cmdLine.NextToken(), TCmdLine::Done) << line;   // stays done
    EXPECT_EQ(got, tokens) << line;
    EXPECT_EQ(TKalvixApp::AsksToUnregister(line), unregister) << line;
  }
}

TEST(CommandLine, ToolkitOptionsReachTheProgramAndNotTheToolkit)
{
  char program[] = "kalvix", reverse[] = "-reverse", platform[] = "-platform", minimal[] = "minimal",
       style[] = "-style", windows[] = "windows", file[] = "file.txt";
  char* argv[] = {program, reverse, platform, minimal, style, windows, file, nullptr};
  int argc = 7;
  const TKalvixApp application("Kalvix", argc, argv);
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(QGuiApplication::platformName().toStdString(), "offscreen") << "the platform comes from QT_QPA_PLATFORM";
  EXPECT_EQ(argc, 7);
  EXPECT_EQ(application.GetCmdLine(), "-reverse -platform minimal -style windows file.txt");
}

TEST(TProjectRCVersionTest, TheRunningProgramReadsItsOwnBlockAfterItsFileWasRemoved)
{
  const TScratchStore scratch;
  const std::string copy = scratch.Root() + "/running", out = scratch.Root() + "/out";
  std::filesystem::copy_file(VERSION_FIXTURE, copy);
  const int said = open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  EXPECT_EQ(TChild({copy, "own"}, TChild::Inherit, said).Wait(10000), "exit 0");
  close(said);
  EXPECT_EQ(FileText(out), "9.9");
  EXPECT_FALSE(std::filesystem::exists(copy)) << "the file was not removed while it ran";
}

}   // namespace
