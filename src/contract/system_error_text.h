// The operating system's own message text for a code that is not the component's. The code is an
// HRESULT; the header stays free of the automation types so the Windows side can include the
// system's headers.
#pragma once

#include <cstdint>
#include <string>

namespace vexa {

// The text for code as an HRESULT or a system error code, keeping the line break the system ends
// it with; empty when the system has none.
std::u16string SystemErrorText(int32_t code);

}  // namespace vexa
