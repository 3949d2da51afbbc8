#pragma once
// The COM object of class Vorlen: the dual interface _Vorlen over one core
// Vorlen object, with its connection point for __Vorlen, class information and
// error information. IDispatch is served from the embedded type library,
// whose information every object shares (type_information.h). Every method
// but IUnknown's, here and on the connection point, is entered on the
// object's own thread only (own_thread.h).
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <memory>
#include <utility>

#include "VorlenCOM.h"
#include "component/connection_point.h"
#include "component/counted_lifetime.h"
#include "component/own_thread.h"
#include "component/type_information.h"
#include "job/vorlen.h"

namespace vorlen::com {

// Each setter of setting_list.h as VORLEN_COM_METHOD(Setter, its parameters as
// widl declares them, the arguments of the core's setter). A VARIANT_BOOL is
// a Flag already.
#define VORLEN_COM_TEXT(Setter, id, parameter, ...) \
  VORLEN_COM_METHOD(Setter, BSTR parameter, ToText(parameter))
#define VORLEN_COM_FLAG(Setter, id, parameter, ...) \
  VORLEN_COM_METHOD(Setter, VARIANT_BOOL parameter, parameter)
#define VORLEN_COM_NONE(Setter, ...) VORLEN_COM_METHOD(Setter, , )
#define VORLEN_COM_RECORD(Setter, ...)                                                             \
  VORLEN_COM_METHOD(Setter, VORLEN_ENCRYPTION(VORLEN_COM_SHORT, VORLEN_COM_BSTR, VORLEN_COM_BOOL), \
                    VORLEN_ENCRYPTION(VORLEN_SAME, ToText, VORLEN_SAME))
#define VORLEN_COM_SHORT(name) short name
#define VORLEN_COM_BSTR(name) BSTR name
#define VORLEN_COM_BOOL(name) VARIANT_BOOL name

class VorlenObject final
    : public ComClass<VorlenObject, CountedLifetime, _Vorlen, IConnectionPointContainer,
                      ISupportErrorInfo, IProvideClassInfo2> {
 public:
  // A new object with the defaults of its settings, answering `iid`.
  static HRESULT Create(REFIID iid, void** object);

  explicit VorlenObject(std::shared_ptr<const TypeInformation> types)
      : types_(std::move(types)), point_(*this, core_.events(), own_) {}

  std::array<Answer, 7> Interfaces() {
    _Vorlen* dual = this;
    IProvideClassInfo2* classInfo = this;
    return {{{&IID_IUnknown, dual},
             {&IID_IDispatch, dual},
             {&IID__Vorlen, dual},
             {&IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)},
             {&IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)},
             {&IID_IProvideClassInfo, classInfo},
             {&IID_IProvideClassInfo2, classInfo}}};
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _Vorlen: Convert, and the setters of setting_list.h.
  HRESULT STDMETHODCALLTYPE Convert(BSTR xmlPath, BSTR pdfPath, LONG* result) override;
#define VORLEN_COM_METHOD(Setter, parameters, arguments) \
  HRESULT STDMETHODCALLTYPE Setter(parameters) override;
  VORLEN_SETTERS(VORLEN_COM_TEXT, VORLEN_COM_FLAG, VORLEN_COM_NONE, VORLEN_COM_RECORD)
#undef VORLEN_COM_METHOD

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

 private:
  // Runs a method of _Vorlen that reaches the core, on the object's own
  // thread and under the method's own reference.
  template <class Body>
  HRESULT Call(Body&& body);

  const OwnThread own_;  // first: the connection point shares it
  std::shared_ptr<const TypeInformation> types_;
  Vorlen core_;
  ConnectionPoint point_;  // after core_, whose event source it serves
};

}  // namespace vorlen::com
