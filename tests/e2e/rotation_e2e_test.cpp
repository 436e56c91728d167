// Rotation runs of the real program against the real registry and files.
#include <string>
#include <vector>

#include "e2e_support.h"

namespace kardum_e2e {
namespace {

const std::string kListPath = std::string(kScratchDir) + "\\sonidos.txt";
constexpr char kThreeSounds[] =
    "C:\\sonidos\\a.wav\r\nC:\\sonidos\\b.wav\r\nC:\\sonidos\\c.wav\r\n";

class RotationTest : public KardumE2eTest {
 protected:
  void SetUp() override {
    KardumE2eTest::SetUp();
    MakeDir(kScratchDir);
  }

  // A recorded list holding `list` and the given position.
  static void Record(const std::string& list, const char* posicion) {
    WriteFileBytes(kListPath, list);
    SetRegText(kSettingsKey, "Datos", kListPath);
    SetRegText(kSettingsKey, "Posicion", posicion);
  }
};

TEST_F(RotationTest, ThreeEntriesCycleOverSuccessiveRuns) {
  Record(kThreeSounds, "1");
  const struct {
    const char* sound;
    const char* next;
  } kRuns[] = {{"C:\\sonidos\\a.wav", "2"},
               {"C:\\sonidos\\b.wav", "3"},
               {"C:\\sonidos\\c.wav", "1"},
               {"C:\\sonidos\\a.wav", "2"}};
  for (const auto& run : kRuns) {
    SCOPED_TRACE(run.sound);
    ASSERT_EQ(0u, RunKardum2());
    EXPECT_EQ(StoredText(run.sound), ReadRegValue(kStartupSoundKey, ""));
    EXPECT_EQ(StoredText(run.next), ReadRegValue(kSettingsKey, "Posicion"));
  }
  EXPECT_EQ(StoredText(kListPath), ReadRegValue(kSettingsKey, "Datos"));
}

struct StepCase {
  const char* name;
  std::string list;
  const char* posicion;
  const char* sound;
  const char* next;
};

std::string NumberedLines(int count) {
  std::string list;
  for (int i = 1; i <= count; ++i) list += "linea" + std::to_string(i) + "\r\n";
  return list;
}

class RotationStepTest : public RotationTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(RotationStepTest, SetsEntryAndRecordsNextPosition) {
  const StepCase& step = GetParam();
  Record(step.list, step.posicion);
  ASSERT_EQ(0u, RunKardum2());
  EXPECT_EQ(StoredText(step.sound), ReadRegValue(kStartupSoundKey, ""));
  EXPECT_EQ(StoredText(step.next), ReadRegValue(kSettingsKey, "Posicion"));
  EXPECT_EQ(step.list, ReadFileBytes(kListPath));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RotationStepTest,
    ::testing::Values(
        // An empty line is an entry; its turn clears the start-up sound.
        StepCase{"EmptyLine", "a.wav\r\n\r\nc.wav\r\n", "2", "", "3"},
        StepCase{"LinesEndingInCrOnly", "a.wav\rb.wav\rc.wav", "3", "c.wav", "1"},
        // Line 51 never takes a turn: after line 50 the cycle starts again.
        StepCase{"FiftyOneLines", NumberedLines(51), "50", "linea50", "1"},
        StepCase{"PositionAfterSpaces", kThreeSounds, " 2", "C:\\sonidos\\b.wav", "3"},
        StepCase{"PositionWithPlus", kThreeSounds, "+2", "C:\\sonidos\\b.wav", "3"},
        StepCase{"PositionWithLeadingZero", kThreeSounds, "02", "C:\\sonidos\\b.wav", "3"},
        StepCase{"PositionInHex", kThreeSounds, "$2", "C:\\sonidos\\b.wav", "3"}),
    [](const ::testing::TestParamInfo<StepCase>& param) { return param.param.name; });

TEST_F(RotationTest, RefusedPositionEndsRunWithNothingWritten) {
  Record(kThreeSounds, "1");
  SetRegText(kStartupSoundKey, "", "C:\\antes.wav");
  const struct {
    const char* text;
    bool present;
  } kRefused[] = {{"2 ", true}, {"2a", true}, {"0x2", true}, {"", true}, {"", false}};
  for (const auto& refused : kRefused) {
    SCOPED_TRACE(refused.present ? "'" + std::string(refused.text) + "'" : "missing");
    if (refused.present) {
      SetRegText(kSettingsKey, "Posicion", refused.text);
    } else {
      DeleteRegValue(kSettingsKey, "Posicion");
    }
    const RegistryState before = CaptureRegistry();
    EXPECT_EQ(1u, RunKardum2());
    EXPECT_EQ(before, CaptureRegistry());
  }
}

// Every one of these ends the run before anything is written.
TEST_F(RotationTest, FailuresBeforeAnyWriteLeaveEverythingUnchanged) {
  const struct {
    const char* name;
    std::string datos;
    bool zepo_dword;
    bool held_open;
  } kCases[] = {
      {"missing file", std::string(kScratchDir) + "\\no-existe.txt", false, false},
      {"missing folder", std::string(kScratchDir) + "\\no-existe\\sonidos.txt", false, false},
      {"folder as list", kScratchDir, false, false},
      {"Zepo of type REG_DWORD", kListPath, true, false},
      {"list held open for writing", kListPath, false, true},
  };
  for (const auto& failing : kCases) {
    SCOPED_TRACE(failing.name);
    ClearState();
    MakeDir(kScratchDir);
    Record(kThreeSounds, "1");
    SetRegText(kSettingsKey, "Datos", failing.datos);
    SetRegText(kStartupSoundKey, "", "C:\\antes.wav");
    if (failing.zepo_dword) SetRegValue(kZepoKey, "Zepo", {REG_DWORD, std::string("\1\0\0\0", 4)});
    // The harness itself holds the list open for writing while the run reads it.
    const UniqueHandle holder(failing.held_open
                                  ? CreateFileA(kListPath.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                  : INVALID_HANDLE_VALUE);
    ASSERT_EQ(failing.held_open, holder.Get() != INVALID_HANDLE_VALUE);
    const RegistryState before = CaptureRegistry();

    EXPECT_EQ(1u, RunKardum2());
    EXPECT_EQ(before, CaptureRegistry());
    EXPECT_EQ(kThreeSounds, ReadFileBytes(kListPath));
  }
}

TEST_F(RotationTest, LongListPathIsCutTo259Characters) {
  std::string dir = kScratchDir;
  for (char level = 'a'; level <= 'd'; ++level) {
    dir += "\\" + std::string(50, level);
    MakeDir(dir);
  }
  std::string path = dir + "\\";
  path += std::string(259 - path.size() - 4, 'f') + ".txt";
  ASSERT_EQ(259u, path.size());
  WriteFileBytes(path, "C:\\sonidos\\profundo.wav\r\n");
  // Opened whole, the recorded path would fail as too long.
  SetRegText(kSettingsKey, "Datos", path + std::string(300 - path.size(), 'x'));
  SetRegText(kSettingsKey, "Posicion", "1");

  ASSERT_EQ(0u, RunKardum2());
  EXPECT_EQ(StoredText("C:\\sonidos\\profundo.wav"), ReadRegValue(kStartupSoundKey, ""));
  EXPECT_EQ(StoredText("1"), ReadRegValue(kSettingsKey, "Posicion"));
}

}  // namespace
}  // namespace kardum_e2e
