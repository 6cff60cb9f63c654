// The machine, user and host program as Windows names them.
#include <windows.h>

#include <algorithm>
#include <array>
#include <nb30.h>
#include <string>

#include "environment/client_description.h"
#include "environment/description_parts.h"

namespace vexa {

namespace {

constexpr DWORD kNameCapacity = 1024;
// The executable path is read into a zeroed buffer of 2048 with room for the terminator.
constexpr DWORD kModulePathLimit = 2047;
// The adapter-status answer: the adapter's header, then its name table.
constexpr WORD kAdapterStatusCapacity = 600;

}  // namespace

std::string DescribeAdapterAddress() {
    // A reset first, so that LANA 0 answers; its own outcome does not matter.
    NCB reset{};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = 0;
    Netbios(&reset);

    std::array<UCHAR, kAdapterStatusCapacity> answer{};
    NCB status{};
    status.ncb_command = NCBASTAT;
    status.ncb_lana_num = 0;
    std::fill(std::begin(status.ncb_callname), std::end(status.ncb_callname), ' ');
    status.ncb_callname[0] = '*';
    status.ncb_buffer = answer.data();
    status.ncb_length = kAdapterStatusCapacity;
    if (Netbios(&status) != NRC_GOODRET) return {};
    std::array<uint8_t, 6> address;
    std::copy_n(answer.begin(), address.size(), address.begin());
    return FormatHardwareAddress(address);
}

std::string DescribeComputer() {
    char name[kNameCapacity] = {};
    DWORD size = kNameCapacity;
    return GetComputerNameA(name, &size) ? std::string(name) : std::string();
}

std::string DescribeUser() {
    char name[kNameCapacity] = {};
    DWORD size = kNameCapacity;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

std::string DescribeHostModule() {
    char path[kModulePathLimit + 1] = {};
    if (GetModuleFileNameA(nullptr, path, kModulePathLimit) == 0) return {};
    return std::string(FileNamePart(path));
}

}  // namespace vexa
