' Converts one HTML document through VorlenCOM.Vorlen, late-bound.
'   cscript //nologo vorlen.vbs C:\path\to\vorlen.exe input.html output.pdf
Option Explicit

Dim args, vorlen, result
Set args = WScript.Arguments
Set vorlen = CreateObject("VorlenCOM.Vorlen")
vorlen.SetVorlenPath args(0)
vorlen.SetHTML True

On Error Resume Next
result = vorlen.Convert(args(1), args(2))
If Err.Number <> 0 Then
  ' Error 5: the converter's output broke the status-line format.
  WScript.Echo "error " & Err.Number & ": " & Err.Description
  WScript.Quit 3
End If
On Error GoTo 0

' Convert returns the integer 1 or 0; compare with 1, not with True.
If result = 1 Then
  WScript.Echo "converted: " & args(2)
Else
  WScript.Echo "not converted"
  WScript.Quit 1
End If
