#include <windows.h>

#include "environment_checks_system.h"

#include <algorithm>
#include <iphlpapi.h>
#include <winver.h>

#include "environment/description_parts.h"
#include "platform/c_handle.h"

namespace vexa::checks {

namespace {

using Handle = CHandle<void, CloseHandle>;
using RegistryKey = CHandle<HKEY__, RegCloseKey>;

HKEY Root(Hive hive) { return hive == Hive::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

RegistryKey CreateKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    return RegistryKey(key);
}

std::optional<std::string> ReadString(HKEY key, const std::string& name) {
    std::vector<char> value(4096);
    DWORD size = static_cast<DWORD>(value.size() - 1);
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(value.data());
}

void WriteString(HKEY key, const std::string& name, const std::optional<std::string>& value) {
    if (!value) {
        RegDeleteValueA(key, name.c_str());
        return;
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                   static_cast<DWORD>(value->size() + 1));
}

std::array<uint16_t, 4> VersionParts(DWORD high, DWORD low) {
    return {HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low)};
}

}  // namespace

std::string OwnPath() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string OwnFileName() {
    const std::string path = OwnPath();
    return path.substr(path.find_last_of('\\') + 1);
}

std::string EnvironmentValue(const char* name) {
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::optional<std::string> RunSelf(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return std::nullopt;
    const Handle reader(readEnd);
    Handle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string commandLine = "\"" + OwnPath() + "\" " + arguments;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return std::nullopt;
    }
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);
    writer.reset();  // the child holds the only write end now, so reading stops when it ends

    std::string output;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD status = 1;
    if (!GetExitCodeProcess(process.get(), &status) || status != 0) return std::nullopt;
    return output;
}

std::vector<std::string> AdapterAddresses() {
    ULONG size = 0;
    std::vector<std::string> addresses;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return addresses;
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(list, &size) != NO_ERROR) return addresses;
    for (const IP_ADAPTER_INFO* a = list; a != nullptr; a = a->Next) {
        std::array<uint8_t, 6> address;
        if (a->AddressLength != address.size()) continue;
        std::copy_n(a->Address, address.size(), address.begin());
        addresses.push_back(FormatHardwareAddress(address));
    }
    return addresses;
}

std::u16string SystemMessage(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const CHandle<wchar_t, LocalFree> owned(buffer);
    return length > 0 ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length) : std::u16string();
}

unsigned AnsiCodePage() { return GetACP(); }

std::optional<VersionResource> ReadVersionResource(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    VersionResource resource;
    resource.block.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, resource.block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueA(resource.block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof *fixed) {
        return std::nullopt;
    }
    resource.fileVersion = VersionParts(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    resource.productVersion = VersionParts(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    resource.isDll = fixed->dwFileType == VFT_DLL;
    return resource;
}

std::optional<std::string> VersionString(const VersionResource& resource, const std::string& name) {
    const std::string path = "\\StringFileInfo\\040904B0\\" + name;
    char* value = nullptr;
    UINT length = 0;
    // VerQueryValueA takes a non-const block, though it only reads it.
    if (!VerQueryValueA(const_cast<char*>(resource.block.data()), path.c_str(),
                        reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

ScopedRegistryValue::ScopedRegistryValue(Hive hive, std::string key, std::string name)
    : hive_(hive), key_(std::move(key)), name_(std::move(name)) {
    if (const RegistryKey k = CreateKey(Root(hive_), key_)) saved_ = ReadString(k.get(), name_);
}

ScopedRegistryValue::~ScopedRegistryValue() {
    if (const RegistryKey k = CreateKey(Root(hive_), key_)) WriteString(k.get(), name_, saved_);
}

bool ScopedRegistryValue::Set(const std::optional<std::string>& value) {
    const RegistryKey k = CreateKey(Root(hive_), key_);
    if (!k) return false;
    WriteString(k.get(), name_, value);
    return ReadString(k.get(), name_) == value;
}

bool SetMachineKeyPresent(const std::string& key, bool present) {
    if (present) return CreateKey(HKEY_LOCAL_MACHINE, key) != nullptr;
    const LONG deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

}  // namespace vexa::checks
