// An owned TurboJPEG instance.
#pragma once

#include <memory>
#include <turbojpeg.h>
#include <type_traits>

namespace vexa {

struct TurboJpegDestroy {
    void operator()(void* handle) const noexcept { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<std::remove_pointer_t<tjhandle>, TurboJpegDestroy>;

}  // namespace vexa
