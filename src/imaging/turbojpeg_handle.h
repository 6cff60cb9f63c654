// An owned TurboJPEG instance.
#pragma once

#include <turbojpeg.h>
#include <type_traits>

#include "platform/c_handle.h"

namespace vexa {

using TurboJpegHandle = CHandle<std::remove_pointer_t<tjhandle>, tjDestroy>;

}  // namespace vexa
