// Runs a fuzz target's entry function over saved inputs: each argument is a file or a folder
// of files. Built without libFuzzer, so the corpus replays under any compiler and sanitizer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i)
    if (fs::is_directory(argv[i]))
      inputs.insert(inputs.end(), fs::directory_iterator(argv[i]), fs::directory_iterator());
    else
      inputs.emplace_back(argv[i]);
  for (const fs::path& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    // A buffer of its own, so reads before or past the input show under ASan.
    const std::vector<std::uint8_t> data {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.is_open())
      return std::fprintf(stderr, "cannot read %s\n", path.c_str()), 1;
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return inputs.empty();   // an empty corpus would pass without testing anything
}
