#include <mutex>

#include "automation/ole_system.h"
#include "automation/text.h"
#include "automation/type_information.h"
#include "platform/module_path.h"
#include "vexa/com_ptr.h"

namespace vexa {

namespace {

// Loaded on first use from the module's own file, kept until the module unloads.
ITypeLib* ModuleTypeLibrary() {
    static ComPtr<ITypeLib> library;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::u16string path = Utf16FromUtf8(ThisModulePath());
        if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out()))) library.Reset();
    });
    return library.Get();
}

}  // namespace

HRESULT TypeInformation(REFIID guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ITypeLib* library = ModuleTypeLibrary();
    if (!library) return DISP_E_BADINDEX;
    return library->GetTypeInfoOfGuid(guid, out);
}

void DropThreadErrorInformation() { SetErrorInfo(0, nullptr); }

}  // namespace vexa
