#include "component/vorlen_object.h"

#include <oleauto.h>

#include "component/boundary.h"
#include "component/bstr.h"
#include "component/enumerator.h"

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

}  // namespace

HRESULT VorlenObject::Create(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::shared_ptr<const TypeInformation> types;
  HRESULT hr = TypeInformation::Shared(types);
  if (FAILED(hr)) return hr;
  ComPtr<_Vorlen> created;
  hr = AtBoundary([&] {
    VorlenObject* fresh = NewObject<VorlenObject>(std::move(types));
    if (fresh == nullptr) throw std::bad_alloc();
    created = ComPtr<_Vorlen>::Adopt(fresh);
  });
  if (FAILED(hr)) return hr;
  return created->QueryInterface(iid, object);
}

// IDispatch, from the type information of _Vorlen.

HRESULT VorlenObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return own_.Enter([&] { *count = 1; });
}

HRESULT VorlenObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return own_.Enter([&] {
    if (index != 0) return DISP_E_BADINDEX;
    *info = ComPtr<ITypeInfo>(types_->dispatch()).detach();
    return S_OK;
  });
}

HRESULT VorlenObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The system's lookup writes through both arrays unchecked.
  if (count > 0 && (names == nullptr || ids == nullptr)) return E_POINTER;
  return own_.Enter([&] { return DispGetIDsOfNames(types_->dispatch(), names, count, ids); });
}

HRESULT VorlenObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The system's dispatch reads both arrays unchecked.
  if (params != nullptr && ((params->cArgs > 0 && params->rgvarg == nullptr) ||
                            (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr))) {
    return E_INVALIDARG;
  }
  // Refused here, before the type information, which would report the
  // refusal of the method it calls as an exception (DISP_E_EXCEPTION).
  return own_.Enter([&] {
    CallReference hold(static_cast<_Vorlen*>(this));
    if (params != nullptr && types_->TooManyArguments(id, params->cArgs)) {
      return DISP_E_BADPARAMCOUNT;
    }
    // The type information converts the arguments, supplies pdfPath's default
    // and turns a failed method with error information into DISP_E_EXCEPTION.
    return types_->dispatch()->Invoke(static_cast<_Vorlen*>(this), id, flags, params, result,
                                      exception, argError);
  });
}

// _Vorlen

template <class Body>
HRESULT VorlenObject::Call(Body&& body) {
  return own_.Enter([&] {
    CallReference hold(static_cast<_Vorlen*>(this));
    body(core_);
  });
}

HRESULT VorlenObject::Convert(BSTR xmlPath, BSTR pdfPath, LONG* result) {
  if (result == nullptr) return E_POINTER;
  *result = 0;  // also the result of every failed conversion
  return Call([&](Vorlen& core) { *result = core.Convert(ToText(xmlPath), ToText(pdfPath)); });
}

#define VORLEN_COM_METHOD(Setter, parameters, arguments)                   \
  HRESULT VorlenObject::Setter(parameters) {                               \
    return Call([&](Vorlen& core) { core.settings().Setter(arguments); }); \
  }
VORLEN_SETTERS(VORLEN_COM_TEXT, VORLEN_COM_FLAG, VORLEN_COM_NONE, VORLEN_COM_RECORD)

// IConnectionPointContainer

HRESULT VorlenObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  return own_.Enter([&] {
    std::vector<ConnectionPointItems::Held> items{ComPtr<IConnectionPoint>(&point_)};
    if (FAILED(ConnectionPointEnumerator::Create(std::move(items), points))) {
      throw std::bad_alloc();
    }
  });
}

HRESULT VorlenObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  return own_.Enter([&] {
    if (!IsEqualIID(iid, DIID___Vorlen)) return CONNECT_E_NOCONNECTION;
    *point = ComPtr<IConnectionPoint>(&point_).detach();
    return S_OK;
  });
}

// ISupportErrorInfo

HRESULT VorlenObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return own_.Enter([&] { return IsEqualIID(iid, IID__Vorlen) ? S_OK : S_FALSE; });
}

// IProvideClassInfo2

HRESULT VorlenObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return own_.Enter([&] { *info = ComPtr<ITypeInfo>(types_->coclass()).detach(); });
}

HRESULT VorlenObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = GUID_NULL;
  return own_.Enter([&] {
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID___Vorlen;
    return S_OK;
  });
}

}  // namespace vorlen::com
