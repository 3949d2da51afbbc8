' A late-bound client that nobody here wrote: Wine's VBScript engine drives
' VorlenCOM.Vorlen by its ProgID. Arguments: the test converter's path and the
' file in which that converter records its command line.
Option Explicit

Dim converter, record, failures
converter = WScript.Arguments(0)
record = WScript.Arguments(1)
failures = 0

Sub Check(condition, what)
  If Not condition Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

Function Recorded()
  Dim fso, file, text
  Set fso = CreateObject("Scripting.FileSystemObject")
  Set file = fso.OpenTextFile(record)
  text = file.ReadLine ' the command line; the arguments follow
  file.Close
  Recorded = Mid(text, InStr(text, " --server") + 1)
End Function

Dim v, r, success
success = "lines:fin|success\r\n"
Set v = CreateObject("VorlenCOM.Vorlen")
v.SetVorlenPath converter
v.AddStyleSheet "old.css"
v.ClearStyleSheets
v.AddStyleSheet "a.css"
v.SetHTML True
v.SetLog "run.log"
v.SetBaseURL "http://example.org/"
v.SetXInclude False
v.SetEmbedFonts False
v.SetCompress False
v.SetEncryptInfo 128, "u", "o", True, False, True, False
v.SetEncrypt False
v.SetEncrypt True

r = v.Convert(success)
Check r = 1, "Convert without pdfPath gives 1, got " & r
Check TypeName(r) = "Long", "the result is a Long, got " & TypeName(r)
Check r <> True, "the result is the integer 1, not True"
Check Recorded() = "--server -s ""a.css"" --encrypt  --key-bits  128 --user-password=""u"" " & _
  "--owner-password=""o"" --disallow-print --disallow-copy -i html --log=""run.log"" " & _
  "--baseurl=""http://example.org/"" --no-xinclude --no-embed-fonts --no-compress """ & success & """", _
  "every setter reaches the command line: " & Recorded()

r = v.Convert("lines:fin|failure\r\n", "out.pdf")
Check r = 0, "a failed conversion gives 0, got " & r
Check Right(Recorded(), 9) = """out.pdf""", "pdfPath is passed: " & Recorded()

On Error Resume Next
r = v.Convert("lines:msg|ab\r\n")
Check Err.Number = 5, "a malformed status line raises error 5, got " & Err.Number
Check Err.Description = "Invalid procedure call or argument", "description: " & Err.Description
Check Err.Source = "VorlenCOM.Vorlen", "source: " & Err.Source
On Error GoTo 0

Set v = Nothing
If failures = 0 Then WScript.Echo "vbscript: ok"
WScript.Quit failures
