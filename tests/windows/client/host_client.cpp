// A C++ host of the Windows module, built with the headers the type library generates. Prints one
// line per check and DONE at the end; the exit status is the number of failed checks.
//   host_client local DLL_PATH                         the module, its classes, apartments
//   host_client trust URL USER:PASSWORD:CREDIT PEM     a server the system does not trust yet
//   host_client service URL USER:PASSWORD:CREDIT       the service flow against a fresh account
//   host_client pictures URL USER:PASSWORD:CREDIT      an MMS of pictures against a fresh account
//   host_client legacy HOST:PORT USER:PASSWORD:CREDIT  SMS on the legacy protocol, a fresh account
//
// With <initguid.h> ahead of it, the generated header defines the identifiers here, once for the
// program.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <initguid.h>
#include <string>

#include "VexaComponent_h.h"
#include "checks.h"
#include "com_support.h"

namespace {

bool ParseAccount(const std::wstring& text, host::Account& account) {
    const size_t first = text.find(L':'), last = text.rfind(L':');
    if (first == std::wstring::npos || first == last) return false;
    account.user = text.substr(0, first);
    account.password = text.substr(first + 1, last - first - 1);
    account.credit = std::wcstol(text.c_str() + last + 1, nullptr, 10);
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: host_client local DLL_PATH\n"
                 "       host_client trust URL USER:PASSWORD:CREDIT PEM_FILE\n"
                 "       host_client service URL USER:PASSWORD:CREDIT\n"
                 "       host_client pictures URL USER:PASSWORD:CREDIT\n"
                 "       host_client legacy HOST:PORT USER:PASSWORD:CREDIT\n");
    return 100;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    host::Account account;
    const int arguments = mode == L"local" ? 3 : mode == L"trust" ? 5 : 4;
    if (argc != arguments || (argc > 3 && !ParseAccount(argv[3], account))) return Usage();
    {
        const host::Apartment sta(COINIT_APARTMENTTHREADED);
        host::CheckHr("single-threaded apartment", sta.Result(), S_OK);
        if (mode == L"local") {
            host::CheckModuleDirectly(argv[2]);
            host::CheckActivation();
            host::CheckApartments();
            host::CheckErrorInformation();
        } else if (mode == L"trust") {
            host::CheckTrust(argv[2], account, argv[4]);
        } else if (mode == L"service") {
            host::CheckServiceFlow(argv[2], account);
        } else if (mode == L"pictures") {
            host::CheckPictures(argv[2], account);
        } else if (mode == L"legacy") {
            const std::wstring address = argv[2];
            const size_t colon = address.rfind(L':');
            host::CheckLegacyFlow(
                {address.substr(0, colon), std::wcstol(address.c_str() + colon + 1, nullptr, 10)}, account);
        } else {
            return Usage();
        }
    }
    std::printf("DONE\n");
    return host::Failures();
}
