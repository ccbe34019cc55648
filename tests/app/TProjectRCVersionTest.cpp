// The version block read from the program's file, from a file without one, and from the
// running image after its file was removed.
#include "app/TProjectRCVersion.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(TProjectRCVersionTest, TheProgramsOwnBlockGivesNameVersionAndNoticeAndAMissingValueLeavesThePointerAlone)
{
  const char *name = nullptr, *version = nullptr, *notice = nullptr;
  TProjectRCVersion reader(KALVIX_EXE);
  ASSERT_TRUE(reader.ReadProductName(name) && reader.ReadProductVersion(version) && reader.ReadLegalNotice(notice));
  EXPECT_EQ(std::string(name) + " " + version, "Kalvix 1.5");
  EXPECT_NE(std::strchr(notice, '\n'), nullptr) << "the notice has several lines";
  TProjectRCVersion fixture(VERSION_FIXTURE);   // a version, no name
  EXPECT_FALSE(fixture.ReadProductName(name));
  EXPECT_STREQ(name, "Kalvix");
  ASSERT_TRUE(fixture.ReadProductVersion(version));
  EXPECT_STREQ(version, "9.9");
}

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

TEST(TProjectRCVersionTest, AFileWithoutABlockGivesNoData)
{
  for (const char* file : {"/nonexistent/kalvix", GTEST_SELF}) {
    const char* text = "untouched";
    EXPECT_FALSE(TProjectRCVersion(file).ReadProductVersion(text) || TProjectRCVersion(file).ReadLegalNotice(text)) << file;
    EXPECT_STREQ(text, "untouched");
  }
}

} // namespace
