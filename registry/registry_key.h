// RegistryKey: a registry key holder whose operations return Win32 status codes.
//
// Every operation returns the status of the registry call it makes (ERROR_SUCCESS, 0, on
// success) and never throws. The holder owns at most one open key; a successful Open or Create
// closes the previously held key and keeps the new one, a failed one leaves the held key in place.
// Operations that need a key return ERROR_INVALID_HANDLE (6) when none is held.
//
// The program is a 32-bit process and passes no registry-view flag, so every key lies in the
// 32-bit view of the registry (HKLM\Software\Wow6432Node on 64-bit Windows).
//
// Not shared between threads.
#pragma once

#include <windows.h>

#include "registry/scoped_hkey.h"

namespace rezorev {

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(RegistryKey&&) noexcept = default;
  RegistryKey& operator=(RegistryKey&&) noexcept = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyExW of `subKey` below `parent` with `access` (KEY_READ or KEY_READ | KEY_WRITE).
  LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access);

  // RegCreateKeyExW of a non-volatile key with KEY_READ | KEY_WRITE. On success stores the
  // disposition in `disposition` when given (REG_CREATED_NEW_KEY 1, REG_OPENED_EXISTING_KEY 2).
  // Creating a stable key below a volatile one fails with ERROR_CHILD_MUST_BE_VOLATILE (1021).
  LONG Create(HKEY parent, const wchar_t* subKey, DWORD* disposition = nullptr);

  // Closes the held key; returns RegCloseKey's status, or 0 when nothing was held.
  LONG Close();

  // The held key (nullptr when none), still owned by this holder.
  HKEY Handle() const { return key_.Get(); }

  // Reads a REG_SZ or REG_EXPAND_SZ value (the latter unexpanded) into `buffer`.
  // `length` is in characters: the buffer's capacity on input, the characters stored including
  // the terminating zero on success. A zero-byte value reads as an empty string (length 1).
  // Failures:
  //   the query's own status, e.g. ERROR_FILE_NOT_FOUND (2) for a missing value and
  //     ERROR_MORE_DATA (234) for a value longer than the buffer;
  //   ERROR_INVALID_DATA (13) for any other value type, an odd byte count, or data whose last
  //     character is not a terminating zero;
  //   ERROR_INVALID_PARAMETER (87) for a missing buffer or length or a capacity of 0.
  // After any failure `length` is unchanged and, when the buffer has room, it holds an empty
  // string, so a caller that ignores the status never sees partial or unterminated text.
  LONG ReadString(const wchar_t* name, wchar_t* buffer, DWORD* length) const;

  // Reads a REG_DWORD value. Fails with the query's status (ERROR_MORE_DATA for data longer than
  // four bytes), or ERROR_INVALID_DATA (13) for another type or shorter data. `value` is only
  // written on success.
  LONG ReadDword(const wchar_t* name, DWORD* value) const;

  // Writes `text` as REG_SZ including its terminating zero: (characters + 1) * 2 bytes, so an
  // empty text stores two bytes. A null `text` gives ERROR_INVALID_DATA (13) without a call.
  LONG WriteString(const wchar_t* name, const wchar_t* text);

  // Writes a REG_DWORD value (4 bytes).
  LONG WriteDword(const wchar_t* name, DWORD value);

  // Deletes the sub key `name`, which must have no sub keys of its own. Uses RegDeleteKeyExW when
  // Advapi32.dll exports it (looked up once per process), else RegDeleteKeyW.
  LONG DeleteChild(const wchar_t* name);

  // Deletes the sub key `name` with all its descendants. A missing key gives
  // ERROR_FILE_NOT_FOUND (2) and changes nothing. Stops at the first descendant that cannot be
  // deleted and returns that status; what was deleted before stays deleted.
  LONG DeleteTree(const wchar_t* name);

 private:
  ScopedHKey key_;
};

// Clears a product key tree (HKLM\Software\Corvel\Zentharo) that was created volatile, so that
// stable component keys can be created below it again. Run after a component key create failed
// with ERROR_CHILD_MUST_BE_VOLATILE (1021). Deletes the existing product key tree (or the whole
// Software\Corvel tree when that one is the volatile key); failures are not reported.
void RepairVolatileProductKey();

}  // namespace rezorev
