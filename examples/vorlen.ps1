# Converts one HTML document through VorlenCOM.Vorlen from 64-bit PowerShell
# (which needs the 64-bit VORLEN.dll registered; Windows PowerShell (x86)
# takes the 32-bit one).
#   powershell -File vorlen.ps1 C:\path\to\vorlen.exe input.html output.pdf
param([string]$Converter, [string]$InputPath, [string]$OutputPath)

$vorlen = New-Object -ComObject VorlenCOM.Vorlen
$vorlen.SetVorlenPath($Converter)
$vorlen.SetHTML($true)
try {
  # 1 converted, 0 not converted (an integer, not a Boolean).
  $result = $vorlen.Convert($InputPath, $OutputPath)
} catch [System.Runtime.InteropServices.COMException] {
  # HRESULT 0x800A0005: the converter's output broke the status-line format.
  Write-Error ("error {0}: {1}" -f ($_.Exception.HResult -band 0xFFFF), $_.Exception.Message)
  exit 3
} finally {
  [void][System.Runtime.InteropServices.Marshal]::ReleaseComObject($vorlen)
}
if ($result -eq 1) { "converted: $OutputPath" } else { "not converted"; exit 1 }
