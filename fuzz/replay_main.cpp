// The fuzz targets without libFuzzer: runs LLVMFuzzerTestOneInput once over every file of the
// directories (or files) given, in name order, as a regression test. A directory that does not
// exist is skipped, so that a target may have no kept reproducers yet; finding no input at all
// fails, so that a mistyped corpus path does not pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& place) {
    std::error_code error;
    if (!fs::is_directory(place, error))
        return fs::is_regular_file(place, error) ? std::vector{place} : std::vector<fs::path>{};
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(place)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<uint8_t> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        for (const fs::path& input : InputsOf(argv[i])) {
            // Printed first: when an input breaks a property, the last line names it.
            std::fprintf(stderr, "%s\n", input.c_str());
            const std::vector<uint8_t> bytes = ReadAll(input);
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++count;
        }
    }
    std::fprintf(stderr, "%zu inputs\n", count);
    return count == 0 ? 1 : 0;
}
