#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {
namespace {

constexpr uint8_t kWorkstation = 1;
constexpr uint8_t kDomainController = 2;
constexpr uint8_t kServer = 3;

OsVersionRecord Nt(uint32_t major, uint32_t minor, uint32_t build, std::string servicePack,
                   uint8_t productType, uint16_t suiteMask = 0) {
    OsVersionRecord r;
    r.platformId = 2;
    r.major = major;
    r.minor = minor;
    r.build = build;
    r.servicePack = std::move(servicePack);
    r.productType = productType;
    r.suiteMask = suiteMask;
    return r;
}

OsVersionRecord Plain(uint32_t major, uint32_t minor, uint32_t build, std::string servicePack) {
    // The extended fields hold values a plain record must not be read for.
    OsVersionRecord r = Nt(major, minor, build, std::move(servicePack), kServer, 0x0080);
    r.extended = false;
    return r;
}

OsVersionRecord Win9x(uint32_t major, uint32_t minor, std::string servicePack) {
    OsVersionRecord r;
    r.platformId = 1;
    r.major = major;
    r.minor = minor;
    r.build = 1111;
    r.servicePack = std::move(servicePack);
    return r;
}

OsVersionRecord Platform(uint32_t platformId) {
    OsVersionRecord r = Nt(5, 1, 2600, "Service Pack 3", kWorkstation);
    r.platformId = platformId;
    return r;
}

OsRegistryFacts Registry(std::optional<std::string> productType, bool hotfix = false) {
    return OsRegistryFacts{std::move(productType), hotfix};
}

TEST(OsDescriptionTest, ComposesKnownWindowsVersions) {
    struct Case {
        const char* name;
        OsVersionRecord record;
        OsRegistryFacts registry;
        std::string expected;
    };
    const OsRegistryFacts none;
    const OsRegistryFacts hotfix = Registry(std::nullopt, true);
    const Case cases[] = {
        // Workstations.
        {"xp professional", Nt(5, 1, 2600, "Service Pack 3", kWorkstation), none,
         "Microsoft Windows XP Professional Service Pack 3 (Build 2600)"},
        {"xp home", Nt(5, 1, 2600, "Service Pack 2", kWorkstation, 0x0200), none,
         "Microsoft Windows XP Home Edition Service Pack 2 (Build 2600)"},
        {"2000 professional", Nt(5, 0, 2195, "Service Pack 4", kWorkstation), none,
         "Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)"},
        {"6.1 has no product name", Nt(6, 1, 7601, "Service Pack 1", kWorkstation), none,
         "Professional Service Pack 1 (Build 7601)"},
        {"empty service pack keeps its blank", Nt(6, 2, 9200, "", kWorkstation), none,
         "Professional  (Build 9200)"},
        {"10.0 home", Nt(10, 0, 19045, "", kWorkstation, 0x0200), none, "Home Edition  (Build 19045)"},
        {"build keeps its low 16 bits", Nt(5, 1, 0x10A28, "Service Pack 3", kWorkstation), none,
         "Microsoft Windows XP Professional Service Pack 3 (Build 2600)"},
        {"build 0xFFFFFFFF", Nt(6, 1, 0xFFFFFFFF, "", kWorkstation), none, "Professional  (Build 65535)"},

        // NT 4.0 and its hot-fixed service pack 6.
        {"nt4 sp6 hotfix", Nt(4, 0, 1381, "Service Pack 6", kWorkstation), hotfix,
         "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)"},
        {"nt4 sp6 no hotfix", Nt(4, 0, 1381, "Service Pack 6", kWorkstation), none,
         "Microsoft Windows NT Workstation 4.0 Service Pack 6 (Build 1381)"},
        {"nt4 sp6 any case", Nt(4, 0, 1381, "SERVICE PACK 6", kWorkstation), hotfix,
         "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)"},
        {"nt4 sp5 ignores the hotfix", Nt(4, 0, 1381, "Service Pack 5", kWorkstation), hotfix,
         "Microsoft Windows NT Workstation 4.0 Service Pack 5 (Build 1381)"},
        {"hotfix only on nt4", Nt(5, 0, 2195, "Service Pack 6", kWorkstation), hotfix,
         "Microsoft Windows 2000 Professional Service Pack 6 (Build 2195)"},
        {"nt4 sp6 followed by more", Nt(4, 0, 1381, "Service Pack 6 x", kWorkstation), hotfix,
         "Microsoft Windows NT Workstation 4.0 Service Pack 6 x (Build 1381)"},
        {"nt4 server", Nt(4, 0, 1381, "Service Pack 6", kServer), none,
         "Microsoft Windows NT Server 4.0 Service Pack 6 (Build 1381)"},
        {"nt4 enterprise server", Nt(4, 0, 1381, "Service Pack 6", kServer, 0x0002), none,
         "Microsoft Windows NT Server 4.0, Enterprise Edition Service Pack 6 (Build 1381)"},

        // Domain controllers and unknown product types get no edition.
        {"2003 domain controller", Nt(5, 2, 3790, "Service Pack 2", kDomainController, 0x0002), none,
         "Microsoft Windows Server 2003 family Service Pack 2 (Build 3790)"},
        {"2000 domain controller", Nt(5, 0, 2195, "Service Pack 4", kDomainController), none,
         "Microsoft Windows 2000 Service Pack 4 (Build 2195)"},
        {"unknown product type", Nt(5, 1, 2600, "Service Pack 3", 7), none,
         "Microsoft Windows XP Service Pack 3 (Build 2600)"},
        {"product type 0", Nt(5, 1, 2600, "Service Pack 3", 0, 0x0200), none,
         "Microsoft Windows XP Service Pack 3 (Build 2600)"},

        // Server 2003 editions by suite mask.
        {"2003 datacenter", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0080), none,
         "Microsoft Windows Server 2003 family Datacenter Edition Service Pack 1 (Build 3790)"},
        {"2003 datacenter before enterprise", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0082), none,
         "Microsoft Windows Server 2003 family Datacenter Edition Service Pack 1 (Build 3790)"},
        {"2003 enterprise", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0002), none,
         "Microsoft Windows Server 2003 family Enterprise Edition Service Pack 1 (Build 3790)"},
        {"2003 enterprise with blade", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0402), none,
         "Microsoft Windows Server 2003 family Enterprise Edition Service Pack 1 (Build 3790)"},
        {"2003 web is exactly the blade bit", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0400), none,
         "Microsoft Windows Server 2003 family Web Edition Service Pack 1 (Build 3790)"},
        {"2003 blade with another bit", Nt(5, 2, 3790, "Service Pack 1", kServer, 0x0410), none,
         "Microsoft Windows Server 2003 family Standard Edition Service Pack 1 (Build 3790)"},
        {"2003 standard", Nt(5, 2, 3790, "Service Pack 1", kServer), none,
         "Microsoft Windows Server 2003 family Standard Edition Service Pack 1 (Build 3790)"},

        // 2000 servers.
        {"2000 datacenter", Nt(5, 0, 2195, "Service Pack 4", kServer, 0x0082), none,
         "Microsoft Windows 2000 Datacenter Server Service Pack 4 (Build 2195)"},
        {"2000 advanced", Nt(5, 0, 2195, "Service Pack 4", kServer, 0x0002), none,
         "Microsoft Windows 2000 Advanced Server Service Pack 4 (Build 2195)"},
        {"2000 server", Nt(5, 0, 2195, "Service Pack 4", kServer, 0x0400), none,
         "Microsoft Windows 2000 Server Service Pack 4 (Build 2195)"},

        // A later server is not called 4.0.
        {"6.1 server", Nt(6, 1, 7601, "Service Pack 1", kServer, 0x0002), none,
         "Server Service Pack 1 (Build 7601)"},

        // The 95/98/Me family: no build, and the sub-release from the service pack's second character.
        {"95", Win9x(4, 0, ""), none, "Microsoft Windows 95"},
        {"95 osr2 C", Win9x(4, 0, " C"), none, "Microsoft Windows 95 OSR2"},
        {"95 osr2 B", Win9x(4, 0, " B "), none, "Microsoft Windows 95 OSR2"},
        {"95 lower-case c", Win9x(4, 0, " c"), none, "Microsoft Windows 95"},
        {"95 mark in first place", Win9x(4, 0, "C"), none, "Microsoft Windows 95"},
        {"98", Win9x(4, 10, ""), none, "Microsoft Windows 98"},
        {"98 se", Win9x(4, 10, " A "), none, "Microsoft Windows 98 SE"},
        {"98 with a 95 mark", Win9x(4, 10, " C"), none, "Microsoft Windows 98"},
        {"me", Win9x(4, 90, " "), none, "Microsoft Windows Millennium Edition"},
        {"9x unknown minor", Win9x(4, 3, " C"), none, ""},
        {"9x family with major 5", Win9x(5, 0, ""), none, ""},

        {"win32s", Platform(0), none, "Microsoft Win32s"},
        {"unknown platform", Platform(3), none, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeOsDescription(c.record, c.registry), c.expected) << c.name;
    }
}

TEST(OsDescriptionTest, PlainRecordTakesTheEditionFromTheRegistry) {
    struct Case {
        OsVersionRecord record;
        OsRegistryFacts registry;
        std::string expected;
    };
    const Case cases[] = {
        {Plain(4, 0, 1381, "Service Pack 6"), Registry("WINNT"),
         "Microsoft Windows NT Workstation 4.0 Service Pack 6 (Build 1381)"},
        {Plain(4, 0, 1381, "Service Pack 6"), Registry("winnt", true),
         "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)"},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry("LanmanNT"),
         "Microsoft Windows NT Server 4.0 Service Pack 3 (Build 1381)"},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry("SERVERNT"),
         "Microsoft Windows NT Advanced Server 4.0 Service Pack 3 (Build 1381)"},
        // An unknown type still gets the version.
        {Plain(4, 0, 1381, "Service Pack 3"), Registry("Other"),
         "Microsoft Windows NT 4.0 Service Pack 3 (Build 1381)"},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry("WINNT "),
         "Microsoft Windows NT 4.0 Service Pack 3 (Build 1381)"},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry(""),
         "Microsoft Windows NT 4.0 Service Pack 3 (Build 1381)"},
        {Plain(5, 1, 2600, "Service Pack 3"), Registry("WinNT"),
         "Microsoft Windows XP Workstation 5.1 Service Pack 3 (Build 2600)"},
        {Plain(6, 1, 7601, ""), Registry("ServerNT"), "Advanced Server 6.1  (Build 7601)"},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry(std::string(256, 'x')),
         "Microsoft Windows NT 4.0 Service Pack 3 (Build 1381)"},
        // An unreadable value empties the whole text, product name included.
        {Plain(4, 0, 1381, "Service Pack 3"), Registry(std::nullopt, true), ""},
        {Plain(4, 0, 1381, "Service Pack 3"), Registry(std::string(257, 'x')), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeOsDescription(c.record, c.registry), c.expected)
            << c.registry.productType.value_or("(unreadable)");
    }
}

TEST(OsDescriptionTest, NoRecordAtAll) {
    OsVersionRecord r = Nt(5, 1, 2600, "Service Pack 3", kWorkstation);
    r.available = false;
    EXPECT_EQ(ComposeOsDescription(r, OsRegistryFacts{}), "OS,");
    EXPECT_EQ(ComposeOsDescription(r, Registry(std::nullopt)), "OS,");
}

TEST(OsDescriptionTest, TrailingWhiteSpaceOfTheServicePackTextIsTrimmedOnlyAtTheEnd) {
    EXPECT_EQ(ComposeOsDescription(Nt(5, 1, 2600, "Service Pack 3\t ", kWorkstation), OsRegistryFacts{}),
              "Microsoft Windows XP Professional Service Pack 3\t  (Build 2600)");
    EXPECT_EQ(ComposeOsDescription(Win9x(4, 0, " C\t\r\n"), OsRegistryFacts{}), "Microsoft Windows 95 OSR2");
}

const char kDebian[] =
    "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
    "NAME=\"Debian GNU/Linux\"\n"
    "VERSION_ID=\"12\"\n"
    "VERSION=\"12 (bookworm)\"\n"
    "VERSION_CODENAME=bookworm\n"
    "ID=debian\n"
    "HOME_URL=\"https://www.debian.org/\"\n";

TEST(OsDescriptionTest, LinuxHostIsDescribedFromTheKernelAndOsRelease) {
    struct Case {
        const char* kernel;
        std::string osRelease;
        std::string expected;
        uint32_t major, minor, build;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", kDebian, "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 (Build 0)", 6, 1,
         0},
        // An older kernel must not bring in the NT 4.0 or 2000/XP names.
        {"4.19.0-25-amd64", kDebian, "Debian GNU/Linux 12 (bookworm), Linux 4.19.0-25-amd64 (Build 0)", 6, 19,
         0},
        {"5.15.167.4-microsoft-standard-WSL2", "NAME=\"Ubuntu\"\nPRETTY_NAME=\"Ubuntu 22.04.4 LTS\"\n",
         "Ubuntu 22.04.4 LTS, Linux 5.15.167.4-microsoft-standard-WSL2 (Build 167)", 6, 15, 167},
        {"6.8.0", "NAME=\"Fedora Linux\"\nID=fedora\n", "Fedora Linux, Linux 6.8.0 (Build 0)", 6, 8, 0},
        {"6.8.0", "PRETTY_NAME=\"\"\nNAME=Arch\n", "Arch, Linux 6.8.0 (Build 0)", 6, 8, 0},
        {"6.8.0", "", "Linux, Linux 6.8.0 (Build 0)", 6, 8, 0},
        {"6.8.0", "ID=x\n", "Linux, Linux 6.8.0 (Build 0)", 6, 8, 0},
        {"6.10-rc2", kDebian, "Debian GNU/Linux 12 (bookworm), Linux 6.10-rc2 (Build 0)", 6, 10, 0},
        {"7.2.70000", "NAME=X", "X, Linux 7.2.70000 (Build 4464)", 7, 2, 70000},
        {"99999999999.1.2", "NAME=X", "X, Linux 99999999999.1.2 (Build 2)", 6, 1, 2},
        {"", kDebian, "Debian GNU/Linux 12 (bookworm) (Build 0)", 6, 0, 0},
        // Shell-style quoting and the file's other syntax.
        {"6.1", "PRETTY_NAME='Alpine Linux v3.19'\n", "Alpine Linux v3.19, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/ \\$HOME \\n\"\n",
         "Say \"hi\" \\o/ $HOME \\n, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "PRETTY_NAME=My\\ OS\n", "My OS, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "#PRETTY_NAME=\"Commented\"\nPRETTY_NAME_X=\"Other key\"\nNAME=Real\n",
         "Real, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "PRETTY_NAME=\"First\"\nPRETTY_NAME=\"Second\"\n", "Second, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "PRETTY_NAME=\"CRLF ends\"\r\nNAME=x\r\n", "CRLF ends, Linux 6.1 (Build 0)", 6, 1, 0},
        {"6.1", "  PRETTY_NAME=\"Indented\"", "Indented, Linux 6.1 (Build 0)", 6, 1, 0},
        // Nothing that could break a header line gets through.
        {"6.1", "PRETTY_NAME=\"Tab\there\x7F\r\"\n", "Tab here, Linux 6.1 (Build 0)", 6, 1, 0},
        // The record holds local text.
        {"6.1", "PRETTY_NAME=\"안녕 OS\"\n", "\xBE\xC8\xB3\xE7 OS, Linux 6.1 (Build 0)", 6, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kernel << " / " << c.osRelease);
        const OsVersionRecord r = LinuxOsVersionRecord(c.kernel, c.osRelease);
        EXPECT_EQ(ComposeOsDescription(r, OsRegistryFacts{}), c.expected);
        EXPECT_EQ(r.major, c.major);
        EXPECT_EQ(r.minor, c.minor);
        EXPECT_EQ(r.build, c.build);
        EXPECT_TRUE(r.available);
        EXPECT_TRUE(r.extended);
        EXPECT_EQ(r.platformId, 2u);
        EXPECT_EQ(r.productType, 0);
    }
}

TEST(OsDescriptionTest, ThisHostIsDescribedAsLinux) {
    const std::string description = DescribeOperatingSystem();
    EXPECT_EQ(description.find("Windows"), std::string::npos) << description;
    EXPECT_EQ(description.find("Microsoft"), std::string::npos) << description;
    EXPECT_NE(description.find(", Linux "), std::string::npos) << description;
    EXPECT_TRUE(description.ends_with(")")) << description;
    EXPECT_EQ(description, ComposeOsDescription(HostOsVersionRecord(), OsRegistryFacts{}));
}

}  // namespace
}  // namespace vexa
