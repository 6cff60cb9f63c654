// The registered module from JScript, late-bound as a script host calls it. One line per check,
// PASS or FAIL, then DONE; the exit status is the number of failures. Wine's script host ends a
// script silently (exit 0) on an uncaught error, so each group runs inside try/catch and an error
// that escapes it is reported as a failure of that group. The host reads scripts as ANSI: Korean
// text is written with \u escapes.

// HRESULTs as the signed 32-bit numbers a VT_I4 parameter takes: the bare literal is a positive
// double out of that range, "| 0" makes it signed.
var VEXA_E_NOTCONNECTED = 0x8004A001 | 0;
var VEXA_E_NOTLOGINED = 0x8004A007 | 0;
var VEXA_E_DEPRECATED = 0x8004A00D | 0;
var E_INVALIDARG = 0x80070057 | 0;
var VEXA_DIRECT = 1;

var failures = 0;

function show(value) {
    if (typeof value !== "string") return String(value);
    return '"' + value.replace(/[^\x20-\x7e]/g, function (c) {
        return "\\u" + ("000" + c.charCodeAt(0).toString(16).toUpperCase()).slice(-4);
    }) + '"';
}

function check(name, ok, detail) {
    if (ok) {
        WScript.Echo("PASS " + name);
    } else {
        failures++;
        WScript.Echo("FAIL " + name + ": " + detail);
    }
}

function checkEqual(name, actual, expected) {
    check(name, actual === expected, "got " + show(actual) + ", expected " + show(expected));
}

function group(name, body) {
    try {
        body();
    } catch (e) {
        check(name + " ran to its end", false, "error " + e.number + " " + e.description);
    }
}

// The error number a call throws, 0 for none.
function errorOf(call) {
    try {
        call();
        return 0;
    } catch (e) {
        return e.number;
    }
}

var progIds = ["VexaComponent.Message.1", "VexaComponent.Message", "VexaComponent.SMS.1", "VexaComponent.SMS"];

group("classes", function () {
    for (var i = 0; i < progIds.length; i++) {
        var obj = null;
        var created = errorOf(function () { obj = new ActiveXObject(progIds[i]); });
        checkEqual("new ActiveXObject(\"" + progIds[i] + "\")", created, 0);
        if (obj === null) continue;
        checkEqual(progIds[i] + " VersionMajor", obj.VersionMajor, 4);
        checkEqual(progIds[i] + " VersionMinor", obj.VersionMinor, 2);
    }
});

var message = null, sms = null;
errorOf(function () {
    message = new ActiveXObject("VexaComponent.Message");
    sms = new ActiveXObject("VexaComponent.SMS");
});
if (message === null || sms === null) {
    WScript.Echo("DONE");
    WScript.Quit(failures);
}

group("error texts", function () {
    var cases = [
        [VEXA_E_NOTCONNECTED, "\uC11C\uBC84\uC5D0 \uC811\uC18D\uD560 \uC218 \uC5C6\uC2B5\uB2C8\uB2E4."],
        [VEXA_E_NOTLOGINED, "\uB85C\uADF8\uC778\uD558\uC9C0 \uC54A\uC558\uC2B5\uB2C8\uB2E4."],
        [VEXA_E_DEPRECATED, "\uB354 \uC774\uC0C1 \uC9C0\uC6D0\uB418\uC9C0 \uC54A\uB294 " +
                            "\uBA54\uC11C\uB4DC \uB610\uB294 \uC18D\uC131\uC785\uB2C8\uB2E4."],
        [0x8004A000 | 0, ""],  // just outside the component's codes: the system has no text
        [0x8004A00E | 0, ""]
    ];
    for (var i = 0; i < cases.length; i++) {
        var code = (cases[i][0] >>> 0).toString(16).toUpperCase();
        checkEqual("Message.GetErrorMessage(0x" + code + ")", message.GetErrorMessage(cases[i][0]), cases[i][1]);
        checkEqual("SMS.GetErrorMessage(0x" + code + ")", sms.GetErrorMessage(cases[i][0]), cases[i][1]);
    }
});

var hello = "\uC548\uB155\uD558\uC138\uC694";

group("Korean text", function () {
    var receiver = message.CreateReceiverDirect("010-1", hello, VEXA_DIRECT, 0);
    checkEqual("Korean text read back", receiver.Message, hello);
});

group("Enumerator", function () {
    var receivers = message.CreateReceivers();
    receivers.AddDirect("010-1", hello, VEXA_DIRECT, 0);
    receivers.AddDirect("010-2", hello, VEXA_DIRECT, 0);
    var phones = [];
    for (var e = new Enumerator(receivers); !e.atEnd(); e.moveNext()) phones.push(e.item().Phone);
    checkEqual("Enumerator over Receivers", phones.join(","), "010-1,010-2");
});

group("dates", function () {
    // A script sets an automation date as its number: days since 1899-12-30, the time of day as
    // the fraction (a Date object arrives as an object, not a date). Read back, it converts to a
    // Date. 2024-03-05 14:07:09:
    var at = 45356 + (14 * 3600 + 7 * 60 + 9) / 86400;
    var receiver = message.CreateReceiver();
    receiver.SendTime = at;
    var back = receiver.SendTime;
    checkEqual("SendTime read back", new Date(back).getTime(), new Date(2024, 2, 5, 14, 7, 9).getTime());
});

group("errors", function () {
    var cases = [
        ["LoginInfo before any login", function () { return message.LoginInfo; }, VEXA_E_NOTLOGINED],
        ["ServiceCode put", function () { message.ServiceCode = "code"; }, VEXA_E_DEPRECATED],
        ["ArrayBase = 2", function () { message.ArrayBase = 2; }, E_INVALIDARG],
        ["Item past the end", function () { return message.CreateReceivers().Item(0); }, E_INVALIDARG]
    ];
    for (var i = 0; i < cases.length; i++)
        checkEqual("e.number of " + cases[i][0], errorOf(cases[i][1]), cases[i][2]);
});

WScript.Echo("DONE");
WScript.Quit(failures);
