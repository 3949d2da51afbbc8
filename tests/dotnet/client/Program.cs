// .NET clients of the registered component: late-bound through IDispatch,
// early-bound through the hand-written interop declarations, with Message
// events into a managed sink, on STA and MTA threads.
//   vorlen-dotnet-tests.exe VORLEN_DLL CONVERTER
// with VORLEN_TEST_RECORD naming the file where the converter records its
// arguments.
using System;
using System.Runtime.Versioning;
using System.Threading;
using static Vorlen.ClientTests.Harness;

[assembly: SupportedOSPlatform("windows")]

namespace Vorlen.ClientTests
{
    internal static class Program
    {
        // Main is deliberately not [STAThread]: its thread is in the MTA, as a
        // .NET program's is by default.
        private static int Main(string[] args)
        {
            if (args.Length != 2 || Environment.GetEnvironmentVariable("VORLEN_TEST_RECORD") is not string record)
            {
                Console.Error.WriteLine("usage: vorlen-dotnet-tests VORLEN_DLL CONVERTER (with VORLEN_TEST_RECORD set)");
                return 2;
            }
            var converter = new Converter(args[1], record);
            Run("the interop declarations match the type library", () => TypeLibraryCheck.Run(args[0]));
            Run("Main's thread is in the MTA", () => Equal(ApartmentState.MTA, Thread.CurrentThread.GetApartmentState(), "apartment"));
            foreach (ApartmentState apartment in Apartments)
            {
                Run($"late-bound: every method, {apartment}", () => OnThread(apartment, () => LateBound.EveryMethod(converter)));
                Run($"late-bound: error 5, {apartment}", () => OnThread(apartment, () => LateBound.Error5(converter)));
                Run($"early-bound: every method and events, {apartment}",
                    () => OnThread(apartment, () => EarlyBound.EveryMethodAndEvents(converter, apartment)));
                Run($"early-bound: error 5 and the result 0, {apartment}",
                    () => OnThread(apartment, () => EarlyBound.Error5(converter)));
            }
            Run("several threads at once", () => EarlyBound.SeveralThreads(converter));
            foreach (ApartmentState apartment in Apartments)
                Run($"released by the finalizer, {apartment}", () => OnThread(apartment, Lifetime.ByFinalizer));
            Run("released by ReleaseComObject and FinalReleaseComObject", () => OnThread(ApartmentState.STA, Lifetime.ByRelease));
            Run("released from an MTA thread by ReleaseComObject", () => OnThread(ApartmentState.MTA, Lifetime.ByRelease));
            return Summary();
        }
    }
}
