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

TEST(TProjectRCVersionTest, TheProgramsOwnBlockGivesNameVersionAndNotice)
{
  TProjectRCVersion reader(KALVIX_EXE);
  const char* name = nullptr;
  const char* version = nullptr;
  const char* notice = nullptr;
  ASSERT_TRUE(reader.ReadProductName(name));
  ASSERT_TRUE(reader.ReadProductVersion(version));
  ASSERT_TRUE(reader.ReadLegalNotice(notice));
  EXPECT_STREQ(name, "Kalvix");
  EXPECT_STREQ(version, "1.5");
  EXPECT_NE(std::strchr(notice, '\n'), nullptr) << "the notice has several lines";
}

TEST(TProjectRCVersionTest, AMissingValueFailsAndLeavesThePointerAlone)
{
  TProjectRCVersion reader(VERSION_FIXTURE);
  const char* text = "untouched";
  EXPECT_FALSE(reader.ReadProductName(text));
  EXPECT_STREQ(text, "untouched");
  ASSERT_TRUE(reader.ReadProductVersion(text));
  EXPECT_STREQ(text, "9.9");
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

constexpr version_block::TLayout<1> Crafted {"040904E4", 0x0409, 0x04E4, {{{"ProductName", "Kalvix"}}}};
constexpr auto CraftedBlock = MakeVersionBlock<Crafted.Length()>(Crafted);

TEST(VersionBlockTest, NamesAreFoundWhateverTheirLetterCase)
{
  void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(VerQueryValue(CraftedBlock.data(), "\\StringFileInfo\\040904e4\\productname", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), "Kalvix");
  EXPECT_EQ(length, 7u);
  ASSERT_TRUE(VerQueryValue(CraftedBlock.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  const auto* t = static_cast<const std::uint8_t*>(value);
  EXPECT_EQ(t[0] | t[1] << 8, 0x0409);
  EXPECT_EQ(t[2] | t[3] << 8, 0x04E4);
  EXPECT_FALSE(VerQueryValue(CraftedBlock.data(), "\\StringFileInfo\\040904E4\\ProductNam", &value, &length));
  EXPECT_FALSE(VerQueryValue(CraftedBlock.data(), "\\StringFileInfo\\04090000\\ProductName", &value, &length));
}

TEST(VersionBlockTest, MalformedBlocksAreRejectedWithoutReadingPastThem)
{
  void* value = nullptr;
  std::uint32_t length = 0;
  // Every way of cutting a child's length short or long must fail cleanly.
  for (std::size_t at = 0; at + 1 < CraftedBlock.size(); at += 2) {
    for (std::uint16_t bad : {std::uint16_t(0), std::uint16_t(5), std::uint16_t(0xFFFF)}) {
      auto block = CraftedBlock;
      block[at] = std::uint8_t(bad & 0xFF);
      block[at + 1] = std::uint8_t(bad >> 8);
      // Keep the root honest so the block's own bound holds; ASan catches any read past it.
      block[0] = std::uint8_t(CraftedBlock.size() & 0xFF);
      block[1] = std::uint8_t(CraftedBlock.size() >> 8);
      if (VerQueryValue(block.data(), "\\StringFileInfo\\040904E4\\ProductName", &value, &length)) {
        const auto* p = static_cast<const std::uint8_t*>(value);
        EXPECT_GE(p, block.data());
        EXPECT_LE(p + length, block.data() + block.size());
      }
    }
  }
  const std::uint8_t junk[64] = {};
  std::size_t offset = 0, size = 0;
  EXPECT_FALSE(FindVersionSection(junk, sizeof junk, offset, size));
  EXPECT_FALSE(FindVersionSection(nullptr, 0, offset, size));
  EXPECT_FALSE(VerQueryValue(junk, "\\VarFileInfo\\Translation", &value, &length));
}

} // namespace
