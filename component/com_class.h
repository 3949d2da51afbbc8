#pragma once
// The one IUnknown of the component's COM classes, and of the client's sink:
// QueryInterface answers from the class's own table of interface identifiers,
// AddRef and Release follow the class's lifetime.
//
// A class derives from ComClass<Itself, Lifetime, Interface...> and lists what
// it answers in a public `Interfaces()`, an array of Answer rows; the first
// row is its IUnknown, which must be the same pointer every time.
#include <windows.h>

#include <unknwn.h>

#include <utility>

namespace vorlen::com {

// One row of a QueryInterface table: an identifier and the interface that answers it.
struct Answer {
  const IID* iid;
  IUnknown* face;
};

// Lives as long as the module or the program: references are not counted.
struct StaticLifetime {
  ULONG AddRef() { return 2; }
  template <class Object>
  ULONG Release(Object*) {
    return 1;
  }
};

// A heap object's counted references: the last Release deletes it.
class HeapLifetime {
 public:
  HeapLifetime() = default;
  HeapLifetime(const HeapLifetime&) = delete;
  HeapLifetime& operator=(const HeapLifetime&) = delete;

  ULONG AddRef() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  template <class Object>
  ULONG Release(Object* object) {
    const ULONG remaining = static_cast<ULONG>(InterlockedDecrement(&count_));
    if (remaining == 0) delete object;
    return remaining;
  }

 private:
  LONG count_ = 1;
};

// A part of another object (as a connection point is of its object): every
// reference is one on the owner, so the part lives exactly as long.
class PartLifetime {
 public:
  explicit PartLifetime(IUnknown& owner) : owner_(owner) {}
  ULONG AddRef() { return owner_.AddRef(); }
  template <class Object>
  ULONG Release(Object*) {
    return owner_.Release();
  }

 private:
  IUnknown& owner_;
};

template <class Derived, class Lifetime, class... Faces>
class ComClass : public Faces... {
 public:
  ComClass(const ComClass&) = delete;
  ComClass& operator=(const ComClass&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    for (const Answer& row : static_cast<Derived*>(this)->Interfaces()) {
      if (IsEqualIID(iid, *row.iid)) {
        row.face->AddRef();
        *object = row.face;
        return S_OK;
      }
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return lifetime_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    return lifetime_.Release(static_cast<Derived*>(this));
  }

 protected:
  template <class... Args>
  explicit ComClass(Args&&... args) : lifetime_(std::forward<Args>(args)...) {}
  ~ComClass() = default;

 private:
  Lifetime lifetime_;
};

}  // namespace vorlen::com
