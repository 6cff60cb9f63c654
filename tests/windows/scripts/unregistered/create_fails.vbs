' Once the module is unregistered, a script host cannot create its classes by ProgID: error 429
' ("ActiveX component can't create object"). One line per check, then DONE; the exit status is the
' number of failures.
Option Explicit

Dim failures, progId, number
failures = 0
On Error Resume Next
For Each progId In Array("VexaComponent.Message.1", "VexaComponent.Message", "VexaComponent.SMS.1", "VexaComponent.SMS")
    Err.Clear
    CreateObject progId
    number = Err.Number
    If number = 429 Then
        WScript.Echo "PASS CreateObject(""" & progId & """) after unregistering"
    Else
        failures = failures + 1
        WScript.Echo "FAIL CreateObject(""" & progId & """) after unregistering: error " & number & ", expected 429"
    End If
Next
WScript.Echo "DONE"
WScript.Quit failures
