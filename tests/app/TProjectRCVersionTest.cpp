#include "app/TProjectRCVersion.h"
#include "platform/Version.h"
#include "resources/VersionBlock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A copy of an executable with its version block changed by edit, in a temporary file.
class TPatchedCopy {
public:
  template <class Edit>
  TPatchedCopy(const std::string& original, Edit edit)
  {
    std::vector<std::uint8_t> image = Slurp(original);
    std::size_t offset = 0, size = 0;
    EXPECT_TRUE(FindVersionSection(image.data(), image.size(), offset, size));
    edit(image.data() + offset, size);
    Path = std::filesystem::temp_directory_path() / ("kalvix-version-" + std::to_string(getpid()) + "-" + std::to_string(++Count));
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  ~TPatchedCopy() { std::filesystem::remove(Path); }
  std::string Name() const { return Path.string(); }

private:
  std::filesystem::path Path;
  static inline int Count = 0;
};

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

TEST(TProjectRCVersionTest, NoTruncatedOrTranslationlessBlockGivesNoData)
{
  const auto expectNoData = [](const char* file) {
    TProjectRCVersion reader(file);
    const char* text = "untouched";
    EXPECT_FALSE(reader.ReadProductVersion(text)) << file;
    EXPECT_FALSE(reader.ReadLegalNotice(text)) << file;
    EXPECT_STREQ(text, "untouched");
  };
  expectNoData("/nonexistent/kalvix");
  expectNoData(GTEST_SELF);   // an executable without a version block

  const TPatchedCopy truncated(VERSION_FIXTURE, [](std::uint8_t* block, std::size_t size) {
    block[0] = std::uint8_t((size + 8) & 0xFF);   // the root claims more than the section holds
    block[1] = std::uint8_t((size + 8) >> 8);
  });
  expectNoData(truncated.Name().c_str());

  const TPatchedCopy untranslated(VERSION_FIXTURE, [](std::uint8_t* block, std::size_t size) {
    const char name[] = "Translation";
    for (std::size_t i = 0; i + sizeof name <= size; ++i)
      if (std::memcmp(block + i, name, sizeof name) == 0)
        block[i] = 'X';
  });
  expectNoData(untranslated.Name().c_str());
}

} // namespace
