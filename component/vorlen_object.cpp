#include "component/vorlen_object.h"

#include <oleauto.h>

#include "component/boundary.h"
#include "component/bstr.h"
#include "component/connection_point.h"
#include "component/enumerator.h"
#include "component/type_library.h"

namespace vorlen::com {
namespace {

// One reference on the object for the length of a call, given back on every
// way out: a client that releases its last reference from a Message handler
// does not pull the object away under a running Convert.
class CallReference {
 public:
  explicit CallReference(IUnknown* object) : object_(object) { object_->AddRef(); }
  CallReference(const CallReference&) = delete;
  CallReference& operator=(const CallReference&) = delete;
  ~CallReference() { object_->Release(); }

 private:
  IUnknown* object_;
};

Flag ToFlag(VARIANT_BOOL value) {
  return static_cast<Flag>(value);
}

// More arguments than the method has must fail with DISP_E_BADPARAMCOUNT;
// not every system's ITypeInfo::Invoke checks that, some drop the surplus.
HRESULT CheckArgumentCount(ITypeInfo* info, DISPID id, const DISPPARAMS* params) {
  TYPEATTR* attr = nullptr;
  if (params == nullptr || FAILED(info->GetTypeAttr(&attr))) return S_OK;
  const UINT functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < functions; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    const bool match = func->memid == id && func->invkind == INVOKE_FUNC;
    const bool tooMany = params->cArgs > static_cast<UINT>(func->cParams);
    info->ReleaseFuncDesc(func);
    if (match) return tooMany ? DISP_E_BADPARAMCOUNT : S_OK;
  }
  return S_OK;  // Invoke itself reports unknown members
}

}  // namespace

HRESULT VorlenObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<ITypeInfo> info;
  HRESULT hr = LoadEmbeddedTypeInfo(IID__Vorlen, info);
  if (FAILED(hr)) return hr;
  ComPtr<_Vorlen> created;
  hr = AtBoundary([&] {
    VorlenObject* fresh = NewObject<VorlenObject>(std::move(info));
    if (fresh == nullptr) throw std::bad_alloc();
    created = ComPtr<_Vorlen>::Adopt(fresh);
  });
  if (FAILED(hr)) return hr;
  return created->QueryInterface(iid, object);
}

HRESULT VorlenObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID__Vorlen)) {
    *object = static_cast<_Vorlen*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

// IDispatch, from the type information of _Vorlen.

HRESULT VorlenObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT VorlenObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(dispatchInfo_).detach();
  return S_OK;
}

HRESULT VorlenObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(dispatchInfo_.get(), names, count, ids);
}

HRESULT VorlenObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  CallReference hold(static_cast<_Vorlen*>(this));
  const HRESULT count = CheckArgumentCount(dispatchInfo_.get(), id, params);
  if (FAILED(count)) return count;
  // The type information converts the arguments, supplies pdfPath's default
  // and turns a failed method with error information into DISP_E_EXCEPTION.
  return dispatchInfo_->Invoke(static_cast<_Vorlen*>(this), id, flags, params, result, exception,
                               argError);
}

// _Vorlen

template <class Body>
HRESULT VorlenObject::Call(Body&& body) {
  CallReference hold(static_cast<_Vorlen*>(this));
  return AtBoundary([&] { body(core_.settings()); });
}

HRESULT VorlenObject::Convert(BSTR xmlPath, BSTR pdfPath, LONG* result) {
  if (result == nullptr) return E_POINTER;
  *result = 0;  // also the result of every failed conversion
  CallReference hold(static_cast<_Vorlen*>(this));
  return AtBoundary([&] { *result = core_.Convert(ToText(xmlPath), ToText(pdfPath)); });
}

HRESULT VorlenObject::SetVorlenPath(BSTR exePath) {
  return Call([&](Settings& s) { s.SetVorlenPath(ToText(exePath)); });
}

HRESULT VorlenObject::AddStyleSheet(BSTR cssPath) {
  return Call([&](Settings& s) { s.AddStyleSheet(ToText(cssPath)); });
}

HRESULT VorlenObject::ClearStyleSheets() {
  return Call([&](Settings& s) { s.ClearStyleSheets(); });
}

HRESULT VorlenObject::SetHTML(VARIANT_BOOL html) {
  return Call([&](Settings& s) { s.SetHTML(ToFlag(html)); });
}

HRESULT VorlenObject::SetLog(BSTR logFile) {
  return Call([&](Settings& s) { s.SetLog(ToText(logFile)); });
}

HRESULT VorlenObject::SetBaseURL(BSTR baseurl) {
  return Call([&](Settings& s) { s.SetBaseURL(ToText(baseurl)); });
}

HRESULT VorlenObject::SetXInclude(VARIANT_BOOL xinclude) {
  return Call([&](Settings& s) { s.SetXInclude(ToFlag(xinclude)); });
}

HRESULT VorlenObject::SetEmbedFonts(VARIANT_BOOL embed) {
  return Call([&](Settings& s) { s.SetEmbedFonts(ToFlag(embed)); });
}

HRESULT VorlenObject::SetCompress(VARIANT_BOOL compress) {
  return Call([&](Settings& s) { s.SetCompress(ToFlag(compress)); });
}

HRESULT VorlenObject::SetEncrypt(VARIANT_BOOL encrypt) {
  return Call([&](Settings& s) { s.SetEncrypt(ToFlag(encrypt)); });
}

HRESULT VorlenObject::SetEncryptInfo(short keyBits, BSTR userPassword, BSTR ownerPassword,
                                     VARIANT_BOOL disallowPrint, VARIANT_BOOL disallowModify,
                                     VARIANT_BOOL disallowCopy, VARIANT_BOOL disallowAnnotate) {
  return Call([&](Settings& s) {
    s.SetEncryptInfo(keyBits, ToText(userPassword), ToText(ownerPassword), ToFlag(disallowPrint),
                     ToFlag(disallowModify), ToFlag(disallowCopy), ToFlag(disallowAnnotate));
  });
}

// IConnectionPointContainer

HRESULT VorlenObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  ComPtr<IConnectionPoint> point;
  const HRESULT hr = ConnectionPoint::Create(this, core_.events(), point.put());
  if (FAILED(hr)) return hr;
  return AtBoundary([&] {
    std::vector<ConnectionPointItems::Held> items{point};
    if (FAILED(ConnectionPointEnumerator::Create(std::move(items), points))) {
      throw std::bad_alloc();
    }
  });
}

HRESULT VorlenObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(iid, DIID___Vorlen)) return CONNECT_E_NOCONNECTION;
  return ConnectionPoint::Create(this, core_.events(), point);
}

// ISupportErrorInfo

HRESULT VorlenObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__Vorlen) ? S_OK : S_FALSE;
}

// IProvideClassInfo2

HRESULT VorlenObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ComPtr<ITypeInfo> classInfo;
  const HRESULT hr = LoadEmbeddedTypeInfo(CLSID_Vorlen, classInfo);
  if (SUCCEEDED(hr)) *info = classInfo.detach();
  return hr;
}

HRESULT VorlenObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___Vorlen;
  return S_OK;
}

}  // namespace vorlen::com
