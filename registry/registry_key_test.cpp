#include "registry/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/registry_test_key.h"

namespace rezorev {
namespace {

std::vector<BYTE> Bytes(const wchar_t* text, size_t bytes) {
  std::vector<BYTE> data(bytes);
  std::memcpy(data.data(), text, bytes);
  return data;
}

struct StringCase {
  const char* what;
  DWORD type;
  std::vector<BYTE> data;
  DWORD capacity;
  LONG status;
  std::wstring text;    // buffer contents afterwards
  DWORD length;         // length afterwards
};

TEST(RegistryKeyTest, ReadStringAcceptsOnlyTerminatedStringData) {
  const DWORD number = 7;
  const std::vector<StringCase> cases = {
      {"plain", REG_SZ, Bytes(L"hello", 12), 16, ERROR_SUCCESS, L"hello", 6},
      {"exactly fits", REG_SZ, Bytes(L"hello", 12), 6, ERROR_SUCCESS, L"hello", 6},
      {"expand unexpanded", REG_EXPAND_SZ, Bytes(L"%TEMP%\\x", 18), 16, ERROR_SUCCESS,
       L"%TEMP%\\x", 9},
      {"zero bytes", REG_SZ, {}, 16, ERROR_SUCCESS, L"", 1},
      {"just a terminator", REG_SZ, Bytes(L"", 2), 16, ERROR_SUCCESS, L"", 1},
      {"dword", REG_DWORD, std::vector<BYTE>(reinterpret_cast<const BYTE*>(&number),
                                             reinterpret_cast<const BYTE*>(&number) + 4),
       16, ERROR_INVALID_DATA, L"", 16},
      {"multi string", REG_MULTI_SZ, Bytes(L"a\0b\0", 10), 16, ERROR_INVALID_DATA, L"", 16},
      {"no terminator", REG_SZ, Bytes(L"abc", 6), 16, ERROR_INVALID_DATA, L"", 16},
      {"odd byte count", REG_SZ, Bytes(L"abc", 5), 16, ERROR_INVALID_DATA, L"", 16},
      {"longer than buffer", REG_SZ, Bytes(L"0123456789", 22), 5, ERROR_MORE_DATA, L"", 5},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.what);
    RegistryTestKey testKey;
    testKey.SetRaw(L"Value", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ), ERROR_SUCCESS);

    std::vector<wchar_t> buffer(c.capacity + 1, L'#');  // one guard character past the capacity
    DWORD length = c.capacity;
    EXPECT_EQ(key.ReadString(L"Value", buffer.data(), &length), c.status);
    EXPECT_EQ(std::wstring(buffer.data()).substr(0, c.capacity), c.text);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(buffer[c.capacity], L'#') << "wrote past the buffer";
  }
}

TEST(RegistryKeyTest, ReadStringWithoutValueKeyOrBufferFails) {
  RegistryTestKey testKey;
  wchar_t buffer[8] = L"old";
  DWORD length = 8;

  RegistryKey empty;
  EXPECT_EQ(empty.ReadString(L"Value", buffer, &length), ERROR_INVALID_HANDLE);

  RegistryKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString(L"Missing", buffer, &length), ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(length, 8u);

  length = 0;
  EXPECT_EQ(key.ReadString(L"Missing", buffer, &length), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(key.ReadString(L"Missing", nullptr, &length), ERROR_INVALID_PARAMETER);
}

TEST(RegistryKeyTest, ReadDwordAcceptsOnlyFourByteDwords) {
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    LONG status;
  };
  const std::vector<Case> cases = {
      {"dword", REG_DWORD, {0x2A, 0x01, 0x00, 0x00}, ERROR_SUCCESS},
      {"string", REG_SZ, Bytes(L"1", 4), ERROR_INVALID_DATA},
      {"short dword", REG_DWORD, {0x2A, 0x01}, ERROR_INVALID_DATA},
      {"eight bytes", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}, ERROR_MORE_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistryTestKey testKey;
    testKey.SetRaw(L"SupplyId", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ), ERROR_SUCCESS);
    DWORD value = 99;
    EXPECT_EQ(key.ReadDword(L"SupplyId", &value), c.status);
    EXPECT_EQ(value, c.status == ERROR_SUCCESS ? 0x12Au : 99u) << "failed read changed the value";
  }

  RegistryTestKey testKey;
  RegistryKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ), ERROR_SUCCESS);
  DWORD value = 99;
  EXPECT_EQ(key.ReadDword(L"Missing", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, 99u);
}

TEST(RegistryKeyTest, WritesStoreTerminatedStringsAndDwords) {
  RegistryTestKey testKey;
  RegistryKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ | KEY_WRITE),
            ERROR_SUCCESS);
  DWORD type = 0;
  DWORD bytes = 0;

  ASSERT_EQ(key.WriteString(L"Empty", L""), ERROR_SUCCESS);
  ASSERT_TRUE(testKey.QueryRaw(L"Empty", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 2u);

  ASSERT_EQ(key.WriteString(L"InstallPath", L"D:\\Program Files\\Velmora\\"), ERROR_SUCCESS);
  wchar_t buffer[64];
  DWORD length = 64;
  ASSERT_EQ(key.ReadString(L"InstallPath", buffer, &length), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"D:\\Program Files\\Velmora\\");
  EXPECT_EQ(length, 26u);

  EXPECT_EQ(key.WriteString(L"Null", nullptr), ERROR_INVALID_DATA);
  EXPECT_FALSE(testKey.QueryRaw(L"Null", &type, &bytes));

  ASSERT_EQ(key.WriteDword(L"SupplyId", 4321), ERROR_SUCCESS);
  ASSERT_TRUE(testKey.QueryRaw(L"SupplyId", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(bytes, 4u);
  DWORD value = 0;
  EXPECT_EQ(key.ReadDword(L"SupplyId", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, 4321u);

  RegistryKey readOnly;
  ASSERT_EQ(readOnly.Open(HKEY_CURRENT_USER, testKey.Path().c_str(), KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(readOnly.WriteDword(L"SupplyId", 1), ERROR_ACCESS_DENIED);
}

TEST(RegistryKeyTest, CreateReportsDispositionAndFailuresKeepTheHeldKey) {
  RegistryTestKey testKey;
  const std::wstring child = testKey.Path() + L"\\Component";
  RegistryKey key;
  DWORD disposition = 0;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, child.c_str(), &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, child.c_str(), &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  const HKEY held = key.Handle();

  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, (testKey.Path() + L"\\Missing").c_str(), KEY_READ),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Create(nullptr, L"Anything", &disposition), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key.Handle(), held);
  EXPECT_EQ(key.WriteString(L"Version", L"1.0"), ERROR_SUCCESS) << "held key no longer usable";

  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.Handle(), nullptr);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.WriteString(L"Version", L"1.0"), ERROR_INVALID_HANDLE);
}

TEST(RegistryKeyTest, DeleteTreeRemovesNestedKeysAndLeavesSiblings) {
  RegistryTestKey testKey;
  const std::wstring root = testKey.Path();
  for (const wchar_t* path : {L"\\Tree\\A\\B\\C", L"\\Tree\\A\\D", L"\\Tree\\E", L"\\Sibling"}) {
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, (root + path).c_str()), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString(L"InstallPath", L"C:\\x"), ERROR_SUCCESS);
  }
  RegistryKey parent;
  ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, root.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);

  EXPECT_NE(parent.DeleteChild(L"Tree"), ERROR_SUCCESS) << "a key with sub keys was deleted";
  EXPECT_TRUE(testKey.HasSubKey(L"Tree\\A\\B\\C"));

  EXPECT_EQ(parent.DeleteTree(L"Tree"), ERROR_SUCCESS);
  EXPECT_FALSE(testKey.HasSubKey(L"Tree"));
  EXPECT_TRUE(testKey.HasSubKey(L"Sibling"));

  EXPECT_EQ(parent.DeleteTree(L"Tree"), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(testKey.HasSubKey(L"Sibling"));
  EXPECT_EQ(parent.DeleteChild(L"Sibling"), ERROR_SUCCESS);
  EXPECT_FALSE(testKey.HasSubKey(L"Sibling"));
}

// The product key lives in HKLM, so these tests own HKLM\Software\Corvel while they run and
// remove it afterwards. They refuse to touch a product key that was there before.
class VolatileProductKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY existing = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Corvel", 0, KEY_READ, &existing) ==
        ERROR_SUCCESS) {
      ::RegCloseKey(existing);
      GTEST_SKIP() << "HKLM\\Software\\Corvel exists already; not touching it";
    }
    owns_ = true;
  }
  void TearDown() override {
    if (owns_) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Corvel");
  }

  static LONG CreateRaw(const wchar_t* path, DWORD options) {
    HKEY key = nullptr;
    LONG status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, options,
                                    KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) ::RegCloseKey(key);
    return status;
  }
  static bool Exists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }

  bool owns_ = false;
};

TEST_F(VolatileProductKeyTest, RepairLetsStableComponentKeysBeCreated) {
  struct Case {
    const char* what;
    const wchar_t* stable;    // created first, normally (may be null)
    const wchar_t* volatileKey;
  };
  const Case cases[] = {
      {"product key volatile", L"Software\\Corvel", L"Software\\Corvel\\Zentharo"},
      {"maker key volatile", nullptr, L"Software\\Corvel"},
  };
  const wchar_t* component = L"Software\\Corvel\\Zentharo\\Lumaport";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.stable != nullptr) ASSERT_EQ(CreateRaw(c.stable, REG_OPTION_NON_VOLATILE), ERROR_SUCCESS);
    ASSERT_EQ(CreateRaw(c.volatileKey, REG_OPTION_VOLATILE), ERROR_SUCCESS);

    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, component), ERROR_CHILD_MUST_BE_VOLATILE);

    RepairVolatileProductKey();
    EXPECT_FALSE(Exists(c.volatileKey)) << "volatile key left in place";
    DWORD disposition = 0;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, component, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    key.Close();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Corvel");
  }
}

TEST_F(VolatileProductKeyTest, RepairWithoutProductKeyLeavesANewStableOne) {
  RepairVolatileProductKey();
  EXPECT_TRUE(Exists(L"Software\\Corvel\\Zentharo"));
  EXPECT_EQ(CreateRaw(L"Software\\Corvel\\Zentharo\\Lumaport", REG_OPTION_NON_VOLATILE),
            ERROR_SUCCESS);
}

}  // namespace
}  // namespace rezorev
