' The registered module from VBScript, late-bound as a script host calls it. One line per check,
' PASS or FAIL, then DONE; the exit status is the number of failures. Wine's script host ends a
' script silently (exit 0) on an uncaught error, so each group runs under On Error Resume Next here
' and an error that escapes it is reported as a failure of that group.
Option Explicit

Const VEXA_E_NOTLOGINED = &H8004A007
Const VEXA_E_DEPRECATED = &H8004A00D
' VBScript reports E_INVALIDARG as its own error 5, "Invalid procedure call or argument".
Const VB_INVALID_ARGUMENT = 5
Const VEXA_RESERVATION = 0
Const VEXA_DIRECT = 1
Const VEXA_MESSAGE_TYPE_LMS = 2

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

Sub CheckGroupEnded(group)
    If Err.Number <> 0 Then
        Check group & " ran to its end", False, "error " & Err.Number & " (" & Hex(Err.Number) & ") " & Err.Description
        Err.Clear
    End If
End Sub

Function TryCreate(progId)
    On Error Resume Next
    Set TryCreate = Nothing
    Set TryCreate = CreateObject(progId)
    If Err.Number <> 0 Then Check "CreateObject(""" & progId & """)", False, "error " & Err.Number
    Err.Clear
End Function

' The error number a call gives, 0 for none.
Function ErrorOf(what, obj)
    On Error Resume Next
    Dim result
    Select Case what
        Case "LoginInfo before any login": Set result = obj.LoginInfo
        Case "ServiceCode put": obj.ServiceCode = "code"
        Case "ServiceCode get": result = obj.ServiceCode
        Case "Login": Set result = obj.Login("127.0.0.1", 4545, "kim", "secret")
        Case "ArrayBase = 2": obj.ArrayBase = 2
        Case "ArrayBase = -1": obj.ArrayBase = -1
        Case "CreateLogListDirect of month 13": Set result = obj.CreateLogListDirect(2024, 13, "1", 1)
        Case "Item past the end": Set result = obj.CreateReceivers().Item(0)
    End Select
    ErrorOf = Err.Number
    Err.Clear
End Function

Function Phones(receivers)
    Dim receiver, list
    For Each receiver In receivers
        list = list & receiver.Phone & ","
    Next
    Phones = list
End Function

Sub CheckClasses()
    Dim progIds, progId, obj, typeNames, i
    progIds = Array("VexaComponent.Message.1", "VexaComponent.Message", "VexaComponent.SMS.1", "VexaComponent.SMS")
    ' The dispinterface that answers IDispatch, as the type library names it.
    typeNames = Array("DispMessage", "DispMessage", "DispSMS", "DispSMS")
    For i = 0 To UBound(progIds)
        progId = progIds(i)
        Set obj = TryCreate(progId)
        If Not obj Is Nothing Then
            CheckEqual progId & " VersionMajor", obj.VersionMajor, 4
            CheckEqual progId & " VersionMinor", obj.VersionMinor, 2
            Check "TypeName of " & progId & " is " & TypeName(obj), TypeName(obj) = typeNames(i), _
                  "expected " & typeNames(i)
        End If
    Next
End Sub

Sub CheckErrorTexts(message, sms)
    ' The texts themselves are Korean, which an ANSI script cannot spell: component.js compares them.
    Dim text : text = message.GetErrorMessage(VEXA_E_NOTLOGINED)
    CheckEqual "GetErrorMessage(VEXA_E_NOTLOGINED) length", Len(text), 12
    CheckEqual "GetErrorMessage(VEXA_E_NOTLOGINED) ends the sentence", Right(text, 1), "."
    Check "GetErrorMessage is the same on SMS", sms.GetErrorMessage(VEXA_E_NOTLOGINED) = text, "another text"
    CheckEqual "GetErrorMessage just below the component's codes", message.GetErrorMessage(&H8004A000), ""
    CheckEqual "GetErrorMessage just above the component's codes", message.GetErrorMessage(&H8004A00E), ""
End Sub

Sub CheckArrayBase(message, sms)
    Dim receivers : Set receivers = message.CreateReceivers()
    receivers.AddDirect "010-1", "first", VEXA_DIRECT, 0
    receivers.AddDirect "010-2", "second", VEXA_DIRECT, 0
    CheckEqual "ArrayBase at first", message.ArrayBase, 0
    CheckEqual "Item(0) with ArrayBase 0", receivers.Item(0).Phone, "010-1"
    message.ArrayBase = 1
    CheckEqual "ArrayBase set on Message reads on SMS", sms.ArrayBase, 1
    CheckEqual "Item(1) with ArrayBase 1", receivers.Item(1).Phone, "010-1"
    CheckEqual "default member with ArrayBase 1", receivers(2).Phone, "010-2"
    Dim refused
    For Each refused In Array("ArrayBase = 2", "ArrayBase = -1")
        CheckEqual refused & " refused", ErrorOf(refused, message), VB_INVALID_ARGUMENT
        CheckEqual refused & " leaves ArrayBase", message.ArrayBase, 1
    Next
    message.ArrayBase = 0
    CheckEqual "ArrayBase back to 0", sms.ArrayBase, 0
End Sub

Sub CheckReceivers(message)
    Dim receivers, receiver
    Set receivers = message.CreateReceivers()
    Set receiver = message.CreateReceiver()
    receiver.Phone = "010-1"
    receiver.Message = "by properties"
    receiver.SendMode = VEXA_DIRECT
    receiver.Name = "Kim"
    receivers.Add receiver
    receivers.Add message.CreateReceiverDirect("010-2", "made direct", VEXA_RESERVATION, Now + 1)
    receivers.AddDirect "010-3", "added direct", VEXA_DIRECT, 0
    CheckEqual "Receivers.Count", receivers.Count, 3
    CheckEqual "For Each over Receivers", Phones(receivers), "010-1,010-2,010-3,"
    CheckEqual "Receiver.Name", receivers.Item(0).Name, "Kim"
    CheckEqual "Receiver.SendMode", receivers.Item(1).SendMode, VEXA_RESERVATION
    receivers.Remove 1
    CheckEqual "For Each after Remove(1)", Phones(receivers), "010-1,010-3,"

    Dim contents : Set contents = message.CreateContents()
    contents.Type = VEXA_MESSAGE_TYPE_LMS
    contents.Subject = "subject"
    contents.Message = "common text"
    CheckEqual "Contents.Type", contents.Type, VEXA_MESSAGE_TYPE_LMS
    CheckEqual "Contents.Subject", contents.Subject, "subject"
    CheckEqual "Contents.Message", contents.Message, "common text"
    CheckEqual "Contents.ImageCount", contents.ImageCount, 0
End Sub

Sub CheckDates(message)
    Dim receiver, at
    Set receiver = message.CreateReceiver()
    at = DateSerial(2024, 3, 5) + TimeSerial(14, 7, 9)
    receiver.SendTime = at
    CheckEqual "TypeName of SendTime", TypeName(receiver.SendTime), "Date"
    CheckEqual "SendTime read back", receiver.SendTime, at
    CheckEqual "SendTime's hour", Hour(receiver.SendTime), 14
End Sub

Sub CheckErrors(message)
    Dim cases, i
    cases = Array( _
        Array("LoginInfo before any login", VEXA_E_NOTLOGINED), _
        Array("ServiceCode put", VEXA_E_DEPRECATED), _
        Array("ServiceCode get", VEXA_E_DEPRECATED), _
        Array("Login", VEXA_E_DEPRECATED), _
        Array("CreateLogListDirect of month 13", VB_INVALID_ARGUMENT), _
        Array("Item past the end", VB_INVALID_ARGUMENT))
    For i = 0 To UBound(cases)
        CheckEqual "Err.Number of " & cases(i)(0), ErrorOf(cases(i)(0), message), cases(i)(1)
    Next
End Sub

Dim message, sms
On Error Resume Next
CheckClasses : CheckGroupEnded "classes"
Set message = TryCreate("VexaComponent.Message")
Set sms = TryCreate("VexaComponent.SMS")
If Not message Is Nothing And Not sms Is Nothing Then
    CheckErrorTexts message, sms : CheckGroupEnded "error texts"
    CheckArrayBase message, sms : CheckGroupEnded "ArrayBase"
    CheckReceivers message : CheckGroupEnded "receivers"
    CheckDates message : CheckGroupEnded "dates"
    CheckErrors message : CheckGroupEnded "errors"
End If
WScript.Echo "DONE"
WScript.Quit failures
