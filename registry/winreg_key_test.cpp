#include "registry/winreg_key.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/registry_test_key.h"

namespace winreg {
namespace {

using rezorev::RegistryTestKey;

// Runs `action`, expecting a RegException with `message` and `code`.
template <typename Action>
void ExpectRegException(Action action, const char* message, LONG code) {
  try {
    action();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const RegException& e) {
    EXPECT_STREQ(e.what(), message);
    EXPECT_EQ(e.ErrorCode(), code);
  }
}

TEST(WinregKeyTest, StringsRoundTripWithoutTerminator) {
  RegistryTestKey testKey;
  Key key;
  key.Create(HKEY_CURRENT_USER, testKey.Path());
  for (const std::wstring& text :
       {std::wstring(), std::wstring(L"D:\\Temp\\Quilldrop\\Component\\"),
        std::wstring(L"C:\\\u6e38\u620f\\"), std::wstring(300, L'x')}) {
    key.SetString(L"TempPath", text);
    EXPECT_EQ(key.GetString(L"TempPath"), text);
  }
  // Data written by someone else without a terminating zero still reads whole.
  testKey.SetRaw(L"Raw", REG_SZ, L"abc", 6);
  EXPECT_EQ(key.GetString(L"Raw"), L"abc");
  testKey.SetRaw(L"ZeroBytes", REG_SZ, L"", 0);
  EXPECT_EQ(key.GetString(L"ZeroBytes"), L"");
}

TEST(WinregKeyTest, FailuresThrowTheirMessageAndCode) {
  RegistryTestKey testKey;
  const DWORD number = 5;
  testKey.SetRaw(L"Number", REG_DWORD, &number, sizeof(number));
  Key key;
  key.Create(HKEY_CURRENT_USER, testKey.Path());
  const HKEY held = key.Get();

  ExpectRegException([&] { key.GetString(L"Missing"); },
                     "Cannot get size of string value: RegGetValue failed.", ERROR_FILE_NOT_FOUND);
  ExpectRegException([&] { key.GetString(L"Number"); },
                     "Cannot get size of string value: RegGetValue failed.",
                     ERROR_UNSUPPORTED_TYPE);
  ExpectRegException([&] { key.Create(nullptr, L"Software"); }, "RegCreateKeyEx failed.",
                     ERROR_INVALID_HANDLE);
  EXPECT_EQ(key.Get(), held) << "a failed create replaced the held key";

  Key empty;
  ExpectRegException([&] { empty.SetString(L"TempPath", L"x"); },
                     "Cannot write string value: RegSetValueEx failed.", ERROR_INVALID_HANDLE);
}

TEST(WinregKeyTest, PredefinedRootsAreNeverClosed) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                    HKEY_PERFORMANCE_DATA, HKEY_PERFORMANCE_TEXT, HKEY_PERFORMANCE_NLSTEXT,
                    HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER_LOCAL_SETTINGS}) {
    EXPECT_TRUE(IsPredefinedKey(root)) << root;
  }
  EXPECT_FALSE(IsPredefinedKey(nullptr));

  RegistryTestKey testKey;
  HKEY opened = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, testKey.Path().c_str(), 0, KEY_READ, &opened),
            ERROR_SUCCESS);
  EXPECT_FALSE(IsPredefinedKey(opened));
  { Key owner(opened); }
  EXPECT_EQ(::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE)
      << "an opened key was not closed";

  { Key root(HKEY_CURRENT_USER); }
  HKEY again = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, testKey.Path().c_str(), 0, KEY_READ, &again),
            ERROR_SUCCESS);
  ::RegCloseKey(again);
}

}  // namespace
}  // namespace winreg
