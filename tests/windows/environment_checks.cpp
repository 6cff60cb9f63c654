// The client description and the error texts on Windows, run under Wine: each text against what the
// system itself reports, through other calls than the component's. One line per check, a final
// sentinel line, and the exit status is the number of failures.
//   vexa_environment_checks.exe Z:/path/to/VexaComponent32.dll
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "contract/error_texts.h"
#include "environment/client_description.h"
#include "environment_checks_system.h"

namespace {

using namespace vexa::checks;

constexpr const char* kDescribeOs = "--describe-os";

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The lines of a program's output, without the carriage returns its text-mode output adds.
std::vector<std::string> Lines(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : output) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// ---- Operating system

// What the child prints: the description, then the composition of the record it was given.
int DescribeOsForParent() {
    std::printf("%s\n%s\n", vexa::DescribeOperatingSystem().c_str(),
                vexa::ComposeOsDescription(vexa::HostOsVersionRecord(), vexa::HostOsRegistryFacts()).c_str());
    return 0;
}

void OperatingSystem() {
    const std::string description = vexa::DescribeOperatingSystem();
    Check(!description.empty() && description == vexa::ComposeOsDescription(vexa::HostOsVersionRecord(),
                                                                            vexa::HostOsRegistryFacts()),
          "os: the description composes the record the system reports: " + Quoted(description));

    // The version Wine reports to one program, set per program name (honoured by both loaders).
    const struct {
        const char* wineVersion;
        const char* description;
    } cases[] = {
        {"winxp", "Microsoft Windows XP Professional Service Pack 3 (Build 2600)"},
        {"win2k", "Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)"},
        {"win2003", "Microsoft Windows Server 2003 family Standard Edition Service Pack 2 (Build 3790)"},
        {"nt40", "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)"},
        // Wine 8 reports 6.1 with the server product type for an explicit win7.
        {"win7", "Server Service Pack 1 (Build 7601)"},
        // Without a compatibility manifest a program is told 6.2.9200, as on Windows itself.
        {"win10", "Professional  (Build 9200)"},
    };
    const std::string appDefaults = "Software\\Wine\\AppDefaults\\" + OwnFileName();
    for (const auto& c : cases) {
        ScopedRegistryValue version(Hive::kCurrentUser, appDefaults, "Version");
        const bool set = version.Set(c.wineVersion);
        const std::vector<std::string> lines = Lines(RunSelf(kDescribeOs).value_or(""));
        const bool ok = set && lines.size() == 2 && lines[0] == c.description && lines[1] == c.description;
        Check(ok, std::string("os: Wine as ") + c.wineVersion + " is " + Quoted(c.description) +
                      (ok || lines.empty() ? "" : ", not " + Quoted(lines[0])));
    }
}

// The plain record's edition and the NT 4.0 hot fix, as the registry gives them.
void RegistryFacts() {
    const std::string productOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    const std::string hotfix = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
    vexa::OsVersionRecord nt4;
    nt4.extended = false;
    nt4.major = 4;
    nt4.minor = 0;
    nt4.build = 1381;
    nt4.platformId = 2;
    nt4.servicePack = "Service Pack 6";

    const struct {
        const char* name;
        std::optional<std::string> productType;  // written; nullopt: no value
        bool readable;                           // the facts hold it
        bool hotfixed;
        const char* description;
    } cases[] = {
        {"server, hot-fixed", "LanmanNT", true, true,
         "Microsoft Windows NT Server 4.0 Service Pack 6a (Build 1381)"},
        {"workstation", "WinNT", true, false,
         "Microsoft Windows NT Workstation 4.0 Service Pack 6 (Build 1381)"},
        {"advanced server", "SERVERNT", true, false,
         "Microsoft Windows NT Advanced Server 4.0 Service Pack 6 (Build 1381)"},
        {"unknown type", "Other", true, true, "Microsoft Windows NT 4.0 Service Pack 6a (Build 1381)"},
        {"255 characters fit", std::string(255, 'x'), true, false,
         "Microsoft Windows NT 4.0 Service Pack 6 (Build 1381)"},
        {"256 characters and the terminator do not", std::string(256, 'x'), false, false, ""},
        {"no value", std::nullopt, false, true, ""},
    };
    ScopedRegistryValue productType(Hive::kLocalMachine, productOptions, "ProductType");
    for (const auto& c : cases) {
        const bool set = productType.Set(c.productType) && SetMachineKeyPresent(hotfix, c.hotfixed);
        const vexa::OsRegistryFacts facts = vexa::HostOsRegistryFacts();
        const bool factsRight = facts.hotfixQ246009 == c.hotfixed &&
                                facts.productType == (c.readable ? c.productType : std::nullopt);
        const std::string description = vexa::ComposeOsDescription(nt4, facts);
        Check(set && factsRight && description == c.description,
              std::string("os registry: ") + c.name + ": " + Quoted(description));
    }
    SetMachineKeyPresent(hotfix, false);
}

// ---- Machine

void Machine() {
    // Wine's NetBIOS runs over the IP adapters: LANA 0 answers with one of them when there is any,
    // and without adapters the query fails and the text is empty.
    const std::string adapter = vexa::DescribeAdapterAddress();
    const std::vector<std::string> adapters = AdapterAddresses();
    std::string listed;
    for (const std::string& a : adapters) listed += " " + a;
    Check(adapters.empty() ? adapter.empty()
                           : std::find(adapters.begin(), adapters.end(), adapter) != adapters.end(),
          "machine: the NetBIOS adapter address " + Quoted(adapter) + " is one of the adapters' (" + listed +
              " )");

    const struct {
        const char* what;
        std::string actual, expected;
    } names[] = {
        {"computer name is %COMPUTERNAME%", vexa::DescribeComputer(), EnvironmentValue("COMPUTERNAME")},
        {"user name is %USERNAME%", vexa::DescribeUser(), EnvironmentValue("USERNAME")},
        {"host module is this program's file name", vexa::DescribeHostModule(),
         "vexa_environment_checks.exe"},
    };
    for (const auto& n : names) {
        Check(!n.expected.empty() && n.actual == n.expected,
              std::string("machine: ") + n.what + ": " + Quoted(n.actual) + " against " + Quoted(n.expected));
    }
}

// ---- The module's version resource

void ModuleVersion(const std::string& modulePath) {
    const std::optional<VersionResource> resource = ReadVersionResource(modulePath);
    Check(resource.has_value(), "version: the module has a version resource: " + modulePath);
    if (!resource) return;
    const std::array<uint16_t, 4> numbers = {4, 2, 1, 0};
    Check(resource->fileVersion == numbers && resource->productVersion == numbers && resource->isDll,
          "version: the file and the product are 4.2.1.0");

    const struct {
        const char* name;
        std::string expected;
    } strings[] = {
        {"FileVersion", "4.2.1.0"},
        {"ProductVersion", "4.2.1.0"},
        {"ProductName", vexa::kComponentName},
        {"FileDescription", vexa::kComponentName},
        {"OriginalFilename", "VexaComponent32.dll"},
    };
    for (const auto& s : strings) {
        const std::string text = VersionString(*resource, s.name).value_or("(none)");
        Check(text == s.expected, std::string("version: ") + s.name + " is " + Quoted(text));
    }
}

// ---- Error texts

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c == u'\r')
            out += "\\r";
        else if (c == u'\n')
            out += "\\n";
        else
            out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

void ErrorTexts() {
    enum class Expect {
        kOwn,          // the component's text
        kSystem,       // the system's text, which it has, with its closing line break
        kSystemIfAny,  // the system's text or none, as the system has it (Wine's table lacks some)
        kNone,         // no text at all
    };
    const struct {
        uint32_t code;
        Expect expect;
        std::u16string_view ownText;
    } cases[] = {
        {0x8004A001, Expect::kOwn, u"서버에 접속할 수 없습니다."},
        {0x8004A007, Expect::kOwn, u"로그인하지 않았습니다."},
        {0x8004A00D, Expect::kOwn, u"더 이상 지원되지 않는 메서드 또는 속성입니다."},
        {0x80004005, Expect::kSystem, {}},       // E_FAIL
        {0x80070005, Expect::kSystem, {}},       // access denied, as an HRESULT
        {0x00000005, Expect::kSystem, {}},       // and as the system error code
        {0x80070057, Expect::kSystem, {}},       // invalid parameter
        {0x80004002, Expect::kSystemIfAny, {}},  // E_NOINTERFACE
        {0x8004A000, Expect::kNone, {}},         // just outside the component's range
        {0x8004A00E, Expect::kNone, {}},
        {0xDEADBEEF, Expect::kNone, {}},
    };
    for (const auto& c : cases) {
        const std::u16string text = vexa::ErrorText(static_cast<HRESULT>(c.code));
        bool ok = false;
        switch (c.expect) {
            case Expect::kOwn:
                ok = text == c.ownText;
                break;
            case Expect::kSystem:
                ok = text == SystemMessage(c.code) && text.size() > 2 && text.ends_with(u"\r\n");
                break;
            case Expect::kSystemIfAny:
                ok = text == SystemMessage(c.code);
                break;
            case Expect::kNone:
                ok = text.empty();
                break;
        }
        char code[16];
        std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(c.code));
        Check(ok, std::string("error text: ") + code + " is " + Quoted(Narrow(text)));
    }
    // A Korean system's texts are Korean, in its code page 949: they must arrive as Hangul.
    if (AnsiCodePage() == 949) {
        const std::u16string text = vexa::ErrorText(E_FAIL);
        Check(std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; }),
              "error text: the Korean system's text arrives in Hangul");
    }
    std::printf("NOTE code page %u\n", AnsiCodePage());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == kDescribeOs) return DescribeOsForParent();
    if (argc != 2) {
        std::printf("usage: vexa_environment_checks MODULE.dll\n");
        return 1;
    }
    OperatingSystem();
    RegistryFacts();
    Machine();
    ModuleVersion(argv[1]);
    ErrorTexts();
    std::printf("DONE %d failed\n", failures);
    return failures;
}
