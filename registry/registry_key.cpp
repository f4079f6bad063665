#include "registry/registry_key.h"

namespace rezorev {
namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, const wchar_t*, REGSAM, DWORD);

// RegDeleteKeyExW is missing from Advapi32.dll before Vista (x64 XP aside); the lookup is done
// once per process and remembered.
RegDeleteKeyExWFn DeleteKeyExFunction() {
  static const RegDeleteKeyExWFn function = [] {
    HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
    if (advapi == nullptr) return RegDeleteKeyExWFn{};
    return reinterpret_cast<RegDeleteKeyExWFn>(
        reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")));
  }();
  return function;
}

}  // namespace

LONG RegistryKey::Open(HKEY parent, const wchar_t* subKey, REGSAM access) {
  HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExW(parent, subKey, 0, access, &opened);
  if (status == ERROR_SUCCESS) key_.Reset(opened);
  return status;
}

LONG RegistryKey::Create(HKEY parent, const wchar_t* subKey, DWORD* disposition) {
  HKEY created = nullptr;
  DWORD how = 0;
  LONG status = ::RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite,
                                  nullptr, &created, &how);
  if (status != ERROR_SUCCESS) return status;
  if (disposition != nullptr) *disposition = how;
  key_.Reset(created);
  return status;
}

LONG RegistryKey::Close() {
  if (!key_.IsValid()) return ERROR_SUCCESS;
  return ::RegCloseKey(key_.Release());
}

LONG RegistryKey::ReadString(const wchar_t* name, wchar_t* buffer, DWORD* length) const {
  if (buffer == nullptr || length == nullptr || *length == 0) return ERROR_INVALID_PARAMETER;
  const DWORD capacity = *length;
  buffer[0] = L'\0';
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;

  DWORD type = REG_NONE;
  // Capacity above 2^31 characters cannot be expressed in bytes; no value is that large anyway.
  DWORD bytes = capacity > MAXDWORD / 2 ? MAXDWORD - 1 : capacity * 2;
  LONG status =
      ::RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) status = ERROR_INVALID_DATA;
  if (status == ERROR_SUCCESS && bytes == 0) {
    *length = 1;  // stored without even a terminator: an empty string
    return ERROR_SUCCESS;
  }
  if (status == ERROR_SUCCESS && (bytes % 2 != 0 || buffer[bytes / 2 - 1] != L'\0')) {
    status = ERROR_INVALID_DATA;
  }
  if (status != ERROR_SUCCESS) {
    buffer[0] = L'\0';
    return status;
  }
  *length = bytes / 2;
  return ERROR_SUCCESS;
}

LONG RegistryKey::ReadDword(const wchar_t* name, DWORD* value) const {
  if (value == nullptr) return ERROR_INVALID_PARAMETER;
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD bytes = sizeof(data);
  LONG status =
      ::RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_DWORD || bytes != sizeof(data)) return ERROR_INVALID_DATA;
  *value = data;
  return ERROR_SUCCESS;
}

LONG RegistryKey::WriteString(const wchar_t* name, const wchar_t* text) {
  if (text == nullptr) return ERROR_INVALID_DATA;
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;
  const DWORD bytes = static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG RegistryKey::WriteDword(const wchar_t* name, DWORD value) {
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;
  return ::RegSetValueExW(key_.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

LONG RegistryKey::DeleteChild(const wchar_t* name) {
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;
  if (RegDeleteKeyExWFn deleteKeyEx = DeleteKeyExFunction()) {
    return deleteKeyEx(key_.Get(), name, 0, 0);  // no view flag: the process's own view
  }
  return ::RegDeleteKeyW(key_.Get(), name);
}

LONG RegistryKey::DeleteTree(const wchar_t* name) {
  if (!key_.IsValid()) return ERROR_INVALID_HANDLE;
  LONG status = ERROR_SUCCESS;
  {
    RegistryKey child;
    status = child.Open(key_.Get(), name, kReadWrite);
    if (status != ERROR_SUCCESS) return status;
    for (;;) {
      // Always index 0: each pass deletes the first sub key, so the next one moves up.
      wchar_t subKey[256];
      DWORD subKeyLength = ARRAYSIZE(subKey);
      if (::RegEnumKeyExW(child.Handle(), 0, subKey, &subKeyLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
        break;
      }
      status = child.DeleteTree(subKey);
      if (status != ERROR_SUCCESS) return status;
    }
  }  // the child is closed before its parent deletes it
  return DeleteChild(name);
}

void RepairVolatileProductKey() {
  RegistryKey key;
  DWORD disposition = 0;
  LONG status = key.Create(HKEY_LOCAL_MACHINE, L"Software\\Corvel\\Zentharo", &disposition);
  if (status == ERROR_CHILD_MUST_BE_VOLATILE) {
    // Software\Corvel itself is volatile: the whole maker tree goes.
    disposition = 0;
    if (key.Create(HKEY_LOCAL_MACHINE, L"Software\\Corvel", &disposition) == ERROR_SUCCESS &&
        disposition == REG_OPENED_EXISTING_KEY &&
        key.Create(HKEY_LOCAL_MACHINE, L"Software") == ERROR_SUCCESS) {
      key.DeleteTree(L"Corvel");
    }
  } else if (status == ERROR_SUCCESS && disposition == REG_OPENED_EXISTING_KEY) {
    if (key.Create(HKEY_LOCAL_MACHINE, L"Software\\Corvel") == ERROR_SUCCESS) {
      key.DeleteTree(L"Zentharo");
    }
  }
  key.Close();
}

}  // namespace rezorev
