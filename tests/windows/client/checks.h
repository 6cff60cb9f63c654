// The groups of checks the client runs, in this order.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// The module loaded as a plain library: its exports and when it may be unloaded. Runs first, while
// nothing else holds an object of the module.
void CheckModuleDirectly(const std::wstring& dllPath);
// ProgIDs, class objects, aggregation and the type information of the two creatable classes.
void CheckActivation();
// A multithreaded apartment calling an object made in this single-threaded one.
void CheckApartments();
// Error information left on the thread by others does not pass for the component's.
void CheckErrorInformation();

struct Account {
    std::wstring user, password;
    long credit = 0;
};
// A server whose certificate the system does not trust yet is refused; IServiceEndpoint takes the
// PEM file of extra trust and refuses a missing one.
void CheckTrust(const std::wstring& url, const Account& account, const std::wstring& pemFile);
// Account status, sending, logs, details, cancelling and deleting against a fresh sandbox account.
void CheckServiceFlow(const std::wstring& url, const Account& account);
// Pictures added from files and a stream, sent in an MMS and fetched back from the service; refused
// pictures.
void CheckPictures(const std::wstring& url, const Account& account);

struct LegacyServer {
    std::wstring host;
    LONG port = 0;
};
// SMS over the legacy protocol: login, sending at once and reserved, logs, details, cancelling and
// deleting against a fresh sandbox account.
void CheckLegacyFlow(const LegacyServer& server, const Account& account);

}  // namespace host
