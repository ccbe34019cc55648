// Runs a fuzz target's entry function over the saved inputs in the folders given. Built without
// libFuzzer, so the corpus replays under any compiler and sanitizer.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i)
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream file(entry.path(), std::ios::binary);
      // A buffer of its own, so reads before or past the input show under ASan.
      const std::vector<std::uint8_t> data {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
      LLVMFuzzerTestOneInput(data.data(), data.size());
      ++replayed;
    }
  return replayed == 0;   // an empty corpus would pass without testing anything
}
