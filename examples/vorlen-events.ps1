# Converts one HTML document through VorlenCOM.Vorlen from PowerShell 7 and
# prints the converter's diagnostics (the Message event). Register-ObjectEvent
# takes .NET events only, not a COM object's, so a small C# sink compiled by
# Add-Type connects to the object's connection point and keeps what arrives.
#   pwsh -File vorlen-events.ps1 C:\path\to\vorlen.exe input.html output.pdf
param([string]$Converter, [string]$InputPath, [string]$OutputPath)

Add-Type -TypeDefinition @'
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Runtime.InteropServices.ComTypes;

namespace VorlenEvents
{
    // The event interface __Vorlen of the type library VorlenCOM.
    [ComImport, Guid("F08755C3-5247-45C0-AA50-1192CD09EC2F")]
    [InterfaceType(ComInterfaceType.InterfaceIsIDispatch)]
    public interface IVorlenEvents
    {
        [DispId(1)]
        void Message(ref string msgType, ref string msgLocation, ref string msg);
    }

    // Connected to one object until disposed. Message may arrive on another
    // thread than the script's (when the script's is in the MTA), so it only
    // keeps the texts; the script prints them.
    [ComVisible(true), ClassInterface(ClassInterfaceType.None)]
    public sealed class MessageSink : IVorlenEvents, IDisposable
    {
        private readonly IConnectionPoint point;
        private readonly int cookie;
        private readonly List<string[]> messages = new List<string[]>();

        public MessageSink(object vorlen)
        {
            Guid events = typeof(IVorlenEvents).GUID;
            IConnectionPoint found;
            ((IConnectionPointContainer)vorlen).FindConnectionPoint(ref events, out found);
            point = found;
            point.Advise(this, out cookie);
        }

        public void Message(ref string msgType, ref string msgLocation, ref string msg)
        {
            lock (messages) messages.Add(new[] { msgType, msgLocation, msg });
        }

        public string[][] Messages { get { lock (messages) return messages.ToArray(); } }

        public void Dispose() { point.Unadvise(cookie); }
    }
}
'@

$vorlen = New-Object -ComObject VorlenCOM.Vorlen
$sink = [VorlenEvents.MessageSink]::new($vorlen)
try {
  $vorlen.SetVorlenPath($Converter)
  $vorlen.SetHTML($true)
  $result = $vorlen.Convert($InputPath, $OutputPath)
  foreach ($m in $sink.Messages) { "{0} {1}: {2}" -f $m[0], $m[1], $m[2] }
} finally {
  $sink.Dispose()
  [void][System.Runtime.InteropServices.Marshal]::ReleaseComObject($vorlen)
}
if ($result -eq 1) { "converted: $OutputPath" } else { "not converted"; exit 1 }
