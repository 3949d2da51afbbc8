#pragma once
// The COM object of class Vorlen: the dual interface _Vorlen over one core
// Vorlen object, with its connection point for __Vorlen, class information and
// error information. IDispatch is served from the embedded type library.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <utility>

#include "VorlenCOM.h"
#include "component/com_object.h"
#include "component/com_ptr.h"
#include "job/vorlen.h"

namespace vorlen::com {

class VorlenObject final : public _Vorlen,
                           public IConnectionPointContainer,
                           public ISupportErrorInfo,
                           public IProvideClassInfo2 {
 public:
  // A new object with the defaults of its settings, answering `iid`.
  static HRESULT Create(REFIID iid, void** object);

  explicit VorlenObject(ComPtr<ITypeInfo> dispatchInfo) : dispatchInfo_(std::move(dispatchInfo)) {}

  EventSource& events() { return core_.events(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return count_.Increment(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(this, count_); }

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

  RefCount count_;
  ComPtr<ITypeInfo> dispatchInfo_;
  Vorlen core_;
};

}  // namespace vorlen::com
