// ScopedHandle: the one owner of a system handle.
//
// Holds a handle together with its deleter and the value that means "empty" (0 for a mutex,
// INVALID_HANDLE_VALUE for a file). Reset and destruction call the deleter when the held value is
// not the empty value, and restore the thread's last error afterwards, so that a caller can read
// GetLastError() of the failing call after its owners went out of scope. Moves, never copies.
#pragma once

#include <windows.h>

#include <utility>

namespace rezorev {

template <typename T, typename Traits>
class ScopedGeneric {
 public:
  ScopedGeneric() = default;
  explicit ScopedGeneric(T value) : value_(value) {}
  ~ScopedGeneric() { Reset(); }
  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.Release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;

  bool IsValid() const { return value_ != Traits::Empty(); }
  T Get() const { return value_; }
  T Release() { return std::exchange(value_, Traits::Empty()); }
  void Reset(T value = Traits::Empty()) {
    if (value_ != Traits::Empty()) {
      DWORD lastError = ::GetLastError();
      Traits::Free(value_);
      ::SetLastError(lastError);
    }
    value_ = value;
  }

 private:
  T value_ = Traits::Empty();
};

struct FileHandleTraits {  // CreateFile results: INVALID_HANDLE_VALUE is empty
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {  // mutexes, processes, threads, events: 0 is empty
  static HANDLE Empty() { return nullptr; }
  static void Free(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { ::FindClose(h); }
};
struct ModuleHandleTraits {
  static HMODULE Empty() { return nullptr; }
  static void Free(HMODULE h) { ::FreeLibrary(h); }
};

using ScopedHandle = ScopedGeneric<HANDLE, FileHandleTraits>;
using ScopedKernelHandle = ScopedGeneric<HANDLE, KernelHandleTraits>;
using ScopedFindHandle = ScopedGeneric<HANDLE, FindHandleTraits>;
using ScopedModule = ScopedGeneric<HMODULE, ModuleHandleTraits>;

}  // namespace rezorev
