// Late-bound: the object by its ProgID, every call through IDispatch (C#'s
// dynamic).
using System;
using System.Runtime.InteropServices;
using static Vorlen.ClientTests.Harness;

namespace Vorlen.ClientTests
{
    internal static class LateBound
    {
        private static dynamic Create() =>
            Activator.CreateInstance(Type.GetTypeFromProgID("VorlenCOM.Vorlen", throwOnError: true)!)!;

        public static void EveryMethod(Converter converter)
        {
            dynamic v = Create();
            try
            {
                v.SetVorlenPath(converter.Path);
                v.AddStyleSheet("gone.css");
                v.ClearStyleSheets();
                v.AddStyleSheet("a.css");
                v.SetHTML(true);
                v.SetLog("l.txt");
                v.SetBaseURL("b/");
                v.SetXInclude(false);
                v.SetEmbedFonts(false);
                v.SetCompress(false);
                v.SetEncryptInfo((short)128, "u", "o", true, true, true, true);

                object result = v.Convert(Expected.Success);
                Expect(result is int, $"Convert gives an int, got {result.GetType()}");
                Equal(1, (int)result, "Convert without pdfPath");
                Expect(!result.Equals(true), "the result 1 is not the Boolean true");
                Equal(Expected.AllOptions + Expected.Success, converter.Arguments(), "arguments");

                v.SetEncrypt(false);
                Equal(0, (int)v.Convert(Expected.Failure, "out.pdf"), "Convert of a failed run");
                Equal(Expected.AllButEncryption + Expected.Failure + " out.pdf", converter.Arguments(), "arguments");

                Equal(1, (int)v.Convert(pdfPath: "named.pdf", xmlPath: Expected.Success), "Convert with named arguments");
                Equal(Expected.AllButEncryption + Expected.Success + " named.pdf", converter.Arguments(), "arguments");
            }
            finally
            {
                Marshal.FinalReleaseComObject(v);
            }
        }

        public static void Error5(Converter converter)
        {
            dynamic v = Create();
            try
            {
                v.SetVorlenPath(converter.Path);
                object? result = null;
                try
                {
                    result = v.Convert(Expected.Malformed);
                }
                catch (COMException e)
                {
                    Equal(Expected.Error5, e.HResult, "HResult");
                }
                Equal(null, result, "a result after error 5");
                Equal(1, (int)v.Convert(Expected.Success), "the next Convert on the same object");
            }
            finally
            {
                Marshal.FinalReleaseComObject(v);
            }
        }
    }
}
