// The hand-written interop declarations against the type library that the
// built VORLEN.dll carries: identifiers, names, dispatch identifiers,
// parameter names, types, passing modes and order, each method written as one
// signature line on either side.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Runtime.InteropServices.ComTypes;
using VorlenCOM;
using static Vorlen.ClientTests.Harness;

namespace Vorlen.ClientTests
{
    internal static class TypeLibraryCheck
    {
        private const int REGKIND_NONE = 2;

        [DllImport("oleaut32.dll", CharSet = CharSet.Unicode, PreserveSig = false)]
        private static extern ITypeLib LoadTypeLibEx(string file, int regKind);

        public static void Run(string dll)
        {
            ITypeLib library = LoadTypeLibEx(dll, REGKIND_NONE);
            Equal(VorlenCOM.Vorlen.LibraryId, Attributes(library).guid, "library identifier");

            Equal(Signatures(typeof(_Vorlen), dual: true), Signatures(library, typeof(_Vorlen), dual: true), "_Vorlen");
            Equal(Signatures(typeof(__Vorlen), dual: false), Signatures(library, typeof(__Vorlen), dual: false), "__Vorlen");

            Guid clsid = VorlenCOM.Vorlen.Clsid;
            library.GetTypeInfoOfGuid(ref clsid, out ITypeInfo coclass);
            Equal($"Vorlen: default {typeof(_Vorlen).GUID}, default source {typeof(__Vorlen).GUID}",
                  Implemented(coclass), "class Vorlen");
        }

        private static TYPELIBATTR Attributes(ITypeLib library)
        {
            library.GetLibAttr(out IntPtr pointer);
            try { return Marshal.PtrToStructure<TYPELIBATTR>(pointer); }
            finally { library.ReleaseTLibAttr(pointer); }
        }

        private static TYPEATTR Attributes(ITypeInfo info)
        {
            info.GetTypeAttr(out IntPtr pointer);
            try { return Marshal.PtrToStructure<TYPEATTR>(pointer); }
            finally { info.ReleaseTypeAttr(pointer); }
        }

        private static string Name(ITypeInfo info)
        {
            info.GetDocumentation(-1, out string name, out _, out _, out _);
            return name;
        }

        private static string Implemented(ITypeInfo coclass)
        {
            var parts = new List<string>();
            for (int i = 0; i < Attributes(coclass).cImplTypes; ++i)
            {
                coclass.GetImplTypeFlags(i, out IMPLTYPEFLAGS flags);
                coclass.GetRefTypeOfImplType(i, out int reference);
                coclass.GetRefTypeInfo(reference, out ITypeInfo implemented);
                string kind = flags.HasFlag(IMPLTYPEFLAGS.IMPLTYPEFLAG_FSOURCE) ? "default source" : "default";
                if (!flags.HasFlag(IMPLTYPEFLAGS.IMPLTYPEFLAG_FDEFAULT)) kind = $"flags {flags}";
                parts.Add($"{kind} {Attributes(implemented).guid}");
            }
            return $"{Name(coclass)}: {string.Join(", ", parts)}";
        }

        // --- The managed declarations ---

        private static string Signatures(Type type, bool dual)
        {
            IEnumerable<string> methods = type.GetMethods().OrderBy(m => m.MetadataToken).Select(m => Signature(m, dual));
            return $"{type.Name} {type.GUID}\n{string.Join("\n", methods)}";
        }

        private static string Signature(MethodInfo method, bool dual)
        {
            var parameters = method.GetParameters().Select(Describe).ToList();
            // The dual interface's methods return an HRESULT and their value
            // through an unnamed last parameter.
            if (dual && method.ReturnType != typeof(void))
                parameters.Add($"out retval {TypeName(method.ReturnType)}*");
            string result = dual ? "HRESULT" : TypeName(method.ReturnType);
            int id = method.GetCustomAttribute<DispIdAttribute>()?.Value ?? -1;
            return $"[0x{id:X8}] {result} {method.Name}({string.Join(", ", parameters)})";
        }

        private static string Describe(ParameterInfo parameter)
        {
            Type type = parameter.ParameterType;
            string mode = type.IsByRef ? "in out" : "in";
            if (parameter.IsOptional) mode += " optional";
            if (parameter.HasDefaultValue) mode += $" default \"{parameter.DefaultValue}\"";
            string typeName = type.IsByRef ? TypeName(type.GetElementType()!) + "*" : TypeName(type);
            return $"{mode} {typeName} {parameter.Name}";
        }

        private static string TypeName(Type type) =>
            type == typeof(string) ? "BSTR" : type == typeof(bool) ? "VARIANT_BOOL" : type == typeof(short) ? "short"
            : type == typeof(int) ? "long" : type == typeof(void) ? "void" : $"unexpected {type}";

        // --- The type library ---

        private static string Signatures(ITypeLib library, Type type, bool dual)
        {
            Guid id = type.GUID;
            library.GetTypeInfoOfGuid(ref id, out ITypeInfo info);
            if (dual)
            {
                // The library hands out the dispatch view of a dual
                // interface; its method table is the referenced interface.
                info.GetRefTypeOfImplType(-1, out int reference);
                info.GetRefTypeInfo(reference, out info);
            }
            TYPEATTR attributes = Attributes(info);
            Equal(dual ? TYPEKIND.TKIND_INTERFACE : TYPEKIND.TKIND_DISPATCH, attributes.typekind, $"{type.Name}'s kind");
            var methods = Enumerable.Range(0, attributes.cFuncs).Select(i => Signature(info, i));
            return $"{Name(info)} {attributes.guid}\n{string.Join("\n", methods)}";
        }

        private static string Signature(ITypeInfo info, int index)
        {
            info.GetFuncDesc(index, out IntPtr pointer);
            try
            {
                FUNCDESC function = Marshal.PtrToStructure<FUNCDESC>(pointer);
                Equal(INVOKEKIND.INVOKE_FUNC, function.invkind, "invocation kind");
                var names = new string[function.cParams + 1];
                info.GetNames(function.memid, names, names.Length, out int named);
                int size = Marshal.SizeOf<ELEMDESC>();
                var parameters = Enumerable.Range(0, function.cParams).Select(i =>
                    Describe(Marshal.PtrToStructure<ELEMDESC>(function.lprgelemdescParam + i * size), i + 1 < named ? names[i + 1] : null));
                return $"[0x{function.memid:X8}] {TypeName(function.elemdescFunc.tdesc)} {names[0]}({string.Join(", ", parameters)})";
            }
            finally
            {
                info.ReleaseFuncDesc(pointer);
            }
        }

        private static string Describe(ELEMDESC element, string? name)
        {
            PARAMFLAG flags = element.desc.paramdesc.wParamFlags;
            var mode = new List<string>();
            if (flags.HasFlag(PARAMFLAG.PARAMFLAG_FIN)) mode.Add("in");
            if (flags.HasFlag(PARAMFLAG.PARAMFLAG_FOUT)) mode.Add("out");
            if (flags.HasFlag(PARAMFLAG.PARAMFLAG_FRETVAL)) mode.Add("retval");
            if (flags.HasFlag(PARAMFLAG.PARAMFLAG_FOPT)) mode.Add("optional");
            if (flags.HasFlag(PARAMFLAG.PARAMFLAG_FHASDEFAULT)) mode.Add($"default \"{DefaultValue(element.desc.paramdesc)}\"");
            string text = $"{string.Join(" ", mode)} {TypeName(element.tdesc)}";
            return name == null ? text : $"{text} {name}";
        }

        // PARAMDESCEX: a ULONG, then the VARIANT at its 8-byte alignment.
        private static object? DefaultValue(PARAMDESC description) =>
            Marshal.GetObjectForNativeVariant(description.lpVarValue + 8);

        private static string TypeName(TYPEDESC type)
        {
            var vt = (VarEnum)type.vt;
            if (vt == VarEnum.VT_PTR) return TypeName(Marshal.PtrToStructure<TYPEDESC>(type.lpValue)) + "*";
            return vt switch
            {
                VarEnum.VT_BSTR => "BSTR",
                VarEnum.VT_BOOL => "VARIANT_BOOL",
                VarEnum.VT_I2 => "short",
                VarEnum.VT_I4 => "long",
                VarEnum.VT_VOID => "void",
                VarEnum.VT_HRESULT => "HRESULT",
                _ => $"unexpected {vt}",
            };
        }
    }
}
