// The Windows side of the photograph bench: a PNG turned into an image entry over GDI+ for some
// rounds in this one process, reporting the median time of MakeEntryFromFile and the process's
// peak working set (above what it held before the first round). bench/run runs it under Wine on
// the PNG that vexa_picture_bench keeps.
//
// Usage: vexa_picture_bench_windows PNG [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/image_entry.h"

// GetProcessMemoryInfo's peak working set, in peak_memory_windows.cpp.
double PeakWorkingSetMiB();

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vexa_picture_bench_windows PNG [ROUNDS]\n");
        return 2;
    }
    const std::string png = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const double before = PeakWorkingSetMiB();
    std::vector<double> times;
    long jpegBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::optional<vexa::ImageEntry> entry = vexa::MakeEntryFromFile(png);
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!entry) {
            std::fprintf(stderr, "no entry from %s\n", png.c_str());
            return 1;
        }
        jpegBytes = entry->bytes;
    }
    std::sort(times.begin(), times.end());
    const double median = rounds % 2 ? times[rounds / 2] : (times[rounds / 2 - 1] + times[rounds / 2]) / 2;
    const double peak = PeakWorkingSetMiB();
    std::printf(
        "  GDI+     %8.1f ms   peak working set %7.1f MiB, %7.1f MiB above the process's own;"
        " a JPEG of %ld bytes (%d rounds, %d-bit)\n",
        1e3 * median, peak, peak - before, jpegBytes, rounds, static_cast<int>(8 * sizeof(void*)));
    return 0;
}
