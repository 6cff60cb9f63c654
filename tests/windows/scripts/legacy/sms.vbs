' The SMS object from VBScript against the legacy listener of a sandbox, late-bound:
'   cscript sms.vbs HOST PORT USER PASSWORD
' One line per check, PASS or FAIL, then DONE; the exit status is the number of failures.
Option Explicit

Const VEXA_E_LOGINFAIL = &H8004A003
Const VEXA_RESERVATION = 0
Const VEXA_DIRECT = 1
Const VEXA_BYALL = 0
Const VEXA_SUCCEEDED = 1
Const VEXA_FAILED = 0

Dim failures : failures = 0

Sub Check(name, ok, detail)
    If ok Then
        WScript.Echo "PASS " & name
    Else
        failures = failures + 1
        WScript.Echo "FAIL " & name & ": " & detail
    End If
End Sub

Sub CheckEqual(name, actual, expected)
    Check name, actual = expected, "got " & actual & ", expected " & expected
End Sub

Dim host : host = WScript.Arguments(0)
Dim port : port = CLng(WScript.Arguments(1))
Dim user : user = WScript.Arguments(2)
Dim password : password = WScript.Arguments(3)

Sub Flow()
    On Error Resume Next
    Dim sms : Set sms = CreateObject("VexaComponent.SMS")
    Dim info
    Set info = sms.Login(host, port, user, password & "-not")
    CheckEqual "Login with a wrong password", Err.Number, VEXA_E_LOGINFAIL
    Err.Clear

    Set info = sms.Login(host, port, user, password)
    CheckEqual "Login", Err.Number, 0
    Err.Clear
    CheckEqual "LoginInfo.UserID", info.UserID, user
    CheckEqual "LoginInfo.Logined", info.Logined, VEXA_SUCCEEDED
    Dim credit : credit = info.FreeCall

    Dim receivers : Set receivers = sms.CreateReceivers()
    receivers.AddDirect "010-1234-5678", "Hello from VBScript over the legacy protocol", VEXA_DIRECT, Now
    receivers.AddDirect "010-8765-4321", "Hello from VBScript over the legacy protocol", VEXA_DIRECT, Now
    Dim results : Set results = sms.SendSMS("02-000-0000", receivers)
    CheckEqual "SendSMS results", results.Count, 2
    Dim sent : Set sent = results.Item(0)
    CheckEqual "SendSMS Result", sent.Result, VEXA_SUCCEEDED
    CheckEqual "FreeCall after the send", info.FreeCall, credit - 2

    Dim later : Set later = sms.CreateReceiverDirect("010-2222-3333", "Tomorrow", VEXA_RESERVATION, Now + 1)
    Dim reserved : Set reserved = sms.SendSMSOne("02-000-0000", later)
    CheckEqual "SendSMSOne Result", reserved.Result, VEXA_SUCCEEDED

    Dim year : year = CLng(Left(sent.Date, 4))
    Dim month : month = CLng(Mid(sent.Date, 5))
    Dim logs : Set logs = sms.RequestLog(year, month, VEXA_BYALL)
    CheckEqual "RequestLog Count", logs.Count, 2
    Dim log, listed : listed = 0
    For Each log In logs
        listed = listed + 1
    Next
    CheckEqual "RequestLog enumerated", listed, 2

    Dim details : Set details = sms.RequestLogDetail(year, month, sent.Index)
    CheckEqual "RequestLogDetail Count", details.Count, 2
    CheckEqual "RequestLogDetail Message", details.Item(0).Message, "Hello from VBScript over the legacy protocol"

    CheckEqual "CancelReservation Result", sms.CancelReservation(year, month, reserved.Index).Result, VEXA_SUCCEEDED
    CheckEqual "CancelReservation again", sms.CancelReservation(year, month, reserved.Index).Result, VEXA_FAILED
    CheckEqual "DeleteLog Result", sms.DeleteLog(year, month, sent.Index).Result, VEXA_SUCCEEDED
    CheckEqual "RequestLog Count after the delete", sms.RequestLog(year, month, VEXA_BYALL).Count, 1

    If Err.Number <> 0 Then
        Check "the legacy flow ran to its end", False, "error " & Err.Number & " (" & Hex(Err.Number) & ") " & Err.Description
        Err.Clear
    End If
End Sub

Flow
WScript.Echo "DONE"
WScript.Quit failures
