// The process's peak working set, kept apart from the bench's main file: <windows.h> and the
// module's automation types do not meet in one file.
#include <windows.h>

#include <psapi.h>

double PeakWorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}
