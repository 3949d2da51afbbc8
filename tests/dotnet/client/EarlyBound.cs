// Early-bound: every call through _Vorlen's method table, Message events into
// a managed sink through the connection point.
using System;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using VorlenCOM;
using static Vorlen.ClientTests.Harness;

namespace Vorlen.ClientTests
{
    internal static class EarlyBound
    {
        private static readonly string[] Diagnostics = { "msg|wrn|a.html:3|bad|thing", "msg|err||x", "msg|inf|b.xml:1|" };
        private static readonly string[] Delivered = { "wrn|a.html:3|bad|thing", "err||x", "inf|b.xml:1|" };

        public static void EveryMethodAndEvents(Converter converter, ApartmentState apartment)
        {
            _Vorlen v = VorlenCOM.Vorlen.Create();
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
                v.SetEncryptInfo(128, "u", "o", true, true, true, true);
                Equal(1, v.Convert(Expected.Success), "Convert without pdfPath");
                Equal(Expected.AllOptions + Expected.Success, converter.Arguments(), "arguments");
                v.SetEncrypt(false);

                var sink = new RecordingSink();
                string script = Converter.Script(Diagnostics.Append("fin|success").ToArray());
                using (new VorlenEvents(v, sink))
                {
                    Equal(1, v.Convert(script, "out.pdf"), "Convert with events");
                    // The sink overwrote every argument: nothing of that comes back.
                    Equal(string.Join(";", Delivered), string.Join(";", sink.Messages), "events");
                }
                Equal(Expected.AllButEncryption + script + " out.pdf", converter.Arguments(), "arguments");
                Equal(1, v.Convert(script), "Convert after the sink was disconnected");
                Equal(Delivered.Length, sink.Messages.Length, "events after disconnecting");

                // An STA caller receives the events on its own thread; an MTA
                // caller's object lives in the host STA, whose thread the
                // events arrive on, while the caller waits in Convert.
                int caller = Environment.CurrentManagedThreadId;
                Equal(1, sink.Threads.Length, "threads that events arrived on");
                Equal(apartment == ApartmentState.STA, sink.Threads[0] == caller, "events on the caller's thread");
            }
            finally
            {
                Marshal.FinalReleaseComObject(v);
            }
        }

        public static void Error5(Converter converter)
        {
            _Vorlen v = VorlenCOM.Vorlen.Create();
            try
            {
                v.SetVorlenPath(converter.Path);
                var sink = new RecordingSink();
                using (new VorlenEvents(v, sink))
                {
                    int result = -1;
                    try
                    {
                        result = v.Convert(Converter.Script("msg|inf|a|before", "msg|ab"));
                    }
                    catch (COMException e)
                    {
                        Equal(Expected.Error5, e.HResult, "HResult");
                    }
                    Equal(-1, result, "the result variable after error 5");
                    Equal("inf|a|before", string.Join(";", sink.Messages), "events before the broken line");
                }
                // Below the runtime's exception: the method table's own result.
                int raw = -1;
                Equal(Expected.Error5, RawConvert(v, Expected.Malformed, ref raw), "HRESULT from the method table");
                Equal(0, raw, "result from the method table");
                Equal(1, v.Convert(Expected.Success), "the next Convert on the same object");
            }
            finally
            {
                Marshal.FinalReleaseComObject(v);
            }
        }

        private delegate int ConvertEntry(IntPtr self, IntPtr xmlPath, IntPtr pdfPath, ref int result);

        // _Vorlen::Convert called through the method table: IUnknown's three
        // entries and IDispatch's four come first.
        private static int RawConvert(_Vorlen v, string xmlPath, ref int result)
        {
            IntPtr self = Marshal.GetComInterfaceForObject(v, typeof(_Vorlen));
            IntPtr xml = Marshal.StringToBSTR(xmlPath);
            try
            {
                IntPtr entry = Marshal.ReadIntPtr(Marshal.ReadIntPtr(self), 7 * IntPtr.Size);
                return Marshal.GetDelegateForFunctionPointer<ConvertEntry>(entry)(self, xml, IntPtr.Zero, ref result);
            }
            finally
            {
                Marshal.FreeBSTR(xml);
                Marshal.Release(self);
            }
        }

        // Threads of both apartments convert at the same time, each with its
        // own object and sink; each sees its own events, in order.
        public static void SeveralThreads(Converter converter)
        {
            const int threads = 4, runs = 3;
            var start = new Barrier(threads);
            var errors = new Exception?[threads];
            var workers = Enumerable.Range(0, threads).Select(n => new Thread(() =>
            {
                try
                {
                    start.SignalAndWait();
                    _Vorlen v = VorlenCOM.Vorlen.Create();
                    try
                    {
                        v.SetVorlenPath(converter.Path);
                        var sink = new RecordingSink();
                        using (new VorlenEvents(v, sink))
                        {
                            for (int run = 0; run < runs; ++run)
                                Equal(1, v.Convert(Converter.Script($"msg|inf|t{n}|{run}a", $"msg|inf|t{n}|{run}b", "fin|success")),
                                      $"thread {n}, run {run}");
                        }
                        string expected = string.Join(";", Enumerable.Range(0, runs).SelectMany(r => new[] { $"inf|t{n}|{r}a", $"inf|t{n}|{r}b" }));
                        Equal(expected, string.Join(";", sink.Messages), $"thread {n}'s events");
                    }
                    finally
                    {
                        Marshal.FinalReleaseComObject(v);
                    }
                }
                catch (Exception e)
                {
                    errors[n] = e;
                }
            })).ToArray();
            for (int n = 0; n < threads; ++n)
            {
                workers[n].SetApartmentState(Apartments[n % 2]);
                workers[n].Start();
            }
            foreach (Thread worker in workers) worker.Join();
            string failures = string.Join("; ", errors.Where(e => e != null).Select(e => Describe(e!)));
            Equal("", failures, "failures");
        }
    }
}
