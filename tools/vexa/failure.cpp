#include "failure.h"

#include "json.h"
#include "picture_check.h"
#include "terminal_style.h"
#include "vexa/activation.h"

namespace vexa_cli {

namespace {

std::string Where(const FailureContext& c) {
    if (c.legacy) return "the legacy service at " + c.legacy->host + ":" + std::to_string(c.legacy->port);
    return c.endpoint;
}

const char* kAccountHint = "check VEXA_USER and VEXA_PASSWORD (or --user and --password)";

// Why the service could not be reached, from vexa's own look at the endpoint.
void DescribeUnreachable(const FailureContext& c, const Probe& p, Failure& f) {
    const std::string where = Where(c);
    const std::string fix =
        c.legacy ? "check --legacy HOST:PORT (or VEXA_LEGACY)" : "check --endpoint (or VEXA_ENDPOINT)";
    switch (p.reach) {
        case Reach::NoSuchHost:
            f.message = "the host of " + where + " is not known";
            f.hint = fix;
            return;
        case Reach::Refused:
            f.message = "nothing answers at " + where;
            f.hint =
                "is the service running there? For vexa-sandbox, vexa-sandbox --print-env gives its "
                "addresses; " +
                fix;
            return;
        case Reach::TimedOut:
            f.message = where + " did not answer within " + std::to_string(kProbeSeconds) + " seconds";
            f.hint = "check the network, a firewall, or the proxy variables (https_proxy, no_proxy)";
            return;
        case Reach::Untrusted:
            f.message = "the server's certificate at " + where + " is not trusted";
            f.hint = c.cacert.empty() ? "pass --cacert FILE (or VEXA_CACERT) with the certificate to trust; "
                                        "vexa-sandbox writes its own into its data directory"
                                      : "the certificates in " + c.cacert +
                                            " do not vouch for it: pass the "
                                            "server's own with --cacert FILE";
            return;
        case Reach::PlainHttp:
            f.message = where + " speaks plain HTTP, not HTTPS";
            f.hint = "use http:// in --endpoint (or VEXA_ENDPOINT)";
            return;
        case Reach::Tls:
            f.message = where + " speaks HTTPS, not plain HTTP";
            f.hint = "use https:// in --endpoint (or VEXA_ENDPOINT)";
            return;
        case Reach::Answered:
            if (c.legacy) {
                f.message = where + " took the connection, but the exchange failed";
                f.hint = "check that " + c.legacy->host + ":" + std::to_string(c.legacy->port) +
                         " is the legacy service, not another one";
            } else {
                f.message = "the server at " + where + " answered (HTTP " + std::to_string(p.status) +
                            "), but not as the messaging service does";
                f.hint = "check that --endpoint (or VEXA_ENDPOINT) names the messaging service";
            }
            return;
        case Reach::Other:
            break;
    }
    f.message = "could not reach " + where + (p.detail.empty() ? "" : ": " + p.detail);
    f.hint = fix;
}

}  // namespace

std::string ErrorName(HRESULT code) {
    static constexpr struct {
        HRESULT code;
        const char* name;
    } kNames[] = {
        {VEXA_E_NOTCONNECTED, "VEXA_E_NOTCONNECTED"},
        {VEXA_E_SERVERERROR, "VEXA_E_SERVERERROR"},
        {VEXA_E_LOGINFAIL, "VEXA_E_LOGINFAIL"},
        {VEXA_E_TOOBUSY, "VEXA_E_TOOBUSY"},
        {VEXA_E_RECEIVERNOTFOUND, "VEXA_E_RECEIVERNOTFOUND"},
        {VEXA_E_SOCKINITFAIL, "VEXA_E_SOCKINITFAIL"},
        {VEXA_E_NOTLOGINED, "VEXA_E_NOTLOGINED"},
        {VEXA_E_CANNOTASSIGN, "VEXA_E_CANNOTASSIGN"},
        {VEXA_E_LOGLISTNOTFOUND, "VEXA_E_LOGLISTNOTFOUND"},
        {VEXA_E_NEEDFORCALL, "VEXA_E_NEEDFORCALL"},
        {VEXA_E_NOTADDED, "VEXA_E_NOTADDED"},
        {VEXA_E_FILEISTOOLARGE, "VEXA_E_FILEISTOOLARGE"},
        {VEXA_E_DEPRECATED, "VEXA_E_DEPRECATED"},
        {VEXA_E_REGISTRYDAMAGED, "VEXA_E_REGISTRYDAMAGED"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
    };
    for (const auto& entry : kNames)
        if (entry.code == code) return entry.name;
    return {};
}

Failure DescribeComponentFailure(const ComponentError& error, const FailureContext& context,
                                 const std::function<Probe()>& probe) {
    Failure f;
    f.code = error.Code();
    f.name = ErrorName(error.Code());
    f.component = error.what();
    const std::string& call = error.Member();
    const std::string facts = error.detail.empty() ? "" : ": " + error.detail;
    switch (error.Code()) {
        case VEXA_E_LOGINFAIL:
            f.message = "login refused for user " + context.user + " at " + Where(context);
            f.hint = "check VEXA_PASSWORD (or --password) and VEXA_USER (or --user)";
            break;
        case VEXA_E_NOTCONNECTED:
            DescribeUnreachable(context, probe(), f);
            break;
        case VEXA_E_SERVERERROR: {
            // The component reports a failed TLS handshake as a request without a reply.
            if (const Probe p = probe(); p.reach != Reach::Answered) {
                DescribeUnreachable(context, p, f);
                break;
            }
            f.message =
                Where(context) + " failed to handle the request (an error status, or no reply in time)";
            f.hint = call == "Send" || call == "SendSMS"
                         ? "the message may have gone out all the same: check vexa logs before sending again"
                         : "try again later";
            break;
        }
        case VEXA_E_TOOBUSY:
            f.message = Where(context) + " is busy";
            f.hint = "try again in a moment";
            break;
        case VEXA_E_RECEIVERNOTFOUND:
            f.message = "the component found no receiver to send to";
            f.hint = "give each receiver with --to PHONE";
            break;
        case VEXA_E_SOCKINITFAIL:
            f.message = "the component could not start networking in this process";
            break;
        case VEXA_E_NOTLOGINED:
            f.message = "not logged in to " + Where(context);
            f.hint = kAccountHint;
            break;
        case VEXA_E_CANNOTASSIGN:
        case E_INVALIDARG:
            f.message = "the component refused a value given to " + call;
            f.hint = "check the phone numbers, times and texts given";
            break;
        case VEXA_E_LOGLISTNOTFOUND:
            f.message = "there is no log entry to act on";
            f.hint = "name transfers by the month and index that vexa send or vexa logs print";
            break;
        case VEXA_E_NEEDFORCALL:
            f.message = "not enough credit" + facts;
            f.hint =
                "add credit to the account (vexa-sandbox: --account USER:PASSWORD:CREDIT for a new account)";
            break;
        case VEXA_E_NOTADDED:
            f.message = error.file.empty() ? "a picture was not added"
                                           : "the picture '" + error.file +
                                                 "' was not added: " + WhyPictureRefused(error.file);
            f.hint = "send a PNG, JPEG, GIF, BMP, ICO or TIFF file of at most 64 MiB and 100 megapixels";
            break;
        case VEXA_E_FILEISTOOLARGE:
            f.message = "the pictures are too large for an MMS" + facts;
            f.hint = "send fewer or smaller pictures: at most 3,000,000 bytes of JPEG in all";
            break;
        case VEXA_E_DEPRECATED:
            f.message = call + " is retired in this component";
            break;
        case E_OUTOFMEMORY:
            f.message = "the component ran out of memory in " + call;
            break;
        default:
            // Registration and the rare codes: the call and what is known of it.
            f.message = call + ": " + (error.Text().empty() ? "failed" : error.Text());
            break;
    }
    return f;
}

Failure DescribeFailure(const std::exception& error) {
    Failure f;
    f.message = error.what();
    return f;
}

void PrintFailure(const Failure& failure, std::ostream& err, bool styled) {
    err << "vexa: " << Styled(failure.message, Tone::Error, styled) << '\n';
    if (!failure.hint.empty()) err << "  hint: " << failure.hint << '\n';
    if (!failure.component.empty()) err << "  component: " << failure.component << '\n';
}

void WriteJsonFailure(const Failure& failure, std::ostream& out) {
    JsonWriter json(out);
    const auto text = [&](const char* key, const std::string& value) {
        json.Key(key);
        if (value.empty())
            json.Null();
        else
            json.String(value);
    };
    json.BeginObject();
    json.Key("error");
    json.BeginObject();
    text("message", failure.message);
    text("hint", failure.hint);
    text("code", failure.code ? HexCode(*failure.code) : "");
    text("name", failure.name);
    text("component", failure.component);
    json.EndObject();
    json.EndObject();
}

}  // namespace vexa_cli
