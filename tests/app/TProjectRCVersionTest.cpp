// The version block read from a file, and from the running image after its file was removed;
// the about box shows the program's own.
#include "app/TProjectRCVersion.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(TProjectRCVersionTest, TheRunningProgramReadsItsOwnBlockAfterItsFileWasRemoved)
{
  const std::filesystem::path copy = std::filesystem::temp_directory_path() / ("kalvix-running-" + std::to_string(getpid()));
  std::filesystem::copy_file(VERSION_FIXTURE, copy, std::filesystem::copy_options::overwrite_existing);
  FILE* run = popen((copy.string() + " own").c_str(), "r");
  ASSERT_NE(run, nullptr);
  char out[32] = {};
  const std::size_t n = std::fread(out, 1, sizeof out - 1, run);
  EXPECT_EQ(pclose(run), 0);
  EXPECT_EQ(std::string(out, n), "9.9");
  EXPECT_FALSE(std::filesystem::exists(copy)) << "the file was not removed while it ran";
  std::filesystem::remove(copy);
}

TEST(TProjectRCVersionTest, AMissingValueOrBlockGivesNoDataAndLeavesThePointerAlone)
{
  const char* text = "untouched";
  EXPECT_FALSE(TProjectRCVersion(VERSION_FIXTURE).ReadProductName(text));   // a version, no name
  for (const char* file : {"/nonexistent/kalvix", GTEST_SELF})   // no file, no block
    EXPECT_FALSE(TProjectRCVersion(file).ReadProductVersion(text) || TProjectRCVersion(file).ReadLegalNotice(text)) << file;
  EXPECT_STREQ(text, "untouched");
  ASSERT_TRUE(TProjectRCVersion(VERSION_FIXTURE).ReadProductVersion(text));
  EXPECT_STREQ(text, "9.9");
}

} // namespace
