#include "typelib_dump.h"

#include <cstring>
#include <sstream>
#include <vector>

#include "component/bstr.h"
#include "component/com_ptr.h"
#include "support.h"

namespace vorlen::test {
namespace {

using com::Bstr;

std::string Hex(unsigned long value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
}

std::string Flags(unsigned value, const std::vector<std::pair<unsigned, const char*>>& names) {
  std::string out;
  for (const auto& [bit, name] : names) {
    if (value & bit) {
      out += out.empty() ? "" : "|";
      out += name;
      value &= ~bit;
    }
  }
  if (value) out += (out.empty() ? "" : "|") + Hex(value);
  return out.empty() ? "0" : out;
}

std::string TypeFlags(unsigned flags) {
  return Flags(flags, {{TYPEFLAG_FAPPOBJECT, "APPOBJECT"},
                       {TYPEFLAG_FCANCREATE, "CANCREATE"},
                       {TYPEFLAG_FLICENSED, "LICENSED"},
                       {TYPEFLAG_FPREDECLID, "PREDECLID"},
                       {TYPEFLAG_FHIDDEN, "HIDDEN"},
                       {TYPEFLAG_FCONTROL, "CONTROL"},
                       {TYPEFLAG_FDUAL, "DUAL"},
                       {TYPEFLAG_FNONEXTENSIBLE, "NONEXTENSIBLE"},
                       {TYPEFLAG_FOLEAUTOMATION, "OLEAUTOMATION"},
                       {TYPEFLAG_FRESTRICTED, "RESTRICTED"},
                       {TYPEFLAG_FAGGREGATABLE, "AGGREGATABLE"},
                       {TYPEFLAG_FREPLACEABLE, "REPLACEABLE"},
                       {TYPEFLAG_FDISPATCHABLE, "DISPATCHABLE"},
                       {TYPEFLAG_FREVERSEBIND, "REVERSEBIND"},
                       {TYPEFLAG_FPROXY, "PROXY"}});
}

std::string ParamFlags(unsigned flags) {
  return Flags(flags, {{PARAMFLAG_FIN, "IN"},
                       {PARAMFLAG_FOUT, "OUT"},
                       {PARAMFLAG_FLCID, "LCID"},
                       {PARAMFLAG_FRETVAL, "RETVAL"},
                       {PARAMFLAG_FOPT, "OPT"},
                       {PARAMFLAG_FHASDEFAULT, "HASDEFAULT"},
                       {PARAMFLAG_FHASCUSTDATA, "HASCUSTDATA"}});
}

const char* TypeKind(TYPEKIND kind) {
  switch (kind) {
    case TKIND_ENUM:
      return "ENUM";
    case TKIND_RECORD:
      return "RECORD";
    case TKIND_MODULE:
      return "MODULE";
    case TKIND_INTERFACE:
      return "INTERFACE";
    case TKIND_DISPATCH:
      return "DISPATCH";
    case TKIND_COCLASS:
      return "COCLASS";
    case TKIND_ALIAS:
      return "ALIAS";
    case TKIND_UNION:
      return "UNION";
    default:
      return "?";
  }
}

const char* FuncKind(FUNCKIND kind) {
  switch (kind) {
    case FUNC_VIRTUAL:
      return "VIRTUAL";
    case FUNC_PUREVIRTUAL:
      return "PUREVIRTUAL";
    case FUNC_NONVIRTUAL:
      return "NONVIRTUAL";
    case FUNC_STATIC:
      return "STATIC";
    case FUNC_DISPATCH:
      return "DISPATCH";
    default:
      return "?";
  }
}

const char* InvokeKind(INVOKEKIND kind) {
  switch (kind) {
    case INVOKE_FUNC:
      return "FUNC";
    case INVOKE_PROPERTYGET:
      return "PROPGET";
    case INVOKE_PROPERTYPUT:
      return "PROPPUT";
    case INVOKE_PROPERTYPUTREF:
      return "PROPPUTREF";
    default:
      return "?";
  }
}

const char* CallConv(CALLCONV conv) {
  switch (conv) {
    case CC_STDCALL:
      return "STDCALL";
    case CC_CDECL:
      return "CDECL";
    default:
      return "?";
  }
}

std::string Vt(VARTYPE vt) {
  std::string flags;
  if (vt & VT_BYREF) flags += "BYREF|";
  if (vt & VT_ARRAY) flags += "ARRAY|";
  switch (vt & VT_TYPEMASK) {
    case VT_EMPTY:
      return flags + "EMPTY";
    case VT_I2:
      return flags + "I2";
    case VT_I4:
      return flags + "I4";
    case VT_BSTR:
      return flags + "BSTR";
    case VT_DISPATCH:
      return flags + "DISPATCH";
    case VT_BOOL:
      return flags + "BOOL";
    case VT_VARIANT:
      return flags + "VARIANT";
    case VT_UNKNOWN:
      return flags + "UNKNOWN";
    case VT_VOID:
      return flags + "VOID";
    case VT_HRESULT:
      return flags + "HRESULT";
    case VT_PTR:
      return flags + "PTR";
    case VT_USERDEFINED:
      return flags + "USERDEFINED";
    default:
      return flags + Hex(vt & VT_TYPEMASK);
  }
}

std::string TypeDesc(const TYPEDESC& desc) {
  if (desc.vt == VT_PTR) return "PTR(" + TypeDesc(*desc.lptdesc) + ")";
  return Vt(desc.vt);
}

std::string Variant(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR) return "BSTR\"" + Narrow(V_BSTR(&value)) + "\"";
  return Vt(V_VT(&value));
}

// Name, doc string, help context and help file of one member (or of the type
// info itself for MEMBERID_NIL).
std::string Documentation(ITypeInfo* info, MEMBERID id) {
  Bstr name, doc, file;
  DWORD context = 0;
  if (FAILED(info->GetDocumentation(id, name.slot(), doc.slot(), &context, file.slot()))) {
    return "doc=?";
  }
  std::string out = "doc=\"" + Narrow(doc.get()) + "\" context=" + std::to_string(context);
  if (file.get()) out += " helpfile=\"" + Narrow(file.get()) + "\"";
  return out;
}

std::string ContainingLibrary(ITypeInfo* info) {
  com::ComPtr<ITypeLib> library;
  UINT index = 0;
  if (FAILED(info->GetContainingTypeLib(library.put(), &index))) return "?";
  TLIBATTR* attr = nullptr;
  if (FAILED(library->GetLibAttr(&attr))) return "?";
  Bstr name;
  library->GetDocumentation(-1, name.slot(), nullptr, nullptr, nullptr);
  std::string out = Narrow(name.get()) + " " + Narrow(GuidText(attr->guid)) + " " +
                    std::to_string(attr->wMajorVerNum) + "." + std::to_string(attr->wMinorVerNum);
  library->ReleaseTLibAttr(attr);
  return out;
}

// IUnknown's and IDispatch's own members, which a dispatch view lists first.
bool Inherited(MEMBERID id) {
  return id >= 0x60000000 && id < 0x60020000;
}

void DumpFunctions(std::ostream& out, ITypeInfo* info, const TYPEATTR& attr) {
  for (UINT i = 0; i < attr.cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) {
      out << "  func " << i << " ?\n";
      continue;
    }
    if (Inherited(func->memid)) {
      info->ReleaseFuncDesc(func);
      continue;
    }
    BSTR raw[16] = {};
    UINT count = 0;
    info->GetNames(func->memid, raw, 16, &count);
    std::vector<Bstr> names;
    for (UINT n = 0; n < count; ++n) names.push_back(Bstr::Adopt(raw[n]));
    if (names.empty()) names.emplace_back();
    out << "  func " << Narrow(names[0].get()) << " memid=" << Hex(static_cast<ULONG>(func->memid))
        << " kind=" << FuncKind(func->funckind) << " invoke=" << InvokeKind(func->invkind)
        << " callconv=" << CallConv(func->callconv) << " params=" << func->cParams
        << " optional=" << func->cParamsOpt;
    // The method-table slot; the system reports offsets in its own pointer size.
    if (func->funckind == FUNC_PUREVIRTUAL) out << " slot=" << func->oVft / sizeof(void*);
    out << " flags=" << Hex(func->wFuncFlags) << " result=" << TypeDesc(func->elemdescFunc.tdesc)
        << " names=" << count << " " << Documentation(info, func->memid) << "\n";
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& param = func->lprgelemdescParam[p];
      const UINT nameIndex = static_cast<UINT>(p) + 1;
      out << "    param " << (nameIndex < count ? Narrow(names[nameIndex].get()) : "-")
          << " type=" << TypeDesc(param.tdesc)
          << " flags=" << ParamFlags(param.paramdesc.wParamFlags);
      if ((param.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) && param.paramdesc.pparamdescex) {
        out << " default=" << Variant(param.paramdesc.pparamdescex->varDefaultValue);
      }
      out << "\n";
    }
    info->ReleaseFuncDesc(func);
  }
}

void DumpTypeInfo(std::ostream& out, ITypeInfo* info, const char* label, unsigned pointerSize) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) {
    out << label << " ?\n";
    return;
  }
  Bstr name;
  info->GetDocumentation(MEMBERID_NIL, name.slot(), nullptr, nullptr, nullptr);
  out << label << " " << Narrow(name.get()) << " " << TypeKind(attr->typekind) << " "
      << Narrow(GuidText(attr->guid)) << " version=" << attr->wMajorVerNum << "."
      << attr->wMinorVerNum << " flags=" << TypeFlags(attr->wTypeFlags) << " funcs=" << attr->cFuncs
      << " vars=" << attr->cVars << " impls=" << attr->cImplTypes;
  if (attr->typekind == TKIND_INTERFACE) out << " slots=" << attr->cbSizeVft / pointerSize;
  out << " lcid=" << Hex(attr->lcid) << " " << Documentation(info, MEMBERID_NIL) << "\n";
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    HREFTYPE ref = 0;
    INT implFlags = 0;
    com::ComPtr<ITypeInfo> implemented;
    info->GetImplTypeFlags(i, &implFlags);
    if (FAILED(info->GetRefTypeOfImplType(i, &ref)) ||
        FAILED(info->GetRefTypeInfo(ref, implemented.put()))) {
      out << "  impl " << i << " ?\n";
      continue;
    }
    Bstr implName;
    implemented->GetDocumentation(MEMBERID_NIL, implName.slot(), nullptr, nullptr, nullptr);
    out << "  impl " << Narrow(implName.get()) << " flags="
        << Flags(static_cast<unsigned>(implFlags), {{IMPLTYPEFLAG_FDEFAULT, "DEFAULT"},
                                                    {IMPLTYPEFLAG_FSOURCE, "SOURCE"},
                                                    {IMPLTYPEFLAG_FRESTRICTED, "RESTRICTED"},
                                                    {IMPLTYPEFLAG_FDEFAULTVTABLE, "DEFAULTVTABLE"}})
        << " from=" << ContainingLibrary(implemented.get()) << "\n";
  }
  DumpFunctions(out, info, *attr);
  const bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
  info->ReleaseTypeAttr(attr);
  if (dual) {
    HREFTYPE ref = 0;
    com::ComPtr<ITypeInfo> vtable;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(info->GetRefTypeInfo(ref, vtable.put()))) {
      DumpTypeInfo(out, vtable.get(), " vtable", pointerSize);
    } else {
      out << " vtable ?\n";
    }
  }
}

}  // namespace

std::string DumpTypeLib(ITypeLib* library) {
  std::ostringstream out;
  TLIBATTR* attr = nullptr;
  if (FAILED(library->GetLibAttr(&attr))) return "library ?";
  Bstr name, doc, file;
  DWORD context = 0;
  library->GetDocumentation(-1, name.slot(), doc.slot(), &context, file.slot());
  const char* syskind = attr->syskind == SYS_WIN32   ? "WIN32"
                        : attr->syskind == SYS_WIN64 ? "WIN64"
                                                     : "?";
  out << "library " << Narrow(name.get()) << " " << Narrow(GuidText(attr->guid))
      << " version=" << attr->wMajorVerNum << "." << attr->wMinorVerNum
      << " lcid=" << Hex(attr->lcid) << " syskind="
      << syskind
      // The system marks every library loaded from a file with FHASDISKIMAGE.
      << " flags=" << Hex(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE) << " doc=\""
      << Narrow(doc.get()) << "\" context=" << context << " helpfile=\"" << Narrow(file.get())
      << "\""
      << " types=" << library->GetTypeInfoCount() << "\n";
  const unsigned pointerSize = attr->syskind == SYS_WIN64 ? 8 : 4;
  library->ReleaseTLibAttr(attr);
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    com::ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfo(i, info.put()))) {
      out << "type " << i << " ?\n";
      continue;
    }
    DumpTypeInfo(out, info.get(), "type", pointerSize);
  }
  return out.str();
}

bool ReadHeaderLocales(const std::wstring& module, HeaderLocales& out) {
  HMODULE data = LoadLibraryExW(module.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (data == nullptr) return false;
  bool found = false;
  if (HRSRC resource = FindResourceW(data, MAKEINTRESOURCEW(1), L"TYPELIB")) {
    HGLOBAL loaded = LoadResource(data, resource);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    if (bytes && SizeofResource(data, resource) >= 0x14 && std::memcmp(bytes, "MSFT", 4) == 0) {
      std::memcpy(&out.own, bytes + 0x0C, 4);
      std::memcpy(&out.registered, bytes + 0x10, 4);
      found = true;
    }
  }
  FreeLibrary(data);
  return found;
}

}  // namespace vorlen::test
