' Sends one SMS to one or more receivers through the registered component.
'   cscript //nologo send_sms.vbs USER PASSWORD FROM TEXT TO [TO ...]
' Prints each receiver's result and the credit left; on a failure, the component's code and text.
Option Explicit

Const VEXA_DIRECT = 1
Const VEXA_MESSAGE_TYPE_SMS = 1
Const VEXA_SUCCEEDED = 1

Dim args : Set args = WScript.Arguments
If args.Count < 5 Then
    WScript.Echo "usage: cscript //nologo send_sms.vbs USER PASSWORD FROM TEXT TO [TO ...]"
    WScript.Quit 2
End If

Dim message : Set message = CreateObject("VexaComponent.Message")
message.SetAccountInfo args(0), args(1)

On Error Resume Next
Dim receivers : Set receivers = message.CreateReceivers()
Dim i
For i = 4 To args.Count - 1
    receivers.AddDirect args(i), args(3), VEXA_DIRECT, Now
Next
Dim contents : Set contents = message.CreateContents()
contents.Type = VEXA_MESSAGE_TYPE_SMS
contents.Message = args(3)
Dim results : Set results = message.Send(args(2), receivers, contents)
If Err.Number <> 0 Then
    WScript.Echo "send failed: 0x" & Hex(Err.Number) & " " & message.GetErrorMessage(Err.Number)
    WScript.Quit 1
End If
On Error GoTo 0

Dim result
For Each result In results
    If result.Result = VEXA_SUCCEEDED Then
        WScript.Echo result.Phone & ": accepted as transfer " & result.Date & "/" & result.Index
    Else
        WScript.Echo result.Phone & ": refused"
    End If
Next
message.UpdateLoginInfo
WScript.Echo "credit left: " & message.LoginInfo.FreeCall
