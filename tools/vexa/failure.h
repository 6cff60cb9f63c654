// A failed command as vexa tells it: what went wrong in English, with what it knows (the
// endpoint, the user, the file), a hint of what to do, and the component's own text and code for
// reference. The component's texts are its contract and stay as they are.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "arguments.h"
#include "connection_probe.h"
#include "session.h"

namespace vexa_cli {

struct Failure {
    std::string message;
    std::string hint;             // empty when there is nothing better to do than read the message
    std::optional<HRESULT> code;  // none: vexa's own failure, not the component's
    std::string name;             // "VEXA_E_LOGINFAIL", "E_INVALIDARG", ...; empty when unnamed
    std::string component;        // "<call>: <the component's text> (<code>)"
};

// What vexa knew when a call failed.
struct FailureContext {
    std::string endpoint;  // the URL the calls went to (the built-in one when none was given)
    std::string cacert;
    std::string user;
    std::optional<LegacyServer> legacy;
};

// The symbolic name of a code the component or the automation runtime answers; empty if unknown.
std::string ErrorName(HRESULT code);

// `probe` is asked only when the component could not reach the service, to tell why.
Failure DescribeComponentFailure(const ComponentError& error, const FailureContext& context,
                                 const std::function<Probe()>& probe);
// A failure that is vexa's own (the service knows no such transfer, a module that will not load).
Failure DescribeFailure(const std::exception& error);

// "vexa: <message>" and, on lines of their own, the hint and the component's words.
// With `styled` (a terminal), the message stands out in bold red.
void PrintFailure(const Failure& failure, std::ostream& err, bool styled = false);
// {"error": {"message", "hint", "code", "name", "component"}}: absent parts are null.
void WriteJsonFailure(const Failure& failure, std::ostream& out);

}  // namespace vexa_cli
