#include "registry/winreg_key.h"

#include <utility>
#include <vector>

namespace winreg {

bool IsPredefinedKey(HKEY key) {
  static const HKEY kPredefined[] = {
      HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,        HKEY_LOCAL_MACHINE,
      HKEY_USERS,            HKEY_PERFORMANCE_DATA,    HKEY_PERFORMANCE_TEXT,
      HKEY_PERFORMANCE_NLSTEXT, HKEY_CURRENT_CONFIG,   HKEY_CURRENT_USER_LOCAL_SETTINGS,
  };
  for (HKEY predefined : kPredefined) {
    if (key == predefined) return true;
  }
  return false;
}

Key::Key(Key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

Key& Key::operator=(Key&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = std::exchange(other.key_, nullptr);
  }
  return *this;
}

void Key::Create(HKEY parent, const std::wstring& subKey) {
  HKEY created = nullptr;
  LONG status = ::RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) throw RegException("RegCreateKeyEx failed.", status);
  Close();
  key_ = created;
}

std::wstring Key::GetString(const std::wstring& name) const {
  DWORD bytes = 0;
  LONG status =
      ::RegGetValueW(key_, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
  if (status != ERROR_SUCCESS) {
    throw RegException("Cannot get size of string value: RegGetValue failed.", status);
  }
  // The size includes the terminating zero (the system adds one to data stored without it).
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  status = ::RegGetValueW(key_, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &bytes);
  if (status != ERROR_SUCCESS) {
    throw RegException("Cannot get string value: RegGetValue failed.", status);
  }
  // The value may have changed between the calls; trust the size of the data actually read.
  size_t characters = bytes / sizeof(wchar_t);
  if (characters > 0 && data[characters - 1] == L'\0') --characters;
  return std::wstring(data.data(), characters);
}

void Key::SetString(const std::wstring& name, const std::wstring& value) {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  LONG status = ::RegSetValueExW(key_, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  if (status != ERROR_SUCCESS) {
    throw RegException("Cannot write string value: RegSetValueEx failed.", status);
  }
}

void Key::Close() {
  HKEY key = std::exchange(key_, nullptr);
  if (key != nullptr && !IsPredefinedKey(key)) {
    DWORD lastError = ::GetLastError();
    ::RegCloseKey(key);
    ::SetLastError(lastError);
  }
}

}  // namespace winreg
