' Sends a picture with a subject and a text (an MMS) to one receiver through the registered
' component. The picture may be PNG, JPEG, GIF, BMP, ICO or TIFF; it is sent as JPEG.
'   cscript //nologo send_mms.vbs USER PASSWORD FROM TO SUBJECT TEXT PICTURE
Option Explicit

Const VEXA_DIRECT = 1
Const VEXA_MESSAGE_TYPE_MMS = 3
Const VEXA_SUCCEEDED = 1

Dim args : Set args = WScript.Arguments
If args.Count <> 7 Then
    WScript.Echo "usage: cscript //nologo send_mms.vbs USER PASSWORD FROM TO SUBJECT TEXT PICTURE"
    WScript.Quit 2
End If

Dim message : Set message = CreateObject("VexaComponent.Message")
message.SetAccountInfo args(0), args(1)

Sub Fail(what)
    WScript.Echo what & " failed: 0x" & Hex(Err.Number) & " " & message.GetErrorMessage(Err.Number)
    WScript.Quit 1
End Sub

On Error Resume Next
Dim contents : Set contents = message.CreateContents()
contents.Type = VEXA_MESSAGE_TYPE_MMS
contents.Subject = args(4)
contents.Message = args(5)
contents.AddImageFile args(6)
If Err.Number <> 0 Then Fail "adding the picture " & args(6)
WScript.Echo "picture added: " & contents.ImagesSize & " JPEG bytes"

Dim receiver : Set receiver = message.CreateReceiverDirect(args(3), args(5), VEXA_DIRECT, Now)
Dim result : Set result = message.SendOne(args(2), receiver, contents)
If Err.Number <> 0 Then Fail "send"
On Error GoTo 0

If result.Result = VEXA_SUCCEEDED Then
    WScript.Echo result.Phone & ": accepted as transfer " & result.Date & "/" & result.Index
Else
    WScript.Echo result.Phone & ": refused"
End If
