// pwsh's own console host, started from the PowerShell SDK.
using System.Runtime.Versioning;
using Microsoft.PowerShell;

[assembly: SupportedOSPlatform("windows")]

internal static class Program
{
    private static int Main(string[] args) => ConsoleShell.Start(null, null, args);
}
