#include <cerrno>
#include <sys/random.h>

#include "platform/system_random.h"

namespace vexa {

bool SystemRandom(void* out, size_t size) {
    auto* bytes = static_cast<char*>(out);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::getrandom(bytes + got, size - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace vexa
