// A registry key of a test's own below HKEY_CURRENT_USER\Software\OrvixTest, created empty for
// each test and removed with everything below it afterwards. Uses the registry API directly so
// that the fixture does not rely on the holders it helps to test.
#pragma once

#include <windows.h>

#include <string>

namespace rezorev {

class RegistryTestKey {
 public:
  RegistryTestKey();
  ~RegistryTestKey();
  RegistryTestKey(const RegistryTestKey&) = delete;
  RegistryTestKey& operator=(const RegistryTestKey&) = delete;

  // Path below HKEY_CURRENT_USER, e.g. "Software\OrvixTest\Registry1234".
  const std::wstring& Path() const { return path_; }
  // Open handle of the key (KEY_ALL_ACCESS), owned by this fixture.
  HKEY Handle() const { return key_; }

  // Stores raw value data of any type and size, as a damaged or foreign writer might.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const;
  // True and the raw type and size of `name` when the value exists.
  bool QueryRaw(const wchar_t* name, DWORD* type, DWORD* bytes) const;
  bool HasSubKey(const wchar_t* path) const;

 private:
  std::wstring path_;
  HKEY key_ = nullptr;
};

}  // namespace rezorev
