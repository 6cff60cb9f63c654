// The SMS object from JScript against the legacy listener of a sandbox, late-bound:
//   cscript sms.js HOST PORT USER PASSWORD
// One line per check, PASS or FAIL, then DONE; the exit status is the number of failures. Korean
// text is written with \u escapes (the host reads scripts as ANSI).
var VEXA_E_LOGINFAIL = 0x8004A003 | 0;
var VEXA_DIRECT = 1;
var VEXA_BYALL = 0;
var VEXA_SUCCEEDED = 1;

var failures = 0;

function check(name, ok, detail) {
    if (ok) {
        WScript.Echo("PASS " + name);
    } else {
        failures++;
        WScript.Echo("FAIL " + name + ": " + detail);
    }
}

function checkEqual(name, actual, expected) {
    check(name, actual === expected, "got " + actual + ", expected " + expected);
}

var args = WScript.Arguments;
var host = args(0), port = parseInt(args(1), 10), user = args(2), password = args(3);
try {
    var sms = new ActiveXObject("VexaComponent.SMS");
    var refused = 0;
    try {
        sms.Login(host, port, user, password + "-not");
    } catch (e) {
        refused = e.number;
    }
    checkEqual("Login with a wrong password", refused, VEXA_E_LOGINFAIL);

    var info = sms.Login(host, port, user, password);
    checkEqual("LoginInfo.Logined", info.Logined, VEXA_SUCCEEDED);
    var text = "\uC548\uB155\uD558\uC138\uC694 from JScript";
    var result = sms.SendSMSOne("02-000-0000", sms.CreateReceiverDirect("010-1234-5678", text, VEXA_DIRECT, 0));
    checkEqual("SendSMSOne Result", result.Result, VEXA_SUCCEEDED);
    var year = parseInt(result.Date.substr(0, 4), 10), month = parseInt(result.Date.substr(4), 10);
    var logs = sms.RequestLog(year, month, VEXA_BYALL);
    checkEqual("RequestLog Count", logs.Count, 1);
    checkEqual("the log's text", logs.Item(0).Message, text);
    checkEqual("the detail's text", sms.RequestLogDetail(year, month, result.Index).Item(0).Message, text);
} catch (e) {
    check("the legacy flow ran to its end", false, "error " + e.number + " " + e.description);
}
WScript.Echo("DONE");
WScript.Quit(failures);
