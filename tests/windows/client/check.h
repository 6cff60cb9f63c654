// One line per check, "PASS name" or "FAIL name: detail", as the scripts print them; the driver
// fails on any FAIL line and on a missing final DONE line.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace host {

int Failures();
void Check(std::string_view name, bool ok, std::string_view detail = {});

std::string Hex(HRESULT hr);
std::string Utf8(std::wstring_view text);
inline std::string Show(long value) { return std::to_string(value); }
inline std::string Show(int value) { return std::to_string(value); }
inline std::string Show(const std::wstring& text) { return '"' + Utf8(text) + '"'; }

template <class T>
void CheckEqual(std::string_view name, const T& actual, const T& expected) {
    Check(name, actual == expected, "got " + Show(actual) + ", expected " + Show(expected));
}

// HRESULTs are LONGs: a check of their own shows them in hex.
inline void CheckHr(std::string_view name, HRESULT actual, HRESULT expected) {
    Check(name, actual == expected, "got " + Hex(actual) + ", expected " + Hex(expected));
}

}  // namespace host
