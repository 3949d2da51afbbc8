' VBA (Excel, Word, Access) with events. Set a reference to "VorlenCOM"
' (Tools > References: "Vorlen ActiveX Dll 5.0"), then paste this into a
' class module: ThisWorkbook, ThisDocument, or a class module of your own.
' WithEvents only works in class modules; run ConvertSample from there.
Option Explicit

Private WithEvents conv As VorlenCOM.Vorlen

' One call per diagnostic line of the converter, while Convert runs.
Private Sub conv_Message(msgType As String, msgLocation As String, msg As String)
  Debug.Print msgType; " "; msgLocation; ": "; msg
End Sub

Public Sub ConvertSample()
  Set conv = New VorlenCOM.Vorlen
  ' Where the installer puts the converter (either bitness serves either Office).
  conv.SetVorlenPath "C:\Program Files (x86)\VORLEN\converter\vorlen.exe"
  conv.AddStyleSheet "C:\docs\sample.css"
  conv.SetHTML True
  conv.SetEncryptInfo 128, "", "owner-secret", True, False, False, False

  On Error GoTo Failed
  ' Returns the Long 1 or 0 (not a Boolean).
  If conv.Convert("C:\docs\sample.html", "C:\docs\sample.pdf") = 1 Then
    Debug.Print "converted"
  Else
    Debug.Print "not converted"
  End If
  Set conv = Nothing
  Exit Sub
Failed:
  ' Err.Number 5: the converter's output broke the status-line format.
  Debug.Print "error "; Err.Number; ": "; Err.Description
  Set conv = Nothing
End Sub
