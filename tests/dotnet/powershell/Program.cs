// Runs a PowerShell 7 script as `pwsh -File SCRIPT ARGS...` would, in a host
// of the PowerShell SDK without a console (pwsh's own console host insists on
// a console screen buffer, which a program started without one lacks): the
// script's output goes to standard output as text, its errors' messages to
// standard error, and `exit N` becomes the exit code. Like pwsh, the script
// runs on an STA thread.
//   vorlen-pwsh -File SCRIPT ARGS...
using System;
using System.Management.Automation;
using System.Management.Automation.Runspaces;
using System.Runtime.Versioning;
using System.Threading;

[assembly: SupportedOSPlatform("windows")]

internal static class Program
{
    [STAThread]
    private static int Main(string[] args)
    {
        if (args.Length < 2 || !args[0].Equals("-File", StringComparison.OrdinalIgnoreCase))
        {
            Console.Error.WriteLine("usage: vorlen-pwsh -File SCRIPT ARGS...");
            return 64;
        }
        // The SDK places pwsh's own modules (Out-String's among them) beside
        // the program, not in $PSHOME\Modules where pwsh keeps them.
        string modules = System.IO.Path.Combine(AppContext.BaseDirectory, "runtimes", "win", "lib", "net10.0", "Modules");
        Environment.SetEnvironmentVariable("PSModulePath", $"{modules};{Environment.GetEnvironmentVariable("PSModulePath")}");
        InitialSessionState state = InitialSessionState.CreateDefault2();
        state.ExecutionPolicy = Microsoft.PowerShell.ExecutionPolicy.Bypass;
        using Runspace runspace = RunspaceFactory.CreateRunspace(state);
        runspace.ApartmentState = ApartmentState.STA;
        runspace.ThreadOptions = PSThreadOptions.UseCurrentThread;
        runspace.Open();
        using PowerShell shell = PowerShell.Create(runspace);
        shell.AddCommand(args[1]);
        for (int i = 2; i < args.Length; ++i) shell.AddArgument(args[i]);
        shell.AddCommand("Out-String").AddParameter("Stream");

        var output = new PSDataCollection<PSObject>();
        output.DataAdded += (_, e) => Console.WriteLine(output[e.Index]);
        shell.Streams.Error.DataAdded += (_, e) => Console.Error.WriteLine(shell.Streams.Error[e.Index]);
        try
        {
            shell.Invoke(null, output);
        }
        catch (RuntimeException e)
        {
            Console.Error.WriteLine(e.ErrorRecord);
            return 1;
        }
        // `exit N` ends the script and leaves N here.
        object? code = runspace.SessionStateProxy.GetVariable("LASTEXITCODE");
        return code is int n ? n : shell.HadErrors ? 1 : 0;
    }
}
