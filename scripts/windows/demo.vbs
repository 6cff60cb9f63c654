' The parts of the Windows demo that the samples do not show, one step per run:
'   cscript //nologo demo.vbs status USER PASSWORD
'   cscript //nologo demo.vbs lms USER PASSWORD
'   cscript //nologo demo.vbs reserve-and-cancel USER PASSWORD
'   cscript //nologo demo.vbs legacy USER PASSWORD HOST PORT
' Message reaches the service whose address the DLL was built with; SMS logs in at HOST:PORT.
Option Explicit

Const VEXA_RESERVATION = 0
Const VEXA_DIRECT = 1
Const VEXA_MESSAGE_TYPE_SMS = 1
Const VEXA_MESSAGE_TYPE_LMS = 2
Const VEXA_BYALL = 0
Const VEXA_SUCCEEDED = 1

Dim args : Set args = WScript.Arguments
Dim backend

Sub Fail(what)
    WScript.Echo what & " failed: 0x" & Hex(Err.Number) & " " & backend.GetErrorMessage(Err.Number)
    WScript.Quit 1
End Sub

Sub ShowResult(result)
    If result.Result = VEXA_SUCCEEDED Then
        WScript.Echo result.Phone & ": accepted as transfer " & result.Date & "/" & result.Index
    Else
        WScript.Echo result.Phone & ": refused"
    End If
End Sub

On Error Resume Next
Select Case args(0)
Case "status"
    Set backend = CreateObject("VexaComponent.Message")
    backend.SetAccountInfo args(1), args(2)
    backend.UpdateLoginInfo
    If Err.Number <> 0 Then Fail "login"
    Dim info : Set info = backend.LoginInfo
    WScript.Echo "user " & info.UserID & " (" & info.UserName & "), phone " & info.UserPhoneNumber & _
        ", credit " & info.FreeCall & ", server " & info.ServerIP & ":" & info.ServerPort

Case "lms"
    Set backend = CreateObject("VexaComponent.Message")
    backend.SetAccountInfo args(1), args(2)
    Dim contents : Set contents = backend.CreateContents()
    contents.Type = VEXA_MESSAGE_TYPE_LMS
    contents.Subject = "Weekly meeting"
    contents.Message = "The weekly meeting is tomorrow at 10:00 in room 3. Please read the papers before."
    Dim receiver : Set receiver = backend.CreateReceiverDirect("010-2222-3333", contents.Message, VEXA_DIRECT, Now)
    Dim sent : Set sent = backend.SendOne("02-000-0000", receiver, contents)
    If Err.Number <> 0 Then Fail "LMS"
    ShowResult sent

Case "reserve-and-cancel"
    Set backend = CreateObject("VexaComponent.Message")
    backend.SetAccountInfo args(1), args(2)
    Dim later : Set later = backend.CreateReceiverDirect("010-7777-8888", "Arrives in an hour", _
        VEXA_RESERVATION, Now + 1 / 24)
    Dim reserved : Set reserved = backend.SendOne("02-000-0000", later, Nothing)
    If Err.Number <> 0 Then Fail "reservation"
    WScript.Echo "reserved one hour ahead:"
    ShowResult reserved
    Dim monthKey : monthKey = reserved.Date
    Dim cancelled : Set cancelled = backend.CancelReservation(CLng(Left(monthKey, 4)), CLng(Mid(monthKey, 5)), _
        reserved.Index, VEXA_MESSAGE_TYPE_SMS)
    If Err.Number <> 0 Then Fail "cancel"
    WScript.Echo "cancelled " & cancelled.CountSucceed & " of " & cancelled.CountTotal & " (transfer " & _
        cancelled.Index & ")"

Case "legacy"
    Set backend = CreateObject("VexaComponent.SMS")
    Dim account : Set account = backend.Login(args(3), CLng(args(4)), args(1), args(2))
    If Err.Number <> 0 Then Fail "legacy login at " & args(3) & ":" & args(4)
    WScript.Echo "logged in at " & account.ServerIP & ":" & account.ServerPort & " (server version " & _
        account.ServerVersion & "), credit " & account.FreeCall
    Dim text : text = "Sent over the legacy protocol from VBScript"
    Dim one : Set one = backend.SendSMSOne("02-000-0000", backend.CreateReceiverDirect("010-2468-1357", text, _
        VEXA_DIRECT, Now))
    If Err.Number <> 0 Then Fail "legacy SMS"
    ShowResult one
    Dim logs : Set logs = backend.RequestLog(Year(Now), Month(Now), VEXA_BYALL)
    If Err.Number <> 0 Then Fail "legacy log"
    WScript.Echo logs.Count & " SMS transfers this month through the legacy protocol"
    Dim entry
    For Each entry In logs
        WScript.Echo "  " & entry.Index & "  " & entry.CountTotal & " receivers: " & entry.Message
    Next
    WScript.Echo "credit left: " & account.FreeCall

Case Else
    WScript.Echo "unknown step " & args(0)
    WScript.Quit 2
End Select
