#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "runtime/exceptions.h"

namespace kardum {
namespace {

using namespace std::string_literals;

const std::string kSettingsKey = "Software\\Trelis\\Kardum";
const std::string kZepoKey = "Software\\Trelis\\Zepo";
const std::string kStartupSoundKey = "AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.current";
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Passes the registry calls on to the fake and writes each down with the
// arguments the store gave, handles named #1, #2... in the order they were
// handed out, so that which handle a call used shows. The log of the fake
// cannot tell a call on HKEY_CURRENT_USER with the key path from one on the
// key's own handle with "".
class Recorder final : public Platform {
 public:
  explicit Recorder(FakePlatform& fake) : fake_(fake) {}

  std::vector<std::string> calls;

  Status CreateKey(KeyHandle parent, const std::string& sub_key, std::uint32_t access,
                   KeyHandle& key) override {
    const Status status = fake_.CreateKey(parent, sub_key, access, key);
    return Opened("CreateKey(" + Name(parent) + ", \"" + sub_key + "\", " + Hex(access) + ")",
                  status, key);
  }
  Status OpenKey(KeyHandle parent, const std::string& sub_key, std::uint32_t access,
                 KeyHandle& key) override {
    const Status status = fake_.OpenKey(parent, sub_key, access, key);
    return Opened("OpenKey(" + Name(parent) + ", \"" + sub_key + "\", " + Hex(access) + ")", status,
                  key);
  }
  Status QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override {
    std::string call = "QueryValue(" + Name(key) + ", \"" + name + "\", ";
    call += type ? "type, " : "-, ";
    call += data ? "data[" + (size ? std::to_string(*size) : "?"s) + "], " : "-, ";
    call += size ? "size)" : "-)";
    return Done(call, fake_.QueryValue(key, name, type, data, size));
  }
  Status SetValue(KeyHandle key, const std::string& name, std::uint32_t type, const char* data,
                  std::uint32_t size) override {
    std::string bytes;
    for (const char c : std::string(data, size)) bytes += c == '\0' ? "\\0"s : std::string(1, c);
    return Done("SetValue(" + Name(key) + ", \"" + name + "\", " + std::to_string(type) + ", \"" +
                    bytes + "\", " + std::to_string(size) + ")",
                fake_.SetValue(key, name, type, data, size));
  }
  Status CloseKey(KeyHandle key) override {
    return Done("CloseKey(" + Name(key) + ")", fake_.CloseKey(key));
  }

  // Not registry calls: passed on unrecorded.
  Status OpenForReading(const std::string& path, FileHandle& file) override {
    return fake_.OpenForReading(path, file);
  }
  Status CreateForWriting(const std::string& path, FileHandle& file) override {
    return fake_.CreateForWriting(path, file);
  }
  Status Read(FileHandle file, char* buffer, std::uint32_t size,
              std::uint32_t& bytes_read) override {
    return fake_.Read(file, buffer, size, bytes_read);
  }
  Status CloseFile(FileHandle file) override { return fake_.CloseFile(file); }
  std::uint32_t WindowsDirectory(char* buffer, std::uint32_t size) override {
    return fake_.WindowsDirectory(buffer, size);
  }
  int ShowMessageBox(const std::string& text, const std::string& caption,
                     std::uint32_t style) override {
    return fake_.ShowMessageBox(text, caption, style);
  }
  std::uint32_t StartProgram(const std::string& command_line, std::uint32_t show) override {
    return fake_.StartProgram(command_line, show);
  }
  std::string ModulePath() override { return fake_.ModulePath(); }
  std::uintptr_t ImageBase() override { return fake_.ImageBase(); }

 private:
  static std::string Hex(std::uint32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", n);
    return text;
  }
  std::string Name(KeyHandle key) const {
    if (key == kCurrentUser) return "HKCU";
    const auto it = names_.find(key);
    return it == names_.end() ? "unknown " + Hex(static_cast<std::uint32_t>(key)) : it->second;
  }
  Status Opened(const std::string& call, Status status, KeyHandle key) {
    if (status != kSuccess) return Done(call, status);
    names_[key] = "#" + std::to_string(names_.size() + 1);
    calls.push_back(call + " -> " + names_[key]);
    return status;
  }
  Status Done(const std::string& call, Status status) {
    calls.push_back(call + " -> " + std::to_string(status));
    return status;
  }

  FakePlatform& fake_;
  std::map<KeyHandle, std::string> names_;
};

// The message of the ERegistryException that `access` raises.
std::string RegistryFailure(const std::function<void()>& access) {
  try {
    access();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

Status Refuse(const FakePlatform::Call&) { return kErrorAccessDenied; }

// Fails the calls named `name` that come with `access`, lets all else through.
std::function<Status(const FakePlatform::Call&)> RefuseWith(std::string name,
                                                            std::uint32_t access) {
  return [name, access](const FakePlatform::Call& call) {
    return call.name == name && call.access == access ? kErrorAccessDenied : kSuccess;
  };
}

// Fails the n-th call named `name` (counting from 1).
std::function<Status(const FakePlatform::Call&)> RefuseNth(std::string name, int n) {
  return [name, n, seen = 0](const FakePlatform::Call& call) mutable {
    return call.name == name && ++seen == n ? kErrorAccessDenied : kSuccess;
  };
}

class SettingsStoreTest : public testing::Test {
 protected:
  // Whatever path an access took, failing ones included, it holds no handle
  // afterwards.
  void TearDown() override { EXPECT_EQ(fake.open_key_count(), 0); }

  FakePlatform fake;
};

// The exact registry calls of an access, in order, arguments and flags
// included; there is nothing else (no flush).
struct TraceCase {
  const char* label;
  std::function<void(FakePlatform&)> arrange;
  std::function<void(Platform&)> access;
  std::vector<std::string> calls;
};

TEST_F(SettingsStoreTest, MakesExactlyTheseRegistryCalls) {
  const TraceCase cases[] = {
      {"read",
       [](FakePlatform& os) { os.SetString(kSettingsKey, "Datos", "abc"); },
       [](Platform& os) { EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), "abc"); },
       {
           R"(CreateKey(HKCU, "Software\Trelis\Kardum", F003F) -> #1)",
           R"(OpenKey(#1, "", F003F) -> #2)",
           R"(QueryValue(#2, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#2, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#2, "Datos", type, data[5], size) -> 0)",
           R"(CloseKey(#2) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
      {"read of a missing value",
       [](FakePlatform&) {},
       [](Platform& os) {
         EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), "<nada>");
       },
       {
           R"(CreateKey(HKCU, "Software\Trelis\Kardum", F003F) -> #1)",
           R"(OpenKey(#1, "", F003F) -> #2)",
           R"(QueryValue(#2, "Datos", type, -, size) -> 2)",
           R"(CloseKey(#2) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
      {"read when the second handle may only read",
       [](FakePlatform& os) {
         os.SetString(kSettingsKey, "Datos", "abc");
         os.fault = RefuseWith("OpenKey", kKeyAllAccess);
       },
       [](Platform& os) { EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), "abc"); },
       {
           R"(CreateKey(HKCU, "Software\Trelis\Kardum", F003F) -> #1)",
           R"(OpenKey(#1, "", F003F) -> 5)",
           R"(OpenKey(#1, "", 20019) -> #2)",
           R"(QueryValue(#2, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#2, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#2, "Datos", type, data[5], size) -> 0)",
           R"(CloseKey(#2) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
      {"read of a key that cannot be created",
       [](FakePlatform& os) {
         os.SetString(kSettingsKey, "Datos", "abc");
         os.keys[kSettingsKey].read_only = true;
       },
       [](Platform& os) { EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), "abc"); },
       {
           R"(CreateKey(HKCU, "Software\Trelis\Kardum", F003F) -> 5)",
           R"(OpenKey(HKCU, "Software\Trelis\Kardum", 20019) -> #1)",
           R"(QueryValue(#1, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#1, "Datos", type, -, size) -> 0)",
           R"(QueryValue(#1, "Datos", type, data[5], size) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
      {"write",
       [](FakePlatform&) {},
       [](Platform& os) { WriteRegString(os, kSettingsKey, "Posicion", "7"); },
       {
           R"(CreateKey(HKCU, "Software\Trelis\Kardum", F003F) -> #1)",
           R"(CreateKey(#1, "", F003F) -> #2)",
           R"(CloseKey(#2) -> 0)",
           R"(OpenKey(#1, "", F003F) -> #3)",
           R"(SetValue(#3, "Posicion", 1, "7\0\0", 3) -> 0)",
           R"(CloseKey(#3) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
      {"write of the unnamed value",
       [](FakePlatform&) {},
       [](Platform& os) { WriteRegString(os, kStartupSoundKey, "", "C:\\a.wav"); },
       {
           R"(CreateKey(HKCU, "AppEvents\Schemes\Apps\.Default\SystemStart\.current", F003F) -> #1)",
           R"(CreateKey(#1, "", F003F) -> #2)",
           R"(CloseKey(#2) -> 0)",
           R"(OpenKey(#1, "", F003F) -> #3)",
           R"(SetValue(#3, "", 1, "C:\a.wav\0\0", 10) -> 0)",
           R"(CloseKey(#3) -> 0)",
           R"(CloseKey(#1) -> 0)",
       }},
  };
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.label);
    FakePlatform os;
    c.arrange(os);
    Recorder recorder(os);
    c.access(recorder);
    EXPECT_EQ(recorder.calls, c.calls);
    EXPECT_EQ(os.open_key_count(), 0);
  }
}

// What a read gives for each kind of stored data.
struct DataCase {
  const char* label;
  std::uint32_t type;
  std::string data;
  std::string text;     // the result, when `failure` is empty
  std::string failure;  // the ERegistryException message expected instead
};

TEST_F(SettingsStoreTest, ReadsTheTextOfTheStoredData) {
  const DataCase cases[] = {
      {"REG_SZ with two NULs", kRegSz, "C:\\sonidos.txt\0\0"s, "C:\\sonidos.txt", ""},
      {"no data, REG_SZ", kRegSz, "", "", ""},
      {"no data, REG_BINARY", kRegBinary, "", "", ""},
      {"no data, REG_DWORD", kRegDword, "", "", ""},
      {"cut at the first NUL", kRegSz, "ab\0cd\0\0"s, "ab", ""},
      {"NUL first", kRegSz, "\0ab\0"s, "", ""},
      {"no NUL at all", kRegSz, "abc", "abc", ""},
      {"bytes above 0x7F", kRegSz, "C:\\M\xFAsica\\\xC1rbol.wav\0"s, "C:\\M\xFAsica\\\xC1rbol.wav",
       ""},
      {"REG_EXPAND_SZ unexpanded", kRegExpandSz, "%WINDIR%\\x\0"s, "%WINDIR%\\x", ""},
      {"REG_DWORD", kRegDword, "\x01\0\0\0"s, "", "Invalid data type for 'Zepo'"},
      {"REG_MULTI_SZ", kRegMultiSz, "Si\0No\0\0"s, "", "Invalid data type for 'Zepo'"},
      {"REG_BINARY", kRegBinary, "Si\0"s, "", "Invalid data type for 'Zepo'"},
  };
  for (const DataCase& c : cases) {
    SCOPED_TRACE(c.label);
    FakePlatform os;
    os.keys[kZepoKey].values["Zepo"] = {c.type, c.data};
    if (c.failure.empty()) {
      EXPECT_EQ(ReadRegString(os, kZepoKey, "Zepo", "No"), c.text);
    } else {
      EXPECT_EQ(RegistryFailure([&] { (void)ReadRegString(os, kZepoKey, "Zepo", "No"); }),
                c.failure);
    }
    EXPECT_EQ(os.open_key_count(), 0);
  }
}

TEST_F(SettingsStoreTest, ReadOfAMissingKeyCreatesItWithItsParentsAndGivesTheDefault) {
  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Datos", "<nada>"), "<nada>");
  for (const std::string& path : {"Software"s, "Software\\Trelis"s, kSettingsKey}) {
    SCOPED_TRACE(path);
    ASSERT_EQ(fake.keys.count(path), 1u);
    EXPECT_TRUE(fake.keys.at(path).values.empty());
  }
}

TEST_F(SettingsStoreTest, ReadOfAMissingValueGivesTheDefaultAndStoresNothing) {
  fake.SetString(kSettingsKey, "Datos", "C:\\l.txt");
  const auto before = fake.keys;
  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Posicion", ""), "");
  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Posicion", "default"), "default");
  EXPECT_EQ(fake.keys.at(kSettingsKey).values, before.at(kSettingsKey).values);
}

TEST_F(SettingsStoreTest, WritesRegSzWithTwoNulsThatReadsBack) {
  for (const std::string& text : {"1"s, ""s, "C:\\WINDOWS\\kardum.dat"s, "C:\\M\xFAsica\\a.wav"s}) {
    SCOPED_TRACE(text);
    WriteRegString(fake, kSettingsKey, "Posicion", text);
    const FakePlatform::Value stored{kRegSz, text + "\0\0"s};
    EXPECT_EQ(*fake.Find(kSettingsKey, "Posicion"), stored);
    EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Posicion", "default"), text);
  }
}

TEST_F(SettingsStoreTest, WriteOfTheUnnamedValueCreatesTheKeyAndLeavesTheParentsEmpty) {
  WriteRegString(fake, kStartupSoundKey, "", "C:\\a.wav");
  const FakePlatform::Value stored{kRegSz, "C:\\a.wav\0\0"s};
  ASSERT_NE(fake.Find(kStartupSoundKey, ""), nullptr);
  EXPECT_EQ(*fake.Find(kStartupSoundKey, ""), stored);
  EXPECT_EQ(fake.keys.at(kStartupSoundKey).values.size(), 1u);
  EXPECT_TRUE(fake.keys.at("").values.empty());
  EXPECT_TRUE(fake.keys.at("AppEvents\\Schemes\\Apps\\.Default\\SystemStart").values.empty());
  EXPECT_EQ(ReadRegString(fake, kStartupSoundKey, "", "default"), "C:\\a.wav");
}

// Faults of the boundary that the real registry hardly gives on demand.

TEST_F(SettingsStoreTest, SecondHandleThatMayOnlyReadServesReadsButFailsWrites) {
  fake.SetString(kSettingsKey, "Posicion", "4");
  std::vector<std::uint32_t> open_access;
  fake.fault = [&](const FakePlatform::Call& call) {
    if (call.name != "OpenKey") return kSuccess;
    open_access.push_back(call.access);
    return call.access == kKeyAllAccess ? kErrorAccessDenied : kSuccess;
  };

  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Posicion", ""), "4");
  EXPECT_EQ(open_access, (std::vector<std::uint32_t>{kKeyAllAccess, kKeyRead}));

  open_access.clear();
  EXPECT_EQ(RegistryFailure([&] { WriteRegString(fake, kSettingsKey, "Posicion", "5"); }),
            "Failed to set data for 'Posicion'");
  EXPECT_EQ(open_access, (std::vector<std::uint32_t>{kKeyAllAccess, kKeyRead}));
  EXPECT_EQ(fake.Find(kSettingsKey, "Posicion")->data, "4\0\0"s);
}

TEST_F(SettingsStoreTest, NoSecondHandleAtAllGivesTheDefaultAndWritesNothingSilently) {
  fake.SetString(kSettingsKey, "Posicion", "4");
  fake.fault = [](const FakePlatform::Call& call) {
    return call.name == "OpenKey" ? kErrorAccessDenied : kSuccess;
  };
  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Posicion", "default"), "default");
  EXPECT_NO_THROW(WriteRegString(fake, kSettingsKey, "Posicion", "5"));
  EXPECT_EQ(fake.Find(kSettingsKey, "Posicion")->data, "4\0\0"s);
  EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "SetValue " + kSettingsKey + "\\Posicion"),
            0);
}

TEST_F(SettingsStoreTest, FailedSetValueRaisesWithTheValueName) {
  for (const std::string& name : {"Posicion"s, ""s}) {
    SCOPED_TRACE(name);
    fake.fault = RefuseWith("SetValue", 0);
    EXPECT_EQ(RegistryFailure([&] { WriteRegString(fake, kSettingsKey, name, "5"); }),
              "Failed to set data for '" + name + "'");
    EXPECT_EQ(fake.Find(kSettingsKey, name), nullptr);
  }
}

TEST_F(SettingsStoreTest, FailedSecondCreateRaisesWithTheEmptyKeyName) {
  fake.fault = RefuseNth("CreateKey", 2);
  EXPECT_EQ(RegistryFailure([&] { WriteRegString(fake, kSettingsKey, "Posicion", "5"); }),
            "Failed to create key ");
  EXPECT_EQ(fake.Find(kSettingsKey, "Posicion"), nullptr);
}

// The value changes under the read, between its queries.
TEST_F(SettingsStoreTest, ValueChangedBetweenTheQueries) {
  struct Case {
    const char* label;
    int query;  // the QueryValue call before which it changes
    std::function<void(FakePlatform::Key&)> change;
    std::string text;
    std::string failure;
  };
  const Case cases[] = {
      {"deleted before the size query", 2, [](FakePlatform::Key& k) { k.values.erase("Datos"); },
       "", ""},
      {"deleted before the data query", 3, [](FakePlatform::Key& k) { k.values.erase("Datos"); },
       "", "Failed to get data for 'Datos'"},
      {"grown before the data query", 3,
       [](FakePlatform::Key& k) { k.values["Datos"].data = "C:\\longer\\l.txt\0\0"s; }, "",
       "Failed to get data for 'Datos'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakePlatform os;
    os.SetString(kSettingsKey, "Datos", "C:\\l.txt");
    os.fault = [&os, &c, seen = 0](const FakePlatform::Call& call) mutable {
      if (call.name == "QueryValue" && ++seen == c.query) c.change(os.keys.at(kSettingsKey));
      return kSuccess;
    };
    if (c.failure.empty()) {
      EXPECT_EQ(ReadRegString(os, kSettingsKey, "Datos", "<nada>"), c.text);
    } else {
      EXPECT_EQ(RegistryFailure([&] { (void)ReadRegString(os, kSettingsKey, "Datos", "<nada>"); }),
                c.failure);
    }
    EXPECT_EQ(os.open_key_count(), 0);
  }
}

// The key cannot be created with full access: a read falls back to opening it
// read-only, a write raises.
TEST_F(SettingsStoreTest, KeyThatCannotBeCreated) {
  struct Case {
    const char* label;
    std::function<void(FakePlatform&)> arrange;
    std::string read;
  };
  const Case cases[] = {
      {"read-only key", [](FakePlatform& os) { os.keys[kSettingsKey].read_only = true; }, "4"},
      {"locked key", [](FakePlatform& os) { os.keys[kSettingsKey].locked = true; }, "default"},
      {"create refused",
       [](FakePlatform& os) { os.fault = RefuseWith("CreateKey", kKeyAllAccess); }, "4"},
      {"create and read-only open refused", [](FakePlatform& os) { os.fault = Refuse; }, "default"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakePlatform os;
    os.SetString(kSettingsKey, "Posicion", "4");
    c.arrange(os);
    EXPECT_EQ(ReadRegString(os, kSettingsKey, "Posicion", "default"), c.read);
    EXPECT_EQ(RegistryFailure([&] { WriteRegString(os, kSettingsKey, "Posicion", "5"); }),
              "Failed to create key Software\\Trelis\\Kardum");
    EXPECT_EQ(os.Find(kSettingsKey, "Posicion")->data, "4\0\0"s);
    EXPECT_TRUE(os.keys.at("").values.empty());
    EXPECT_EQ(os.open_key_count(), 0);
  }
}

TEST_F(SettingsStoreTest, MissingKeyBelowALockedOneIsNeitherCreatedNorRead) {
  fake.keys["Software"];
  fake.keys["Software\\Trelis"].locked = true;
  EXPECT_EQ(ReadRegString(fake, kSettingsKey, "Datos", "<nada>"), "<nada>");
  EXPECT_EQ(fake.keys.count(kSettingsKey), 0u);
  EXPECT_EQ(RegistryFailure([&] { WriteRegString(fake, kSettingsKey, "Datos", "x"); }),
            "Failed to create key Software\\Trelis\\Kardum");
  EXPECT_EQ(fake.keys.count(kSettingsKey), 0u);
}

}  // namespace
}  // namespace kardum
