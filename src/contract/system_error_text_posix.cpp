// Where there is no system message table, the system's English texts for the codes a host meets.
#include <iterator>

#include "contract/system_error_text.h"
#include "vexa/automation.h"

namespace vexa {

namespace {

struct CodeText {
    HRESULT code;
    std::u16string_view text;
};

// The system's message texts for the standard HRESULTs.
constexpr CodeText kSystemHresultTexts[] = {
    {E_NOTIMPL, u"Not implemented\r\n"},
    {E_NOINTERFACE, u"No such interface supported\r\n"},
    {E_POINTER, u"Invalid pointer\r\n"},
    {E_ABORT, u"Operation aborted\r\n"},
    {E_FAIL, u"Unspecified error\r\n"},
    {E_UNEXPECTED, u"Catastrophic failure\r\n"},
    {CLASS_E_NOAGGREGATION, u"Class does not support aggregation (or class object is remote)\r\n"},
    {CLASS_E_CLASSNOTAVAILABLE, u"ClassFactory cannot supply requested class\r\n"},
    {REGDB_E_CLASSNOTREG, u"Class not registered\r\n"},
    {CO_E_CLASSSTRING, u"Invalid class string\r\n"},
    {DISP_E_UNKNOWNINTERFACE, u"Unknown interface.\r\n"},
    {DISP_E_MEMBERNOTFOUND, u"Member not found.\r\n"},
    {DISP_E_PARAMNOTFOUND, u"Parameter not found.\r\n"},
    {DISP_E_TYPEMISMATCH, u"Type mismatch.\r\n"},
    {DISP_E_UNKNOWNNAME, u"Unknown name.\r\n"},
    {DISP_E_NONAMEDARGS, u"No named arguments.\r\n"},
    {DISP_E_BADVARTYPE, u"Bad variable type.\r\n"},
    {DISP_E_EXCEPTION, u"Exception occurred.\r\n"},
    {DISP_E_OVERFLOW, u"Out of present range.\r\n"},
    {DISP_E_BADINDEX, u"Invalid index.\r\n"},
    {DISP_E_UNKNOWNLCID, u"Unknown language.\r\n"},
    {DISP_E_ARRAYISLOCKED, u"Memory is locked.\r\n"},
    {DISP_E_BADPARAMCOUNT, u"Invalid number of parameters.\r\n"},
    {DISP_E_PARAMNOTOPTIONAL, u"Parameter not optional.\r\n"},
    {STG_E_INVALIDFUNCTION, u"Unable to perform requested operation.\r\n"},
    {STG_E_INVALIDPOINTER, u"Invalid pointer error.\r\n"},
    {STG_E_MEDIUMFULL, u"There is insufficient disk space to complete operation.\r\n"},
};

// System error codes; an HRESULT of the Win32 facility (0x8007xxxx) reads the same text.
constexpr CodeText kSystemErrorTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {4, u"The system cannot open the file.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {13, u"The data is invalid.\r\n"},
    {14, u"Not enough memory resources are available to complete this operation.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {1460, u"This operation returned because the timeout period expired.\r\n"},
    {10054, u"An existing connection was forcibly closed by the remote host.\r\n"},
    {10060,
     u"A connection attempt failed because the connected party did not properly respond after a period of "
     u"time, or established connection failed because connected host has failed to respond.\r\n"},
    {10061, u"No connection could be made because the target machine actively refused it.\r\n"},
    {11001, u"No such host is known.\r\n"},
};

std::u16string_view Lookup(const CodeText* begin, const CodeText* end, HRESULT code) {
    for (const CodeText* e = begin; e != end; ++e)
        if (e->code == code) return e->text;
    return {};
}

}  // namespace

std::u16string SystemErrorText(int32_t code) {
    std::u16string_view text = Lookup(std::begin(kSystemHresultTexts), std::end(kSystemHresultTexts), code);
    if (!text.empty()) return std::u16string(text);
    const auto bits = static_cast<uint32_t>(code);
    if ((bits & 0xFFFF0000u) == 0x80070000u || bits <= 0xFFFFu)
        text = Lookup(std::begin(kSystemErrorTexts), std::end(kSystemErrorTexts),
                      static_cast<HRESULT>(bits & 0xFFFFu));
    return std::u16string(text);
}

}  // namespace vexa
