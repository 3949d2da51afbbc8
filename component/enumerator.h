#pragma once
// The standard enumerators (IEnumConnectionPoints, IEnumConnections) over a
// snapshot taken when the enumerator is made: later connections do not
// change an enumeration in progress.
#include <windows.h>

#include <ocidl.h>

#include <algorithm>
#include <array>
#include <vector>

#include "component/com_ptr.h"
#include "component/counted_lifetime.h"

namespace vorlen::com {

struct ConnectionPointItems {
  using Item = IConnectionPoint*;
  using Held = ComPtr<IConnectionPoint>;
  static Item CopyOut(const Held& held) {
    held->AddRef();
    return held.get();
  }
};

struct ConnectionItems {
  using Item = CONNECTDATA;
  struct Held {
    ComPtr<IUnknown> sink;
    DWORD cookie;
  };
  static Item CopyOut(const Held& held) {
    held.sink->AddRef();
    return CONNECTDATA{held.sink.get(), held.cookie};
  }
};

template <class Interface, class Items>
class Enumerator final : public ComClass<Enumerator<Interface, Items>, CountedLifetime, Interface> {
 public:
  using Item = typename Items::Item;
  using Held = typename Items::Held;

  Enumerator(std::vector<Held> items, std::size_t position)
      : items_(std::move(items)), position_(position) {}

  std::array<Answer, 2> Interfaces() {
    return {{{&IID_IUnknown, this}, {&__uuidof(Interface), this}}};
  }

  static HRESULT Create(std::vector<Held> items, Interface** out) {
    if (out == nullptr) return E_POINTER;
    *out = NewObject<Enumerator>(std::move(items), std::size_t{0});
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG done = 0;
    for (; done < count && position_ < items_.size(); ++done) {
      out[done] = Items::CopyOut(items_[position_++]);
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    if (out == nullptr) return E_POINTER;
    try {
      *out = NewObject<Enumerator>(items_, position_);
    } catch (...) {
      *out = nullptr;
    }
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::vector<Held> items_;
  std::size_t position_;
};

using ConnectionPointEnumerator = Enumerator<IEnumConnectionPoints, ConnectionPointItems>;
using ConnectionEnumerator = Enumerator<IEnumConnections, ConnectionItems>;

}  // namespace vorlen::com
