// winreg::Key: a registry key holder whose operations throw winreg::RegException.
//
// Used where a failure should end the whole step at once (the per-user temporary-folder value):
// each failing registry call throws with a fixed message and the call's Win32 status. The holder
// owns at most one key handle. A handle equal to one of the nine predefined roots
// (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, ...) is never passed to RegCloseKey, only forgotten.
//
// Keys lie in the 32-bit registry view, like every key of this program. Not shared between
// threads.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace winreg {

class RegException : public std::runtime_error {
 public:
  RegException(const char* message, LONG errorCode)
      : std::runtime_error(message), errorCode_(errorCode) {}

  // Win32 status of the failed registry call.
  LONG ErrorCode() const noexcept { return errorCode_; }

 private:
  LONG errorCode_;
};

// True for the nine predefined root handles, which are never closed.
bool IsPredefinedKey(HKEY key);

class Key {
 public:
  Key() = default;
  // Takes `key` over: it is closed with the holder unless it is a predefined root.
  explicit Key(HKEY key) : key_(key) {}
  ~Key() { Close(); }
  Key(Key&& other) noexcept;
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  // Creates or opens `subKey` below `parent` (non-volatile, KEY_READ | KEY_WRITE) and holds it in
  // place of the previous key. Throws "RegCreateKeyEx failed." and keeps the previous key.
  void Create(HKEY parent, const std::wstring& subKey);

  // The REG_SZ value `name` without its terminating zero; an empty value gives "". Throws
  // "Cannot get size of string value: RegGetValue failed." when the value is missing or not
  // REG_SZ, and "Cannot get string value: RegGetValue failed." when reading the data fails.
  std::wstring GetString(const std::wstring& name) const;

  // Writes `value` as REG_SZ including its terminating zero. Throws
  // "Cannot write string value: RegSetValueEx failed.".
  void SetString(const std::wstring& name, const std::wstring& value);

  // Closes the held key unless it is a predefined root; the holder is empty afterwards.
  void Close();

  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace winreg
