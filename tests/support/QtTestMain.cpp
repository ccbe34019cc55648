// Test main for window tests: one QApplication (offscreen in CTest) for all the tests.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
