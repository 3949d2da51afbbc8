// The runtime's wrappers give the object back: by the finalizer, by
// ReleaseComObject and by FinalReleaseComObject; the module then answers
// DllCanUnloadNow with S_OK.
using System;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using VorlenCOM;
using static Vorlen.ClientTests.Harness;

namespace Vorlen.ClientTests
{
    internal static class Lifetime
    {
        private const int S_OK = 0, S_FALSE = 1;
        // Collections until the finalizers have given everything back; the
        // finalizer releases each wrapper once its object is unreachable.
        private const int Collections = 20;

        private delegate int CanUnloadNow();

        [DllImport("kernel32.dll", CharSet = CharSet.Unicode)]
        private static extern IntPtr GetModuleHandleW(string name);

        private static int DllCanUnloadNow()
        {
            IntPtr module = GetModuleHandleW("VORLEN.dll");
            Expect(module != IntPtr.Zero, "VORLEN.dll is loaded");
            return Marshal.GetDelegateForFunctionPointer<CanUnloadNow>(NativeLibrary.GetExport(module, "DllCanUnloadNow"))();
        }

        // True once DllCanUnloadNow says S_OK, collecting garbage in between.
        private static bool Unloadable()
        {
            for (int i = 0; i < Collections; ++i)
            {
                if (DllCanUnloadNow() == S_OK) return true;
                GC.Collect();
                GC.WaitForPendingFinalizers();
            }
            return DllCanUnloadNow() == S_OK;
        }

        // Created and used in a frame of its own, so nothing of it stays
        // reachable from the caller's.
        [MethodImpl(MethodImplOptions.NoInlining)]
        private static void Abandon()
        {
            _Vorlen v = VorlenCOM.Vorlen.Create();
            v.SetHTML(true);
            Equal(S_FALSE, DllCanUnloadNow(), "DllCanUnloadNow while the object lives");
        }

        public static void ByFinalizer()
        {
            Expect(Unloadable(), "DllCanUnloadNow before the test");
            Abandon();
            Expect(Unloadable(), "DllCanUnloadNow never said S_OK after the finalizer ran");
        }

        public static void ByRelease()
        {
            Expect(Unloadable(), "DllCanUnloadNow before the test");
            _Vorlen v = VorlenCOM.Vorlen.Create();
            v.SetHTML(true);
            Equal(0, Marshal.ReleaseComObject(v), "ReleaseComObject's count");
            Equal(S_OK, DllCanUnloadNow(), "DllCanUnloadNow after ReleaseComObject");

            // The same object handed to the runtime twice: one wrapper that
            // counts two, which FinalReleaseComObject gives up at once.
            v = VorlenCOM.Vorlen.Create();
            IntPtr unknown = Marshal.GetIUnknownForObject(v);
            object again = Marshal.GetObjectForIUnknown(unknown);
            Marshal.Release(unknown);
            Expect(ReferenceEquals(v, again), "one wrapper for one object");
            Equal(1, Marshal.ReleaseComObject(v), "ReleaseComObject's count with two");
            Equal(S_FALSE, DllCanUnloadNow(), "DllCanUnloadNow while one count remains");
            Equal(0, Marshal.FinalReleaseComObject(v), "FinalReleaseComObject's count");
            Equal(S_OK, DllCanUnloadNow(), "DllCanUnloadNow after FinalReleaseComObject");
        }
    }
}
