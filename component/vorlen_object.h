#pragma once
// The COM object of class Vorlen: the dual interface _Vorlen over one core
// Vorlen object, with its connection point for __Vorlen, class information and
// error information. IDispatch is served from the embedded type library,
// whose information every object shares (type_information.h).
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <memory>
#include <utility>

#include "VorlenCOM.h"
#include "component/counted_lifetime.h"
#include "component/connection_point.h"
#include "component/type_information.h"
#include "job/vorlen.h"

namespace vorlen::com {

class VorlenObject final
    : public ComClass<VorlenObject, CountedLifetime, _Vorlen, IConnectionPointContainer,
                      ISupportErrorInfo, IProvideClassInfo2> {
 public:
  // A new object with the defaults of its settings, answering `iid`.
  static HRESULT Create(REFIID iid, void** object);

  explicit VorlenObject(std::shared_ptr<const TypeInformation> types)
      : types_(std::move(types)), point_(*this, core_.events()) {}

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

  // _Vorlen
  HRESULT STDMETHODCALLTYPE Convert(BSTR xmlPath, BSTR pdfPath, LONG* result) override;
  HRESULT STDMETHODCALLTYPE SetVorlenPath(BSTR exePath) override;
  HRESULT STDMETHODCALLTYPE AddStyleSheet(BSTR cssPath) override;
  HRESULT STDMETHODCALLTYPE ClearStyleSheets() override;
  HRESULT STDMETHODCALLTYPE SetHTML(VARIANT_BOOL html) override;
  HRESULT STDMETHODCALLTYPE SetLog(BSTR logFile) override;
  HRESULT STDMETHODCALLTYPE SetBaseURL(BSTR baseurl) override;
  HRESULT STDMETHODCALLTYPE SetXInclude(VARIANT_BOOL xinclude) override;
  HRESULT STDMETHODCALLTYPE SetEmbedFonts(VARIANT_BOOL embed) override;
  HRESULT STDMETHODCALLTYPE SetCompress(VARIANT_BOOL compress) override;
  HRESULT STDMETHODCALLTYPE SetEncrypt(VARIANT_BOOL encrypt) override;
  HRESULT STDMETHODCALLTYPE SetEncryptInfo(short keyBits, BSTR userPassword, BSTR ownerPassword,
                                           VARIANT_BOOL disallowPrint, VARIANT_BOOL disallowModify,
                                           VARIANT_BOOL disallowCopy,
                                           VARIANT_BOOL disallowAnnotate) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

 private:
  // Runs one setter of the core under the method's own reference.
  template <class Body>
  HRESULT Call(Body&& body);

  std::shared_ptr<const TypeInformation> types_;
  Vorlen core_;
  ConnectionPoint point_;  // after core_, whose event source it serves
};

}  // namespace vorlen::com
