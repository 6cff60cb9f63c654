// What the Windows module will stand on, built with the mingw-w64 toolchain: the C++20 threads of
// the posix model and the static libxml2 of scripts/build-mingw-libxml2.
#include <libxml/parser.h>
#include <mutex>
#include <thread>

int main() {
    std::mutex mutex;
    int parsed = 0;
    std::thread worker([&] {
        const std::lock_guard lock(mutex);
        xmlDocPtr doc = xmlReadMemory("<transfers/>", 12, nullptr, nullptr, XML_PARSE_NONET);
        parsed = doc != nullptr;
        xmlFreeDoc(doc);
    });
    worker.join();
    return parsed ? 0 : 1;
}
