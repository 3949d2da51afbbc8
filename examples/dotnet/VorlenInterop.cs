// The component's interfaces for early-bound .NET callers, declared by hand as
// the type library VorlenCOM 19.0 describes them (tests/dotnet checks every
// name, dispatch identifier, parameter type and order against the built
// library). Method order is the interface's method-table order.
using System;
using System.Runtime.InteropServices;

namespace VorlenCOM
{
    // The dual interface: early-bound calls go through its method table. Each
    // method's HRESULT becomes an exception (COMException, HResult 0x800A0005
    // for converter output that breaks the status-line format).
    [ComImport]
    [Guid("B88EEB95-53FA-4CCF-9FA2-9ADBA03999ED")]
    [InterfaceType(ComInterfaceType.InterfaceIsDual)]
    public interface _Vorlen
    {
        // 1 converted, 0 not converted: an int, not a bool.
        [DispId(0x60030002)]
        int Convert([MarshalAs(UnmanagedType.BStr)] string xmlPath,
                    [Optional, DefaultParameterValue(""), MarshalAs(UnmanagedType.BStr)] string pdfPath);

        [DispId(0x60030008)]
        void SetVorlenPath([MarshalAs(UnmanagedType.BStr)] string exePath);

        [DispId(0x60030009)]
        void AddStyleSheet([MarshalAs(UnmanagedType.BStr)] string cssPath);

        [DispId(0x6003000A)]
        void ClearStyleSheets();

        [DispId(0x6003000B)]
        void SetHTML([MarshalAs(UnmanagedType.VariantBool)] bool html);

        [DispId(0x6003000C)]
        void SetLog([MarshalAs(UnmanagedType.BStr)] string logFile);

        [DispId(0x6003000D)]
        void SetBaseURL([MarshalAs(UnmanagedType.BStr)] string baseurl);

        [DispId(0x6003000E)]
        void SetXInclude([MarshalAs(UnmanagedType.VariantBool)] bool xinclude);

        [DispId(0x6003000F)]
        void SetEmbedFonts([MarshalAs(UnmanagedType.VariantBool)] bool embed);

        [DispId(0x60030010)]
        void SetCompress([MarshalAs(UnmanagedType.VariantBool)] bool compress);

        [DispId(0x60030011)]
        void SetEncrypt([MarshalAs(UnmanagedType.VariantBool)] bool encrypt);

        [DispId(0x60030012)]
        void SetEncryptInfo(short keyBits,
                            [MarshalAs(UnmanagedType.BStr)] string userPassword,
                            [MarshalAs(UnmanagedType.BStr)] string ownerPassword,
                            [MarshalAs(UnmanagedType.VariantBool)] bool disallowPrint,
                            [MarshalAs(UnmanagedType.VariantBool)] bool disallowModify,
                            [MarshalAs(UnmanagedType.VariantBool)] bool disallowCopy,
                            [MarshalAs(UnmanagedType.VariantBool)] bool disallowAnnotate);
    }

    // The event interface, a dispinterface: a sink class implements it and is
    // connected through the object's connection point (VorlenEvents). What a
    // handler assigns to the by-reference strings is not read back.
    [ComImport]
    [Guid("F08755C3-5247-45C0-AA50-1192CD09EC2F")]
    [InterfaceType(ComInterfaceType.InterfaceIsIDispatch)]
    public interface __Vorlen
    {
        [DispId(1)]
        void Message([MarshalAs(UnmanagedType.BStr)] ref string msgType,
                     [MarshalAs(UnmanagedType.BStr)] ref string msgLocation,
                     [MarshalAs(UnmanagedType.BStr)] ref string msg);
    }

    public static class Vorlen
    {
        public const string ProgId = "VorlenCOM.Vorlen";
        public static readonly Guid Clsid = new Guid("C9B018FD-C0A1-4D50-AE16-0E5E0EF71C91");
        public static readonly Guid LibraryId = new Guid("70AF29CD-4604-40AB-A91B-2EA696822611");

        // A new object. On an MTA thread COM creates it in the process's host
        // STA and hands back a proxy.
        public static _Vorlen Create() =>
            (_Vorlen)Activator.CreateInstance(Type.GetTypeFromCLSID(Clsid, throwOnError: true)!)!;
    }

    // A sink connected to one object's Message event until disposed.
    public sealed class VorlenEvents : IDisposable
    {
        private System.Runtime.InteropServices.ComTypes.IConnectionPoint? point;
        private readonly int cookie;

        public VorlenEvents(_Vorlen source, __Vorlen sink)
        {
            var container = (System.Runtime.InteropServices.ComTypes.IConnectionPointContainer)source;
            Guid events = typeof(__Vorlen).GUID;
            container.FindConnectionPoint(ref events, out var found);
            point = found ?? throw new InvalidOperationException("no connection point for __Vorlen");
            point.Advise(sink, out cookie);
        }

        public void Dispose()
        {
            point?.Unadvise(cookie);
            if (point != null) Marshal.ReleaseComObject(point);
            point = null;
        }
    }
}
