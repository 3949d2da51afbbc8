// Runs the named checks, one line each, and ends with "N passed, M failed".
using System;
using System.Collections.Generic;
using System.Threading;

namespace Vorlen.ClientTests
{
    internal sealed class CheckFailed : Exception
    {
        public CheckFailed(string message) : base(message) { }
    }

    internal static class Harness
    {
        private static int passed, failed;

        public static void Expect(bool condition, string what)
        {
            if (!condition) throw new CheckFailed(what);
        }

        public static void Equal<T>(T expected, T actual, string what)
        {
            if (!EqualityComparer<T>.Default.Equals(expected, actual))
                throw new CheckFailed($"{what}: expected {expected}, got {actual}");
        }

        public static void Run(string name, Action test)
        {
            try
            {
                test();
                passed++;
                Console.WriteLine($"ok: {name}");
            }
            catch (Exception e)
            {
                failed++;
                // One line per test, whatever the failure holds.
                string why = Describe(e).Replace("\r", "").Replace("\n", " / ");
                Console.WriteLine($"FAIL: {name}: {why}");
            }
        }

        public static int Summary()
        {
            Console.WriteLine($"{passed} passed, {failed} failed");
            return failed == 0 ? 0 : 1;
        }

        // Runs the body on a new thread of the given apartment and hands its
        // exception back to the caller.
        public static void OnThread(ApartmentState apartment, Action body)
        {
            Exception? error = null;
            var thread = new Thread(() =>
            {
                try { body(); }
                catch (Exception e) { error = e; }
            });
            thread.SetApartmentState(apartment);
            thread.Start();
            thread.Join();
            if (error != null) throw new CheckFailed($"on an {apartment} thread: {Describe(error)}");
        }

        public static string Describe(Exception e) => e is CheckFailed ? e.Message : e.ToString();

        public static readonly ApartmentState[] Apartments = { ApartmentState.STA, ApartmentState.MTA };
    }
}
