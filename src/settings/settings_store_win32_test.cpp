// The settings store against the real registry. HKEY_CURRENT_USER is
// redirected into a fresh scratch key for each test, so the store runs its
// real calls and the user's own keys stay untouched.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/platform_win32.h"
#include "runtime/exceptions.h"
#include "settings/settings_store.h"

namespace kardum {
namespace {

using namespace std::string_literals;

const std::string kSettingsKey = "Software\\Trelis\\Kardum";
const std::string kZepoKey = "Software\\Trelis\\Zepo";
const std::string kStartupSoundKey = "AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.current";

struct Stored {
  DWORD type = REG_NONE;
  std::string data;
  bool operator==(const Stored&) const = default;
};

void PrintTo(const Stored& stored, std::ostream* os) {
  *os << "type " << stored.type << ", " << testing::PrintToString(stored.data);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    scratch_path_ = "Software\\KardumTests\\" + std::to_string(::GetCurrentProcessId());
    (void)::RegDeleteTreeA(HKEY_CURRENT_USER, scratch_path_.c_str());
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, scratch_path_.c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
  }

  void TearDown() override {
    EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
    if (scratch_ != nullptr) ::RegCloseKey(scratch_);
    EXPECT_EQ(::RegDeleteTreeA(HKEY_CURRENT_USER, scratch_path_.c_str()), ERROR_SUCCESS);
    // Goes only once no other test run keeps its scratch key there.
    (void)::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KardumTests");
  }

  // Checks below go through the scratch key's own handle, not through the
  // redirected HKEY_CURRENT_USER that the store uses.
  bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(scratch_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }

  DWORD ValueCount(const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(::RegOpenKeyExA(scratch_, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD count = ~DWORD{0};
    EXPECT_EQ(::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    return count;
  }

  void SetRaw(const std::string& path, const char* name, DWORD type, const std::string& bytes,
              DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(scratch_, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), size),
        ERROR_SUCCESS);
    ::RegCloseKey(key);
  }

  // The value's type and bytes as the ANSI query gives them; a null name is
  // the unnamed value.
  Stored QueryRaw(const std::string& path, const char* name) {
    Stored stored;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(scratch_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return stored;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size) == ERROR_SUCCESS) {
      stored.data.resize(size);
      EXPECT_EQ(::RegQueryValueExA(key, name, nullptr, &stored.type,
                                   reinterpret_cast<BYTE*>(stored.data.data()), &size),
                ERROR_SUCCESS);
      stored.data.resize(size);
    }
    ::RegCloseKey(key);
    return stored;
  }

  Win32Platform os;
  std::string scratch_path_;
  HKEY scratch_ = nullptr;
};

TEST_F(RegistryTest, ReadOfAMissingKeyCreatesItWithItsParentsAndGivesTheDefault) {
  ASSERT_FALSE(KeyExists("Software"));
  EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), "<nada>");
  for (const std::string& path : {"Software"s, "Software\\Trelis"s, kSettingsKey}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(KeyExists(path));
  }
  EXPECT_EQ(ValueCount(kSettingsKey), 0u);
}

TEST_F(RegistryTest, ReadOfAMissingValueGivesTheDefaultAndStoresNothing) {
  SetRaw(kSettingsKey, "Datos", REG_SZ, "C:\\l.txt\0\0"s, 11);
  EXPECT_EQ(ReadRegString(os, kSettingsKey, "Posicion", "default"), "default");
  EXPECT_EQ(ValueCount(kSettingsKey), 1u);
}

TEST_F(RegistryTest, ReadsTheTextOfTheStoredData) {
  struct Case {
    const char* label;
    DWORD type;
    std::string bytes;
    DWORD size;
    std::string stored;   // what the registry hands back, checked first
    std::string text;     // the result, when `failure` is empty
    std::string failure;  // the ERegistryException message expected instead
  };
  const Case cases[] = {
      {"no data, REG_SZ", REG_SZ, "abc", 0, "", "", ""},
      {"no data, REG_BINARY", REG_BINARY, "abc", 0, "", "", ""},
      {"cut at the first NUL", REG_SZ, "ab\0cd\0\0"s, 7, "ab\0cd\0\0"s, "ab", ""},
      // The byte after the data is not 0, so nothing is added to it.
      {"no NUL at all", REG_SZ, "abcX", 3, "abc", "abc", ""},
      {"REG_EXPAND_SZ unexpanded", REG_EXPAND_SZ, "%WINDIR%\\x\0"s, 11, "%WINDIR%\\x\0"s,
       "%WINDIR%\\x", ""},
      {"REG_DWORD", REG_DWORD, "\x01\0\0\0"s, 4, "\x01\0\0\0"s, "", "Invalid data type for 'Zepo'"},
      {"REG_MULTI_SZ", REG_MULTI_SZ, "Si\0No\0\0"s, 7, "Si\0No\0\0"s, "",
       "Invalid data type for 'Zepo'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetRaw(kZepoKey, "Zepo", c.type, c.bytes, c.size);
    ASSERT_EQ(QueryRaw(kZepoKey, "Zepo"), (Stored{c.type, c.stored}));
    if (c.failure.empty()) {
      EXPECT_EQ(ReadRegString(os, kZepoKey, "Zepo", "No"), c.text);
    } else {
      try {
        (void)ReadRegString(os, kZepoKey, "Zepo", "No");
        ADD_FAILURE() << "nothing raised";
      } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), c.failure);
      }
    }
  }
}

TEST_F(RegistryTest, WritesRegSzWithTwoNulsThatReadsBack) {
  for (const std::string& text : {"1"s, ""s, "C:\\WINDOWS\\kardum.dat"s}) {
    SCOPED_TRACE(text);
    WriteRegString(os, kSettingsKey, "Posicion", text);
    EXPECT_EQ(QueryRaw(kSettingsKey, "Posicion"), (Stored{REG_SZ, text + "\0\0"s}));
    EXPECT_EQ(ReadRegString(os, kSettingsKey, "Posicion", "default"), text);
  }
}

TEST_F(RegistryTest, WritesAndReadsTheUnnamedValue) {
  WriteRegString(os, kStartupSoundKey, "", "C:\\sonidos\\inicio.wav");
  EXPECT_EQ(QueryRaw(kStartupSoundKey, nullptr), (Stored{REG_SZ, "C:\\sonidos\\inicio.wav\0\0"s}));
  EXPECT_EQ(ValueCount(kStartupSoundKey), 1u);
  EXPECT_EQ(ValueCount("AppEvents\\Schemes\\Apps\\.Default\\SystemStart"), 0u);
  EXPECT_EQ(ReadRegString(os, kStartupSoundKey, "", "default"), "C:\\sonidos\\inicio.wav");
}

}  // namespace
}  // namespace kardum
