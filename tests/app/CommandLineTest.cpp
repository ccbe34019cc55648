// The program's arguments are its own: the toolkit is given none of them.
#include "framework/TApplication.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, ToolkitOptionsReachTheProgramAndNotTheToolkit)
{
  char program[] = "kalvix", reverse[] = "-reverse", platform[] = "-platform", minimal[] = "minimal", style[] = "-style",
       windows[] = "windows", file[] = "file.txt";
  char* argv[] = {program, reverse, platform, minimal, style, windows, file, nullptr};
  int argc = 7;
  const TApplication application("Kalvix", argc, argv);
  ASSERT_NE(QGuiApplication::instance(), nullptr);
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(QGuiApplication::platformName().toStdString(), "offscreen") << "the platform comes from QT_QPA_PLATFORM";
  EXPECT_EQ(argc, 7);
  EXPECT_EQ(application.GetCmdLine(), "-reverse -platform minimal -style windows file.txt");
}

} // namespace
