' Lists this month's transfers of the account, then the receivers of the latest one.
'   cscript //nologo month_log.vbs USER PASSWORD
Option Explicit

Const VEXA_BYALL = 0
Const VEXA_MESSAGE_TYPE_ALL = 0
Const VEXA_DIRECT = 1

Dim args : Set args = WScript.Arguments
If args.Count <> 2 Then
    WScript.Echo "usage: cscript //nologo month_log.vbs USER PASSWORD"
    WScript.Quit 2
End If

Dim message : Set message = CreateObject("VexaComponent.Message")
message.SetAccountInfo args(0), args(1)

Function KindName(kind)
    Dim names : names = Array("?", "SMS", "LMS", "MMS")
    KindName = names(kind)
End Function

' A time as year-month-day hours:minutes, whatever the locale's date format.
Function Stamp(d)
    Stamp = Year(d) & "-" & Right("0" & Month(d), 2) & "-" & Right("0" & Day(d), 2) & " " & _
        Right("0" & Hour(d), 2) & ":" & Right("0" & Minute(d), 2)
End Function

Function StateName(status, result)
    Dim states : states = Array("requested", "waiting", "received")
    Dim results : results = Array("failed", "delivered", "no such number")
    StateName = states(status) & ", " & results(result)
End Function

On Error Resume Next
Dim logs : Set logs = message.RequestLog(Year(Now), Month(Now), VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL)
If Err.Number <> 0 Then
    WScript.Echo "log failed: 0x" & Hex(Err.Number) & " " & message.GetErrorMessage(Err.Number)
    WScript.Quit 1
End If
On Error GoTo 0

WScript.Echo logs.Count & " transfers this month"
Dim entry, latest, mode
For Each entry In logs
    mode = "at once"
    If entry.SendMode <> VEXA_DIRECT Then mode = "reserved for " & Stamp(entry.SendTime)
    WScript.Echo "  " & entry.Index & "  " & KindName(entry.Type) & "  " & entry.CountTotal & " receivers, " & _
        entry.CountSucceed & " delivered, " & entry.CountFailure & " failed, " & mode & ": " & entry.Message
    Set latest = entry
Next
If IsEmpty(latest) Then WScript.Quit 0

Dim details : Set details = message.RequestLogDetailByList(latest)
WScript.Echo "transfer " & latest.Index & ", from " & details.ReturnPhone & ":"
Dim detail
For Each detail In details
    WScript.Echo "  " & detail.ReceiverPhone & "  " & StateName(detail.Status, detail.Result)
Next
