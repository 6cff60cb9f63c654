// The system's message table, in the user's default language, read in the local code page.
#include <windows.h>

#include "automation/code_page.h"
#include "contract/system_error_text.h"
#include "platform/c_handle.h"

namespace vexa {

std::u16string SystemErrorText(int32_t code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    const CHandle<char, LocalFree> owned(buffer);
    std::u16string text;
    if (length == 0 || !DecodeLocal(std::string_view(buffer, length), text)) return {};
    return text;
}

}  // namespace vexa
