#include <algorithm>
#include <cstring>
#include <deque>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {
namespace {

TEST(MachineDescriptionTest, ComponentVersion) { EXPECT_EQ(ComponentVersionText(), "4.2.1.0"); }

TEST(MachineDescriptionTest, HardwareAddressIsLowerCaseHexJoinedByDashes) {
    EXPECT_EQ(FormatHardwareAddress({0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}), "02-fc-00-00-00-01");
    EXPECT_EQ(FormatHardwareAddress({0xAB, 0xCD, 0xEF, 0x10, 0x9A, 0xFF}), "ab-cd-ef-10-9a-ff");
}

// An interface list as getifaddrs gives it, built from fixed entries.
class InterfaceList {
public:
    InterfaceList& Link(const char* name, std::vector<uint8_t> address, unsigned flags = IFF_UP) {
        sockaddr_ll& link = links_.emplace_back();
        link.sll_family = AF_PACKET;
        link.sll_halen = static_cast<unsigned char>(address.size());
        std::memcpy(link.sll_addr, address.data(), std::min(address.size(), sizeof link.sll_addr));
        return Add(name, reinterpret_cast<sockaddr*>(&link), flags);
    }
    InterfaceList& Inet(const char* name) {
        sockaddr_in& inet = inets_.emplace_back();
        inet.sin_family = AF_INET;
        return Add(name, reinterpret_cast<sockaddr*>(&inet), IFF_UP);
    }
    InterfaceList& NoAddress(const char* name) { return Add(name, nullptr, IFF_UP); }

    const ifaddrs* Head() {
        for (size_t i = 0; i < entries_.size(); ++i)
            entries_[i].ifa_next = i + 1 < entries_.size() ? &entries_[i + 1] : nullptr;
        return entries_.empty() ? nullptr : &entries_.front();
    }

private:
    InterfaceList& Add(const char* name, sockaddr* address, unsigned flags) {
        ifaddrs& entry = entries_.emplace_back();
        entry.ifa_name = const_cast<char*>(name);
        entry.ifa_flags = flags;
        entry.ifa_addr = address;
        return *this;
    }

    // Deques: entries point into each other and must not move.
    std::deque<sockaddr_ll> links_;
    std::deque<sockaddr_in> inets_;
    std::deque<ifaddrs> entries_;
};

TEST(MachineDescriptionTest, AdapterAddressComesFromTheFirstNonLoopbackInterface) {
    InterfaceList empty;
    EXPECT_EQ(FirstAdapterAddress(empty.Head()), "");

    InterfaceList list;
    list.Link("lo", {0, 0, 0, 0, 0, 0}, IFF_UP | IFF_LOOPBACK)
        .Link("lo2", {1, 2, 3, 4, 5, 6}, IFF_UP | IFF_LOOPBACK)  // loopback even with an address
        .NoAddress("tun0")
        .Inet("eth9")
        .Link("ib0", std::vector<uint8_t>(8, 0x11))  // not a six-byte address
        .Link("short", {7, 7, 7, 7})
        .Link("dummy", {0, 0, 0, 0, 0, 0})
        .Link("eth0", {0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}, 0)  // down still counts
        .Link("eth1", {0xee, 0x73, 0x09, 0x1d, 0x0d, 0x33});
    EXPECT_EQ(FirstAdapterAddress(list.Head()), "02-fc-00-00-00-01");

    InterfaceList onlyLoopback;
    onlyLoopback.Link("lo", {0, 0, 0, 0, 0, 0}, IFF_UP | IFF_LOOPBACK).Inet("lo");
    EXPECT_EQ(FirstAdapterAddress(onlyLoopback.Head()), "");
}

TEST(MachineDescriptionTest, ModuleNameIsWhatFollowsTheLastSeparator) {
    const struct {
        std::string_view path;
        char separator;
        std::string_view name;
    } cases[] = {
        {"/usr/local/bin/host-program", '/', "host-program"},
        {"/host", '/', "host"},
        {"host", '/', "host"},
        {"dir\\host.exe", '/', "dir\\host.exe"},  // a backslash is part of a Linux file name
        {"/opt/my app/bin/x", '/', "x"},
        {"/opt/bin/", '/', ""},
        {"", '/', ""},
        // Windows paths: only the backslash separates.
        {"C:\\Program Files\\Host\\host.exe", '\\', "host.exe"},
        {"\\\\server\\share\\host.exe", '\\', "host.exe"},
        {"host.exe", '\\', "host.exe"},
        {"C:/tools/host.exe", '\\', "C:/tools/host.exe"},
        {"C:\\tools/sub\\host.exe", '\\', "host.exe"},
        {"C:\\tools\\", '\\', ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileNamePart(c.path, c.separator), c.name) << c.path;
    EXPECT_EQ(FileNamePart("/usr/bin/host"), "host");  // this platform's separator by default
}

TEST(MachineDescriptionTest, ThisMachineIsDescribed) {
    EXPECT_NE(DescribeComputer(), "");
    EXPECT_NE(DescribeUser(), "");
    EXPECT_EQ(DescribeHostModule(), "vexa_environment_tests");
    const std::string adapter = DescribeAdapterAddress();
    if (!adapter.empty()) {
        EXPECT_THAT(adapter, testing::MatchesRegex("[0-9a-f]{2}(-[0-9a-f]{2}){5}"));
        EXPECT_NE(adapter, "00-00-00-00-00-00");
    }
}

}  // namespace
}  // namespace vexa
