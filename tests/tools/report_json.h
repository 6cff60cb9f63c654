// A report as vexa --json prints it, for the tests of the commands and of their reports.
#pragma once

#include <sstream>
#include <string>

#include "report.h"

namespace vexa_cli {

inline std::string Json(const Report& report) {
    std::ostringstream out;
    WriteJson(report, out);
    return out.str();
}

}  // namespace vexa_cli
