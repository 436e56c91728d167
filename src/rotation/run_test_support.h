// What the tests that run the whole program on the fake platform share: the
// machine they start from, the list earlier runs leave, and the stored values.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/fake_platform.h"
#include "rotation/kardum2.h"
#include "rotation/sound_list.h"

namespace kardum {

inline constexpr char kListFolder[] = "C:\\Sonidos";
inline constexpr char kListPath[] = "C:\\Sonidos\\lista.txt";
inline constexpr char kNewListPath[] = "C:\\WINDOWS\\kardum.dat";
inline constexpr char kOldSound[] = "C:\\WINDOWS\\Media\\viejo.wav";

// The stored form of a text written by the program.
inline std::string Sz(const std::string& text) { return text + std::string(2, '\0'); }

// Every stored value, one line each; keys without values do not show.
inline std::string Dump(const FakePlatform& fake) {
  std::string dump;
  for (const auto& [path, key] : fake.keys) {
    for (const auto& [name, value] : key.values) {
      dump += path + "\\" + name + " type " + std::to_string(value.type) + ": " + value.data + "\n";
    }
  }
  return dump;
}

// A machine with the list folder, and a start-up sound of its own when
// `old_sound`.
inline FakePlatform NewMachine(bool old_sound) {
  FakePlatform fake;
  fake.folders.insert(kListFolder);
  if (old_sound) fake.SetString(kStartupSoundKey, "", kOldSound);
  return fake;
}

// No handle may outlive a run, whatever its path.
inline void ExpectNoOpenHandles(const FakePlatform& fake) {
  EXPECT_EQ(fake.open_key_count(), 0);
  EXPECT_EQ(fake.open_file_count(), 0);
}

class RunFixture : public testing::Test {
 protected:
  explicit RunFixture(bool old_sound = false) : old_sound_(old_sound) { Reset(); }

  void Reset() { fake = NewMachine(old_sound_); }

  // A recorded list and position, as earlier runs leave them; the list file
  // stands under the part of `path` that is opened.
  void Record(const std::string& list, const std::optional<std::string>& position,
              const std::string& path = kListPath) {
    fake.files[path.substr(0, kMaxListPath)] = list;
    fake.SetString(kSettingsKey, "Datos", path);
    if (position) fake.SetString(kSettingsKey, "Posicion", *position);
  }

  int Run() {
    const int exit_code = Kardum2Main(fake);
    ExpectNoOpenHandles(fake);
    return exit_code;
  }

  // The stored data of a value, or "(missing)"; REG_SZ unless marked, so a
  // value of another type never equals the text expected of it.
  std::string Stored(const std::string& key, const std::string& name) const {
    const FakePlatform::Value* value = fake.Find(key, name);
    if (value == nullptr) return "(missing)";
    if (value->type != kRegSz) return "(type " + std::to_string(value->type) + ") " + value->data;
    return value->data;
  }
  std::string Sound() const { return Stored(kStartupSoundKey, ""); }
  std::string Position() const { return Stored(kSettingsKey, "Posicion"); }
  std::string Datos() const { return Stored(kSettingsKey, "Datos"); }

  FakePlatform fake;

 private:
  bool old_sound_;
};

}  // namespace kardum
