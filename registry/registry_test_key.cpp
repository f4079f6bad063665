#include "registry/registry_test_key.h"

#include <gtest/gtest.h>

namespace rezorev {

RegistryTestKey::RegistryTestKey()
    : path_(L"Software\\OrvixTest\\Registry" + std::to_wstring(::GetCurrentProcessId())) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr);
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot create the test key";
}

RegistryTestKey::~RegistryTestKey() {
  if (key_ != nullptr) ::RegCloseKey(key_);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\OrvixTest");  // only when no other test uses it
}

void RegistryTestKey::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const {
  ASSERT_EQ(::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS);
}

bool RegistryTestKey::QueryRaw(const wchar_t* name, DWORD* type, DWORD* bytes) const {
  *bytes = 0;
  return ::RegQueryValueExW(key_, name, nullptr, type, nullptr, bytes) == ERROR_SUCCESS;
}

bool RegistryTestKey::HasSubKey(const wchar_t* path) const {
  HKEY sub = nullptr;
  if (::RegOpenKeyExW(key_, path, 0, KEY_READ, &sub) != ERROR_SUCCESS) return false;
  ::RegCloseKey(sub);
  return true;
}

}  // namespace rezorev
