// A 4000 × 3000 photograph, PNG, turned into an image entry, against ImageMagick's
// `convert photo.png photo.jpg` in the same run: wall time per round (median of the per-round
// ratios) and peak memory, each side in a process of its own.
//
// Usage: vexa_picture_bench [--convert PATH] [--rounds N] [--keep DIR]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "imaging/decoded_picture.h"
#include "imaging/image_entry.h"
#include "scratch_directory.h"

extern char** environ;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// Something a camera could have taken: soft gradients, shapes with edges, fine texture and
// sensor noise, which keeps PNG from compressing it away.
void WritePhoto(const std::string& path) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, false, 8, kWidth, kHeight);
    std::mt19937 random(2026);
    std::normal_distribution<float> noise(0.0f, 4.0f);
    for (int y = 0; y < kHeight; ++y) {
        guchar* row =
            gdk_pixbuf_get_pixels(pixbuf) + static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(pixbuf);
        for (int x = 0; x < kWidth; ++x) {
            const float sky = 1.0f - static_cast<float>(y) / kHeight;
            const float hill = y > 1800 + 300 * std::sin(x / 450.0f) ? 1.0f : 0.0f;
            const float texture = 12.0f * std::sin(x / 7.0f) * std::cos(y / 11.0f);
            const float sun = std::hypot(x - 3000.0f, y - 700.0f) < 260.0f ? 80.0f : 0.0f;
            const float r = 90 + 120 * sky + sun - 40 * hill + texture + noise(random);
            const float g = 120 + 90 * sky + sun + 50 * hill + texture + noise(random);
            const float b = 160 + 90 * sky - 100 * hill + noise(random);
            guchar* px = row + 3 * x;
            px[0] = static_cast<guchar>(std::clamp(r, 0.0f, 255.0f));
            px[1] = static_cast<guchar>(std::clamp(g, 0.0f, 255.0f));
            px[2] = static_cast<guchar>(std::clamp(b, 0.0f, 255.0f));
        }
    }
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
    g_object_unref(pixbuf);
    g_clear_error(&error);
    if (!saved) throw std::runtime_error("cannot write " + path);
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;  // the child's maximum resident set
    double cpuSeconds = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

Run Wait(pid_t child, std::chrono::steady_clock::time_point start) {
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4");
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("a measured run failed");
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    return run;
}

enum class Work { kNothing, kDecode, kEntry };

// Ours in a fresh child: the time of the work alone, and the child's peak memory. With nothing to
// do the child shows the bench's own footprint, the baseline; decoding alone shows its share.
Run Ours(const std::string& photo, Work work, long* entryBytes) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe");
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        double seconds = 0;
        long bytes = 0;
        const auto begin = std::chrono::steady_clock::now();
        if (work == Work::kEntry) {
            const std::optional<vexa::ImageEntry> entry = vexa::MakeEntryFromFile(photo);
            if (!entry) _exit(1);
            bytes = entry->bytes;
        } else if (work == Work::kDecode && !vexa::DecodePictureFile(photo)) {
            _exit(1);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const bool written = write(pipeEnds[1], &seconds, sizeof seconds) == sizeof seconds &&
                             write(pipeEnds[1], &bytes, sizeof bytes) == sizeof bytes;
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    double seconds = 0;
    long bytes = 0;
    const bool read_ok = read(pipeEnds[0], &seconds, sizeof seconds) == sizeof seconds &&
                         read(pipeEnds[0], &bytes, sizeof bytes) == sizeof bytes;
    close(pipeEnds[0]);
    Run run = Wait(child, start);
    if (!read_ok) throw std::runtime_error("no result from the child");
    run.seconds = seconds;
    if (entryBytes) *entryBytes = bytes;
    return run;
}

Run Convert(const std::string& tool, const std::string& photo, const std::string& jpeg) {
    std::vector<std::string> args{tool, photo, jpeg};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + tool);
    return Wait(child, start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string convert = "/usr/bin/convert";
    std::string keep;  // a folder that gets the photograph, for the Windows side to run on
    int rounds = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--convert")) convert = argv[i + 1];
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--keep")) keep = argv[i + 1];
    }
    const bool haveConvert = access(convert.c_str(), X_OK) == 0;

    const vexa::test::ScratchDirectory dir;
    const std::string photo = (dir.Path() / "photo.png").string();
    const std::string jpeg = (dir.Path() / "photo.jpg").string();
    std::printf("Writing a %d x %d photograph as PNG...\n", kWidth, kHeight);
    WritePhoto(photo);
    if (!keep.empty())
        std::filesystem::copy_file(photo, std::filesystem::path(keep) / "photo.png",
                                   std::filesystem::copy_options::overwrite_existing);

    const double bitmapMiB = 3.0 * kWidth * kHeight / (1 << 20);
    std::vector<double> ours, decode, theirs, ratios, oursPeak, theirsPeak, theirsCpu;
    long entryBytes = 0;
    const long baseline = Ours(photo, Work::kNothing, nullptr).peakKiB;
    for (int round = 0; round < rounds; ++round) {
        decode.push_back(Ours(photo, Work::kDecode, nullptr).seconds);
        const Run a = Ours(photo, Work::kEntry, &entryBytes);
        ours.push_back(a.seconds);
        oursPeak.push_back((a.peakKiB - baseline) / 1024.0);
        if (haveConvert) {
            const Run b = Convert(convert, photo, jpeg);
            theirs.push_back(b.seconds);
            theirsPeak.push_back(b.peakKiB / 1024.0);
            theirsCpu.push_back(b.cpuSeconds);
            ratios.push_back(a.seconds / b.seconds);
        }
    }

    std::printf(
        "\nPicture to image entry: %d x %d PNG of %.1f MiB, decoded bitmap %.1f MiB (RGB), %d rounds\n",
        kWidth, kHeight, std::filesystem::file_size(photo) / 1048576.0, bitmapMiB, rounds);
    std::printf("  ours     %8.1f ms   peak memory above the process's own %7.1f MiB = %.2f x bitmap  %s\n",
                1e3 * Median(ours), Median(oursPeak), Median(oursPeak) / bitmapMiB,
                Median(oursPeak) / bitmapMiB <= 3.0 ? "ok" : "MISSED (target 3)");
    std::printf("           of it decoding the PNG %.1f ms; a JPEG of %ld bytes (quality 75, 4:2:0)\n",
                1e3 * Median(decode), entryBytes);
    if (!haveConvert) {
        std::printf(
            "  convert  not found at %s: install Debian's imagemagick (scripts/install-deps --bench)\n",
            convert.c_str());
        return 0;
    }
    std::printf("  convert  %8.1f ms   (CPU %.1f ms)   peak memory %7.1f MiB, whole process\n",
                1e3 * Median(theirs), 1e3 * Median(theirsCpu), Median(theirsPeak));
    std::printf("  ours/convert %.2f  %s\n", Median(ratios),
                Median(ratios) <= 0.8 ? "ok" : "MISSED (target 0.8)");
    return 0;
}
