// First runs of the real program: the new list file, the recorded settings,
// and the rotation that follows.
#include <optional>
#include <string>

#include "e2e_support.h"

namespace kardum_e2e {
namespace {

class FirstRunTest : public KardumE2eTest {
 protected:
  // The run after a first run rotates through what the user wrote.
  static void ExpectNextRunRotates(const std::string& list_path) {
    WriteFileBytes(list_path, "C:\\sonidos\\uno.wav\r\nC:\\sonidos\\dos.wav\r\n");
    ASSERT_EQ(0u, RunKardum2());
    EXPECT_EQ(StoredText("C:\\sonidos\\uno.wav"), ReadRegValue(kStartupSoundKey, ""));
    EXPECT_EQ(StoredText("2"), ReadRegValue(kSettingsKey, "Posicion"));
  }
};

TEST_F(FirstRunTest, CreatesEmptyListAndRecordsIt) {
  ASSERT_EQ("C:\\windows\\kardum.dat", DefaultListPath());
  const std::optional<const char*> kNoList[] = {std::nullopt, "<nada>"};
  for (const auto& datos : kNoList) {
    SCOPED_TRACE(datos ? *datos : "Datos missing");
    ClearState();
    if (datos) SetRegText(kSettingsKey, "Datos", *datos);
    // Left from earlier runs: the position is replaced, the sound untouched.
    SetRegText(kSettingsKey, "Posicion", "7");
    SetRegText(kStartupSoundKey, "", "C:\\antes.wav");

    ASSERT_EQ(0u, RunKardum2());
    EXPECT_EQ("", ReadFileBytes(DefaultListPath()));
    EXPECT_EQ(StoredText(DefaultListPath()), ReadRegValue(kSettingsKey, "Datos"));
    EXPECT_EQ((RegValue{REG_SZ, std::string("1\0\0", 3)}), ReadRegValue(kSettingsKey, "Posicion"));
    EXPECT_EQ(StoredText("C:\\antes.wav"), ReadRegValue(kStartupSoundKey, ""));

    ExpectNextRunRotates(DefaultListPath());
  }
}

TEST_F(FirstRunTest, KeepsListAlreadyStandingThere) {
  WriteFileBytes(DefaultListPath(), "C:\\sonidos\\guardado.wav\r\n");

  ASSERT_EQ(0u, RunKardum2());
  EXPECT_EQ("C:\\sonidos\\guardado.wav\r\n", ReadFileBytes(DefaultListPath()));
  EXPECT_EQ(StoredText(DefaultListPath()), ReadRegValue(kSettingsKey, "Datos"));
  EXPECT_EQ(StoredText("1"), ReadRegValue(kSettingsKey, "Posicion"));

  ASSERT_EQ(0u, RunKardum2());
  EXPECT_EQ(StoredText("C:\\sonidos\\guardado.wav"), ReadRegValue(kStartupSoundKey, ""));
}

TEST_F(FirstRunTest, ZepoListWaitsForItsFolder) {
  SetRegText(kZepoKey, "Zepo", "Si");
  const std::string folder = std::string(kZepoDir) + "\\basedat";

  // Nothing is recorded, so every run is a first run that fails again.
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(1u, RunKardum2());
    EXPECT_EQ(RegistryState{}, CaptureRegistry());
    EXPECT_EQ(std::nullopt, ReadFileBytes(DefaultListPath()));
  }

  MakeDir(kZepoDir);
  MakeDir(folder);
  ASSERT_EQ(0u, RunKardum2());
  EXPECT_EQ("", ReadFileBytes(folder + "\\kardum.ddt"));
  EXPECT_EQ(StoredText(kZepoListPath), ReadRegValue(kSettingsKey, "Datos"));
  EXPECT_EQ(StoredText("1"), ReadRegValue(kSettingsKey, "Posicion"));
  EXPECT_EQ(std::nullopt, ReadFileBytes(DefaultListPath()));

  ExpectNextRunRotates(folder + "\\kardum.ddt");
}

}  // namespace
}  // namespace kardum_e2e
