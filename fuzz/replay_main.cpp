// Runs a fuzz target over the files of the folders given (the committed
// seeds and the inputs that once found faults) without the fuzzer, so that
// every build replays them as an ordinary test, under its own sanitizers.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            std::fprintf(stderr, "not a folder: %s\n", argv[i]);
            return 2;
        }
        for (const auto& entry : fs::directory_iterator(argv[i])) {
            if (entry.is_regular_file()) files.push_back(fs::absolute(entry.path()));
        }
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "%s\n", file.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // Read by ctest's output as the plain closing line.
    std::fprintf(stderr, "%zu passed, 0 failed\n", files.size());
    return files.empty() ? 1 : 0;
}
