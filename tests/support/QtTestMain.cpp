// Test main for window tests: one QApplication (offscreen in CTest) for all the tests, with the
// program's resources handed to the framework, as the application hands them over at start.
#include "framework/ResourceLoader.h"
#include "resources/KalvixResources.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  UseResources(KalvixResources());
  return RUN_ALL_TESTS();
}
