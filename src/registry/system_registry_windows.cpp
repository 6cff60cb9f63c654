#include <windows.h>

#include <cwchar>
#include <oleauto.h>

#include "platform/windows_text.h"
#include "registry/system_registry.h"

namespace vexa {

namespace {

constexpr std::string_view kClassesRootName = "HKEY_CLASSES_ROOT";
constexpr const wchar_t* kClassesKey = L"Software\\Classes";

int32_t FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

class Key {
public:
    Key() = default;
    explicit Key(HKEY key) : key_(key) {}
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The machine's classes when this process may write them (an administrator, as regsvr32 runs
// for a machine-wide installation), else the user's own.
HKEY ClassesRootInForce() {
    Key probe;
    const LONG opened =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesKey, 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE, probe.Out());
    return opened == ERROR_SUCCESS ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool PerUser() { return ClassesRootInForce() == HKEY_CURRENT_USER; }

// "HKEY_CLASSES_ROOT\A\B" as "Software\Classes\A\B"; empty for a path outside that root.
std::wstring SubkeyOf(std::string_view path) {
    if (path.size() <= kClassesRootName.size() || !path.starts_with(kClassesRootName) ||
        path[kClassesRootName.size()] != '\\') {
        return {};
    }
    return std::wstring(kClassesKey) + WideFromUtf8(path.substr(kClassesRootName.size()));
}

int32_t SetString(HKEY key, const wchar_t* name, const std::string& value) {
    const std::wstring wide = WideFromUtf8(value);
    const auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return FromWin32(
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()), bytes));
}

using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The per-user variants exist only on later systems: looked up when needed.
template <class F>
F OleAutomationFunction(const char* name) {
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    return oleaut ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(oleaut, name))) : nullptr;
}

}  // namespace

int32_t WriteClassesKeys(const RegistryFile& keys) {
    const HKEY root = ClassesRootInForce();
    for (const RegistryKey& entry : keys.Keys()) {
        const std::wstring subkey = SubkeyOf(entry.path);
        if (subkey.empty()) return E_INVALIDARG;
        Key key;
        const LONG created = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_SET_VALUE, nullptr, key.Out(), nullptr);
        if (created != ERROR_SUCCESS) return FromWin32(created);
        if (entry.defaultValue) {
            if (const int32_t hr = SetString(key.Get(), nullptr, *entry.defaultValue); FAILED(hr)) return hr;
        }
        for (const auto& [name, value] : entry.values) {
            if (const int32_t hr = SetString(key.Get(), WideFromUtf8(name).c_str(), value); FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

int32_t RemoveClassesTrees(const std::vector<std::string>& trees) {
    const HKEY root = ClassesRootInForce();
    bool removed = false;
    for (const std::string& tree : trees) {
        const std::wstring subkey = SubkeyOf(tree);
        if (subkey.empty()) return E_INVALIDARG;
        const LONG result = RegDeleteTreeW(root, subkey.c_str());
        if (result == ERROR_FILE_NOT_FOUND) continue;
        if (result != ERROR_SUCCESS) return FromWin32(result);
        removed = true;
    }
    return removed ? S_OK : S_FALSE;
}

int32_t RecordTypeLibrary(const std::string& modulePath) {
    std::wstring path = WideFromUtf8(modulePath);
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    const size_t slash = path.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (PerUser()) {
        const auto forUser = OleAutomationFunction<RegisterForUser>("RegisterTypeLibForUser");
        hr = forUser ? forUser(library, path.data(), folder.data()) : E_NOTIMPL;
    } else {
        hr = RegisterTypeLib(library, path.data(), folder.data());
    }
    library->Release();
    return hr;
}

int32_t ForgetTypeLibrary(std::string_view libid, uint16_t major, uint16_t minor, uint32_t lcid) {
    GUID guid{};
    std::wstring text = WideFromUtf8(libid);
    if (FAILED(CLSIDFromString(text.data(), &guid))) return E_INVALIDARG;
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    // Nothing recorded for this version and pointer size: nothing to remove. (Asked first, since
    // what the system answers for a missing record differs between its versions.)
    wchar_t record[128];
    swprintf(record, sizeof record / sizeof *record, L"TypeLib\\%ls\\%x.%x\\%x\\%ls", text.c_str(), major,
             minor, lcid, kind == SYS_WIN64 ? L"win64" : L"win32");
    Key probe;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, record, 0, KEY_READ, probe.Out()) != ERROR_SUCCESS) return S_FALSE;
    HRESULT hr;
    if (PerUser()) {
        const auto forUser = OleAutomationFunction<UnregisterForUser>("UnRegisterTypeLibForUser");
        hr = forUser ? forUser(guid, major, minor, lcid, kind) : E_NOTIMPL;
    } else {
        hr = UnRegisterTypeLib(guid, major, minor, lcid, kind);
    }
    return hr;
}

}  // namespace vexa
