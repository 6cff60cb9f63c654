// What one HTTP exchange leaves behind.
#pragma once

#include <cstdint>
#include <string>

namespace vexa {

// A calendar time as the reply's Date header gave it, in local time; all zero when the reply
// carried no usable date.
struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    bool IsZero() const { return year == 0 && month == 0 && day == 0; }
};

struct HttpResponse {
    int error = 0;               // errno of a failed request-body conversion, else 0
    int status = 0;              // the reply's HTTP status; 0 when no reply came
    uint32_t contentLength = 0;  // the reply's Content-Length; 0 when absent
    SystemTime serverDate;       // the reply's Date in local time
    std::string contentType;     // Content-Type as received
    std::string charset;         // its charset parameter as received (case kept), trimmed
    std::string body;            // status 200 only: the body up to its first NUL byte
    std::string method;          // this exchange's request method
    std::string path;            // this exchange's request path
};

}  // namespace vexa
