#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "automation/text.h"
#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {

namespace {

constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;
constexpr uint32_t kPlatformNt = 2;

constexpr uint8_t kWorkstation = 1;
constexpr uint8_t kServer = 3;

constexpr uint16_t kSuiteEnterprise = 0x0002;
constexpr uint16_t kSuiteDatacenter = 0x0080;
constexpr uint16_t kSuitePersonal = 0x0200;
constexpr uint16_t kSuiteBlade = 0x0400;

// The registry's ProductType is read into a buffer of this size; a longer value is unreadable.
constexpr size_t kProductTypeCapacity = 256;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The service-pack text's second character marks the 9x sub-releases.
char SubReleaseMark(const OsVersionRecord& r) { return r.servicePack.size() > 1 ? r.servicePack[1] : '\0'; }

void AppendWindowsName(const OsVersionRecord& r, std::string& text) {
    if (r.major != 4) return;
    const char mark = SubReleaseMark(r);
    switch (r.minor) {
        case 0:
            text += "Microsoft Windows 95";
            if (mark == 'C' || mark == 'B') text += " OSR2 ";
            break;
        case 10:
            text += "Microsoft Windows 98";
            if (mark == 'A') text += " SE ";
            break;
        case 90:
            text += "Microsoft Windows Millennium Edition ";
            break;
    }
}

void AppendNtName(const OsVersionRecord& r, std::string& text) {
    if (r.major == 5 && r.minor == 2)
        text += "Microsoft Windows Server 2003 family ";
    else if (r.major == 5 && r.minor == 1)
        text += "Microsoft Windows XP ";
    else if (r.major == 5 && r.minor == 0)
        text += "Microsoft Windows 2000 ";
    else if (r.major < 5)
        text += "Microsoft Windows NT ";
}

void AppendServerEdition(const OsVersionRecord& r, std::string& text) {
    const auto has = [&](uint16_t bit) { return (r.suiteMask & bit) != 0; };
    if (r.major == 5 && r.minor == 2) {
        if (has(kSuiteDatacenter))
            text += "Datacenter Edition ";
        else if (has(kSuiteEnterprise))
            text += "Enterprise Edition ";
        else if (r.suiteMask == kSuiteBlade)
            text += "Web Edition ";
        else
            text += "Standard Edition ";
    } else if (r.major == 5 && r.minor == 0) {
        if (has(kSuiteDatacenter))
            text += "Datacenter Server ";
        else if (has(kSuiteEnterprise))
            text += "Advanced Server ";
        else
            text += "Server ";
    } else if (r.major >= 6) {
        // Later servers' editions cannot be told from this record, and "4.0" would be false.
        text += "Server ";
    } else {
        text += has(kSuiteEnterprise) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
    }
}

void AppendExtendedEdition(const OsVersionRecord& r, std::string& text) {
    if (r.productType == kWorkstation) {
        if (r.major == 4)
            text += "Workstation 4.0 ";
        else
            text += (r.suiteMask & kSuitePersonal) ? "Home Edition " : "Professional ";
    } else if (r.productType == kServer) {
        AppendServerEdition(r, text);
    }
    // Domain controllers, and any other product type, get no edition.
}

// Without the extended record the edition comes from the registry; false when it cannot.
bool AppendPlainEdition(const OsVersionRecord& r, const OsRegistryFacts& registry, std::string& text) {
    if (!registry.productType || registry.productType->size() > kProductTypeCapacity) return false;
    const std::string& type = *registry.productType;
    if (EqualsIgnoringCase(type, "WINNT"))
        text += "Workstation ";
    else if (EqualsIgnoringCase(type, "LANMANNT"))
        text += "Server ";
    else if (EqualsIgnoringCase(type, "SERVERNT"))
        text += "Advanced Server ";
    text += std::to_string(r.major) + "." + std::to_string(r.minor) + " ";
    return true;
}

void AppendServicePackAndBuild(const OsVersionRecord& r, const OsRegistryFacts& registry, std::string& text) {
    const bool hotfixed =
        r.major == 4 && EqualsIgnoringCase(r.servicePack, "Service Pack 6") && registry.hotfixQ246009;
    text += hotfixed ? std::string("Service Pack 6a") : r.servicePack;
    text += " (Build " + std::to_string(r.build & 0xFFFF) + ") ";
}

// An os-release value with its shell-style quoting undone. Control characters become blanks,
// since the text ends up in a header line.
std::string Unquote(std::string_view text) {
    std::string value;
    char quote = '\0';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hasNext = i + 1 < text.size();
        if (quote == '\'') {
            if (c == '\'')
                quote = '\0';
            else
                value += c;
        } else if (quote == '"') {
            // Inside double quotes a backslash escapes only these, as in a shell.
            if (c == '"')
                quote = '\0';
            else if (c == '\\' && hasNext &&
                     std::string_view("$`\"\\").find(text[i + 1]) != std::string_view::npos)
                value += text[++i];
            else
                value += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '\\' && hasNext) {
            value += text[++i];
        } else {
            value += c;
        }
    }
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') c = ' ';
    }
    while (!value.empty() && IsSpace(value.back())) value.pop_back();
    return value;
}

// The value assigned to key in an os-release text; empty when it is not assigned. As in a
// shell, a later assignment replaces an earlier one.
std::string OsReleaseValue(std::string_view text, std::string_view key) {
    std::string_view assigned;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.starts_with(key) && line.size() > key.size() && line[key.size()] == '=')
            assigned = line.substr(key.size() + 1);
    }
    return Unquote(assigned);
}

// The leading decimal number of text, consumed with one '.' after it; 0 when there is none or
// it does not fit.
uint32_t TakeVersionNumber(std::string_view& text) {
    uint32_t value = 0;
    const auto [next, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) value = 0;
    text.remove_prefix(static_cast<size_t>(next - text.data()));
    if (text.starts_with('.'))
        text.remove_prefix(1);
    else
        text = {};  // the numbers end here: "6.1-rc2" has no patch number
    return value;
}

}  // namespace

std::string ComposeOsDescription(const OsVersionRecord& record, const OsRegistryFacts& registry) {
    if (!record.available) return "OS,";
    std::string text;
    switch (record.platformId) {
        case kPlatformWin32s:
            text += "Microsoft Win32s ";
            break;
        case kPlatformWindows:
            AppendWindowsName(record, text);
            break;
        case kPlatformNt:
            AppendNtName(record, text);
            if (record.extended)
                AppendExtendedEdition(record, text);
            else if (!AppendPlainEdition(record, registry, text))
                return {};
            AppendServicePackAndBuild(record, registry, text);
            break;
    }
    while (!text.empty() && IsSpace(text.back())) text.pop_back();
    return text;
}

OsVersionRecord LinuxOsVersionRecord(std::string_view kernelRelease, std::string_view osRelease) {
    std::string_view numbers = kernelRelease;
    const uint32_t kernelMajor = TakeVersionNumber(numbers);
    const uint32_t kernelMinor = TakeVersionNumber(numbers);
    const uint32_t kernelPatch = TakeVersionNumber(numbers);

    std::string name = OsReleaseValue(osRelease, "PRETTY_NAME");
    if (name.empty()) name = OsReleaseValue(osRelease, "NAME");
    if (name.empty()) name = "Linux";
    if (!kernelRelease.empty()) name += ", Linux " + std::string(kernelRelease);

    OsVersionRecord record;
    record.platformId = kPlatformNt;
    // The major version only picks Windows product names, which must not apply here; 6 and
    // above has none.
    record.major = std::max<uint32_t>(kernelMajor, 6);
    record.minor = kernelMinor;
    record.build = kernelPatch;
    record.servicePack = Utf8ToLocal(name);
    record.suiteMask = 0;
    record.productType = 0;  // neither workstation nor server: no Windows edition
    return record;
}

std::string DescribeOperatingSystem() {
    return ComposeOsDescription(HostOsVersionRecord(), HostOsRegistryFacts());
}

}  // namespace vexa
