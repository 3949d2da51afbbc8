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
  *count = 1;
  return S_OK;
}

HRESULT VorlenObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(types_->dispatch()).detach();
  return S_OK;
}

HRESULT VorlenObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The system's lookup writes through both arrays unchecked.
  if (count > 0 && (names == nullptr || ids == nullptr)) return E_POINTER;
  return DispGetIDsOfNames(types_->dispatch(), names, count, ids);
}

HRESULT VorlenObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The system's dispatch reads both arrays unchecked.
  if (params != nullptr && ((params->cArgs > 0 && params->rgvarg == nullptr) ||
                            (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr))) {
    return E_INVALIDARG;
  }
  CallReference hold(static_cast<_Vorlen*>(this));
  if (params != nullptr && types_->TooManyArguments(id, params->cArgs)) {
    return DISP_E_BADPARAMCOUNT;
  }
  // The type information converts the arguments, supplies pdfPath's default
  // and turns a failed method with error information into DISP_E_EXCEPTION.
  return types_->dispatch()->Invoke(static_cast<_Vorlen*>(this), id, flags, params, result,
                                    exception, argError);
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

#define VORLEN_COM_METHOD(Setter, parameters, arguments)    \
  HRESULT VorlenObject::Setter(parameters) {                \
    return Call([&](Settings& s) { s.Setter(arguments); }); \
  }
VORLEN_SETTERS(VORLEN_COM_TEXT, VORLEN_COM_FLAG, VORLEN_COM_NONE, VORLEN_COM_RECORD)

// IConnectionPointContainer

HRESULT VorlenObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  return AtBoundary([&] {
    std::vector<ConnectionPointItems::Held> items{ComPtr<IConnectionPoint>(&point_)};
    if (FAILED(ConnectionPointEnumerator::Create(std::move(items), points))) {
      throw std::bad_alloc();
    }
  });
}

HRESULT VorlenObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(iid, DIID___Vorlen)) return CONNECT_E_NOCONNECTION;
  *point = ComPtr<IConnectionPoint>(&point_).detach();
  return S_OK;
}

// ISupportErrorInfo

HRESULT VorlenObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__Vorlen) ? S_OK : S_FALSE;
}

// IProvideClassInfo2

HRESULT VorlenObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  *info = ComPtr<ITypeInfo>(types_->coclass()).detach();
  return S_OK;
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
