#ifndef QM_BASE_SCOPEDHANDLE_H
#define QM_BASE_SCOPEDHANDLE_H

// Move-only owner of one Win32 handle; a traits struct per handle kind says
// how to close it. Both null and INVALID_HANDLE_VALUE count as empty.

#include <windows.h>

#include <utility>

template <class Traits>
class TScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  TScopedHandle() = default;
  explicit TScopedHandle(Handle h) : FHandle(h) {}
  TScopedHandle(const TScopedHandle&) = delete;
  TScopedHandle& operator=(const TScopedHandle&) = delete;
  TScopedHandle(TScopedHandle&& o) noexcept : FHandle(o.Take()) {}
  TScopedHandle& operator=(TScopedHandle&& o) noexcept {
    if (this != &o) Reset(o.Take());
    return *this;
  }
  ~TScopedHandle() { Reset(); }

  bool IsValid() const { return Traits::IsValid(FHandle); }
  Handle Get() const { return FHandle; }
  // The handle's address, for APIs that return one; closes the old one first.
  Handle* Receive() {
    Reset();
    return &FHandle;
  }
  Handle Take() { return std::exchange(FHandle, Traits::Null()); }
  void Reset(Handle h = Traits::Null()) {
    if (Traits::IsValid(FHandle)) Traits::Close(FHandle);
    FHandle = h;
  }

 private:
  Handle FHandle = Traits::Null();
};

struct TFileTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using TFileHandle = TScopedHandle<TFileTraits>;  // also processes and threads

struct TFindTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
using TFindHandle = TScopedHandle<TFindTraits>;

struct TRegKeyTraits {
  using Handle = HKEY;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
using TRegKey = TScopedHandle<TRegKeyTraits>;

struct TGdiTraits {
  using Handle = HGDIOBJ;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};
using TGdiObject = TScopedHandle<TGdiTraits>;

#endif
