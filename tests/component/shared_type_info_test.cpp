// The type information that the module loads once and shares: objects made on
// two threads at once while nothing is loaded yet, and the module unloading
// after the last object with the information let go, whether the client asks
// DllCanUnloadNow first or not. A private copy of the module is used, so that
// unloading it is this test's to decide.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include "VorlenCOM.h"
#include "support.h"

namespace vorlen::test {
namespace {

constexpr DISPID kSetHTML = 0x6003000B;

class PrivateModule {
 public:
  explicit PrivateModule(const std::wstring& path) : handle_(LoadLibraryW(path.c_str())) {
    if (handle_ == nullptr) return;
    getClassObject_ = Export<decltype(getClassObject_)>("DllGetClassObject");
    canUnloadNow_ = Export<decltype(canUnloadNow_)>("DllCanUnloadNow");
  }
  PrivateModule(const PrivateModule&) = delete;
  PrivateModule& operator=(const PrivateModule&) = delete;
  ~PrivateModule() { Unload(); }

  bool loaded() const { return handle_ != nullptr; }
  HRESULT CanUnloadNow() const { return canUnloadNow_(); }
  void Unload() {
    if (handle_ != nullptr) FreeLibrary(std::exchange(handle_, nullptr));
  }

  // Makes `count` objects one after the other and calls each late-bound;
  // `seen` keeps the type information the first one served.
  void UseObjects(int count, ComPtr<ITypeInfo>& seen) const {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(CLSID_Vorlen, IID_IClassFactory, factory.put_void()), S_OK);
    for (int i = 0; i < count; ++i) {
      ComPtr<IDispatch> object;
      ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.put_void()), S_OK);
      ComPtr<ITypeInfo> info;
      ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
      if (!seen) seen = info;
      EXPECT_EQ(info.get(), seen.get()) << "one type information for every object";
      LPOLESTR name[] = {const_cast<LPOLESTR>(L"SetHTML")};
      DISPID id = 0;
      ASSERT_EQ(object->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
      EXPECT_EQ(id, kSetHTML);
      VARIANTARG args[2];
      for (VARIANTARG& arg : args) {
        VariantInit(&arg);
        V_VT(&arg) = VT_BOOL;
        V_BOOL(&arg) = VARIANT_TRUE;
      }
      DISPPARAMS one{args, nullptr, 1, 0}, two{args, nullptr, 2, 0};
      EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
                S_OK);
      EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, nullptr),
                DISP_E_BADPARAMCOUNT);
    }
  }

 private:
  template <class Function>
  Function Export(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(handle_, name)));
  }

  HMODULE handle_;
  HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
};

TEST(SharedTypeInformation, TwoThreadsShareItAndTheModuleUnloadsAfterTheLastObject) {
  const std::wstring path = TempDir() + L"VORLEN-private.dll";
  ASSERT_TRUE(CopyFileW(OwnDll().c_str(), path.c_str(), FALSE));
  {
    PrivateModule module(path);
    ASSERT_TRUE(module.loaded());

    // Both threads start together, before anything is loaded.
    ComPtr<ITypeInfo> seen[2];
    std::atomic<int> ready = 0;
    const auto work = [&](int index) {
      Apartment apartment;
      ++ready;
      while (ready < 2) std::this_thread::yield();
      module.UseObjects(50, seen[index]);
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    ASSERT_TRUE(seen[0] && seen[1]);
    EXPECT_EQ(seen[0].get(), seen[1].get());
    seen[0].Reset();
    seen[1].Reset();
    EXPECT_EQ(module.CanUnloadNow(), S_OK) << "the shared information keeps nothing alive";

    // Loaded again after it was let go; then unloaded without asking first.
    Apartment apartment;
    ComPtr<ITypeInfo> again;
    module.UseObjects(2, again);
    again.Reset();
    module.Unload();
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);

    PrivateModule reloaded(path);
    ASSERT_TRUE(reloaded.loaded());
    ComPtr<ITypeInfo> fresh;
    reloaded.UseObjects(2, fresh);
    fresh.Reset();
    EXPECT_EQ(reloaded.CanUnloadNow(), S_OK);
  }
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace vorlen::test
