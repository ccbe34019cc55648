// The command line: its tokens, the unregister option, and the toolkit given none of it.
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, TokensSplitAsTheirLeadingCharacterSaysAndAnyLeadingPartOfUnregisterAsks)
{
  // Line, its tokens (N name, O option, V value), whether it asks to unregister.
  const std::tuple<const char*, const char*, bool> cases[] = {
    {"", "", false},
    {" \t ", "", false},
    {"-unregister", "Ounregister", true},
    {"/UNREGISTER", "OUNREGISTER", true},
    {"- unregister", "Ounregister", true},
    {"-", "O", true},
    {"/", "O", true},
    {"file.txt -u", "Nfile.txt Ou", true},
    {"-unregister=yes", "Ounregister Vyes", true},
    {"a/b=c d", "Na Ob Vc Nd", false},
    {"/UnReg/x", "OUnReg Ox", true},
    {"-x -unr", "Ox Ounr", true},
    {"-/x", "O Ox", true},
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
      got += (got.empty() ? "" : " ") + std::string(1, "?NOV"[k]) + std::string(cmdLine.GetTokenWord());
    EXPECT_EQ(cmdLine.NextToken(), TCmdLine::Done) << line;   // stays done
    EXPECT_EQ(got, tokens) << line;
    EXPECT_EQ(TKalvixApp::AsksToUnregister(line), unregister) << line;
  }
}

TEST(CommandLine, ToolkitOptionsReachTheProgramAndNotTheToolkit)
{
  char program[] = "kalvix", reverse[] = "-reverse", platform[] = "-platform", minimal[] = "minimal", style[] = "-style",
       windows[] = "windows", file[] = "file.txt";
  char* argv[] = {program, reverse, platform, minimal, style, windows, file, nullptr};
  int argc = 7;
  const TApplication application("Kalvix", argc, argv);
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(QGuiApplication::platformName().toStdString(), "offscreen") << "the platform comes from QT_QPA_PLATFORM";
  EXPECT_EQ(argc, 7);
  EXPECT_EQ(application.GetCmdLine(), "-reverse -platform minimal -style windows file.txt");
}

} // namespace
