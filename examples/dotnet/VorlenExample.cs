// Converts one HTML document through VorlenCOM.Vorlen, early-bound, and
// prints the converter's diagnostics as they arrive.
//   vorlen-example C:\path\to\vorlen.exe input.html output.pdf
using System;
using System.Runtime.InteropServices;
using System.Runtime.Versioning;
using VorlenCOM;

[assembly: SupportedOSPlatform("windows")]

// The Message handler. What it assigns to the arguments is ignored.
[ComVisible(true)]
[ClassInterface(ClassInterfaceType.None)]
public sealed class MessagePrinter : __Vorlen
{
    public void Message(ref string msgType, ref string msgLocation, ref string msg) =>
        Console.WriteLine($"{msgType} {msgLocation}: {msg}");
}

public static class Example
{
    // In the STA the object lives on this thread, and Message arrives here,
    // inside Convert. Without [STAThread] it lives in COM's host STA and
    // Message arrives on that thread instead.
    [STAThread]
    public static int Main(string[] args)
    {
        _Vorlen vorlen = VorlenCOM.Vorlen.Create();
        try
        {
            vorlen.SetVorlenPath(args[0]);
            vorlen.SetHTML(true);
            using (new VorlenEvents(vorlen, new MessagePrinter()))
            {
                // 1 converted, 0 not: an int, not a bool.
                if (vorlen.Convert(args[1], args[2]) != 1)
                {
                    Console.WriteLine("not converted");
                    return 1;
                }
            }
            Console.WriteLine($"converted: {args[2]}");
            return 0;
        }
        catch (COMException e) when (e.HResult == unchecked((int)0x800A0005))
        {
            // The converter's output broke the status-line format.
            Console.Error.WriteLine($"error 5: {e.Message}");
            return 3;
        }
        finally
        {
            // Not left to the finalizer: this STA thread ends with Main.
            Marshal.FinalReleaseComObject(vorlen);
        }
    }
}
