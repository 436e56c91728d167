#include "rotation/kardum2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "rotation/first_run.h"
#include "rotation/run_test_support.h"
#include "rotation/sound_list.h"

namespace kardum {
namespace {

// The report's message line, after the line feed.
std::string SecondLine(const std::string& text) { return text.substr(text.find('\n') + 1); }

TEST(NextPosition, AdvancesWithinTheListAndWrapsToOne) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const struct {
    std::int32_t position;
    int count;
    std::int32_t next;
  } cases[] = {
      {1, 3, 2},   {2, 3, 3}, {3, 3, 1},  {1, 1, 1},   {1, 0, 1},     {4, 3, 1},     {49, 50, 50},
      {50, 50, 1}, {0, 3, 1}, {-1, 3, 1}, {51, 50, 1}, {kMax, 50, 1}, {kMin, 50, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.position << " of " << c.count);
    EXPECT_EQ(NextPosition(c.position, c.count), c.next);
  }
}

class Kardum2Test : public RunFixture {
 protected:
  // Each run starts with a start-up sound of its own.
  Kardum2Test() : RunFixture(/*old_sound=*/true) {}

  int Logged(const std::string& line) const {
    return static_cast<int>(std::count(fake.log.begin(), fake.log.end(), line));
  }

  // The one failure report of a failed run.
  std::string Report() const {
    EXPECT_EQ(fake.boxes.size(), 1u);
    if (fake.boxes.empty()) return "";
    EXPECT_EQ(fake.boxes.back().caption, "Application Error");
    EXPECT_EQ(fake.boxes.back().style, 0x2010u);
    return fake.boxes.back().text;
  }
};

TEST_F(Kardum2Test, SuccessiveRunsCycleThroughTheList) {
  Record("A\r\nB\r\nC\r\n", "1");
  for (const auto& [sound, next] : {std::pair{"A", "2"}, {"B", "3"}, {"C", "1"}, {"A", "2"}}) {
    SCOPED_TRACE(sound);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sound(), Sz(sound));
    EXPECT_EQ(Position(), Sz(next));
  }
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_TRUE(fake.started.empty());
}

TEST_F(Kardum2Test, SetsTheEntryAtThePositionAndRecordsTheNext) {
  const struct {
    std::string list;
    std::string position;
    std::string sound;
    std::string next;
  } cases[] = {
      {"A\r\n\r\nC\r\n", "2", "", "3"},       // an empty line takes its turn
      {"A \t \r\nB\r\n", "1", "A \t ", "2"},  // blanks kept
      {"A\r\nB\r\nC\r\n", " 2", "B", "3"},
      {"A\r\nB\r\nC\r\n", "+2", "B", "3"},
      {"A\r\nB\r\nC\r\n", "02", "B", "3"},
      {"A\r\nB\r\nC\r\n", "$2", "B", "3"},
      {"A\r\n", "1", "A", "1"},
      {"", "1", "", "1"},
      {"A\r\nB\r\nC\r\n", "5", "", "1"},  // beyond the list, within 1..50
      {"A\r\nB\r\nC\r\n", "0", "", "1"},
      {"A\r\nB\r\nC\r\n", "51", "", "1"},
      {"A\r\nB\r\nC\r\n", "-5", "", "1"},
      {"A\r\nB\r\nC\r\n", "$FFFFFFFF", "", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("list \"" + c.list + "\", Posicion \"" + c.position + "\"");
    Reset();
    Record(c.list, c.position);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sound(), Sz(c.sound));
    EXPECT_EQ(Position(), Sz(c.next));
  }
}

TEST_F(Kardum2Test, FiftyLinesAndMoreGiveFiftyTurns) {
  std::string lines;
  for (int i = 1; i <= 51; ++i) lines += "s" + std::to_string(i) + ".wav\r\n";
  Record(lines, "50");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Sound(), Sz("s50.wav"));
  EXPECT_EQ(Position(), Sz("1"));
}

TEST_F(Kardum2Test, APositionThatIsNotANumberEndsTheRunBeforeAnyWrite) {
  const std::optional<std::string> cases[] = {"2 ", "2a", "0x2", "+", "$", "", std::nullopt};
  for (const auto& position : cases) {
    SCOPED_TRACE(position.value_or("(missing)"));
    Reset();
    Record("A\r\nB\r\nC\r\n", position);
    const std::string before = Dump(fake);
    EXPECT_EQ(Run(), 1);
    const std::string report = Report();
    EXPECT_EQ(report.rfind("Exception EConvertError in module kardum2.exe at ", 0), 0u) << report;
    EXPECT_EQ(SecondLine(report), "'" + position.value_or("") + "' is not a valid integer value.");
    EXPECT_EQ(Dump(fake), before);
  }
}

TEST_F(Kardum2Test, TheFailureReportNamesTheClassModuleAddressAndMessage) {
  fake.SetString(kSettingsKey, "Datos", "C:\\Sonidos\\falta.txt");
  fake.SetString(kSettingsKey, "Posicion", "1");
  const std::string before = Dump(fake);
  EXPECT_EQ(Run(), 1);
  const std::string report = Report();
  EXPECT_TRUE(std::regex_match(
      report, std::regex("Exception EInOutError in module kardum2\\.exe at [0-9A-F]{8}\\.\n"
                         "File not found\\.")))
      << report;
  EXPECT_EQ(Dump(fake), before);
}

TEST_F(Kardum2Test, OnlyTheExactMarkerMeansNoList) {
  // Anything else is a list path: the rotation opens it and fails on it.
  const struct {
    const char* datos;
    bool current_folder;  // a name without a folder then resolves in the current one
    const char* message;
  } cases[] = {
      {"<NADA>", true, "File not found."},
      {"<nada> ", true, "File not found."},
      {"", false, "Invalid filename."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("Datos \"") + c.datos + "\"");
    Reset();
    if (c.current_folder) fake.folders.insert("");
    fake.SetString(kSettingsKey, "Datos", c.datos);
    fake.SetString(kSettingsKey, "Posicion", "1");
    const std::string before = Dump(fake);
    EXPECT_EQ(Run(), 1);
    const std::string report = Report();
    EXPECT_EQ(report.rfind("Exception EInOutError in module kardum2.exe at ", 0), 0u) << report;
    EXPECT_EQ(SecondLine(report), c.message);
    EXPECT_EQ(Logged("OpenForReading " + std::string(c.datos)), 1);
    EXPECT_EQ(Logged("CreateForWriting " + std::string(kNewListPath)), 0);
    EXPECT_TRUE(fake.started.empty());
    EXPECT_EQ(Dump(fake), before);
  }
}

TEST_F(Kardum2Test, TheListComesFromDatosNotFromTheNewListPath) {
  fake.files[kNewListPath] = "X\r\n";
  Record("A\r\n", "1");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Sound(), Sz("A"));
  EXPECT_EQ(Logged("OpenForReading " + std::string(kNewListPath)), 0);
}

TEST_F(Kardum2Test, AZepoValueThatIsNotTextEndsEveryRun) {
  for (const bool first_run : {true, false}) {
    SCOPED_TRACE(first_run ? "first run" : "rotation");
    Reset();
    if (!first_run) Record("A\r\n", "1");
    fake.keys[kZepoKey].values["Zepo"] = {4, std::string("\x01\0\0\0", 4)};  // REG_DWORD
    const std::string before = Dump(fake);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(SecondLine(Report()), "Invalid data type for 'Zepo'.");
    EXPECT_EQ(Dump(fake), before);
    EXPECT_EQ(fake.files.count(kNewListPath), 0u);
    EXPECT_TRUE(fake.started.empty());
  }
}

// The steps of a first run that show outside the program, in order.
std::vector<std::string> FirstRunSteps(const FakePlatform& fake) {
  std::vector<std::string> steps;
  for (const std::string& line : fake.log) {
    for (const char* step :
         {"CreateForWriting ", "ShowMessageBox ", "SetValue ", "StartProgram "}) {
      if (line.rfind(step, 0) == 0) steps.push_back(line);
    }
  }
  return steps;
}

TEST_F(Kardum2Test, AFirstRunCreatesTheListTellsRecordsAndOpensIt) {
  const struct {
    std::string name;
    std::function<void(FakePlatform&)> setup;
    std::string path;     // where the list goes
    std::string content;  // what it holds afterwards
  } cases[] = {
      {"Datos missing", [](FakePlatform&) {}, kNewListPath, ""},
      {"Datos is the marker", [](FakePlatform& f) { f.SetString(kSettingsKey, "Datos", "<nada>"); },
       kNewListPath, ""},
      {"a list already there", [](FakePlatform& f) { f.files[kNewListPath] = "A\r\n"; },
       kNewListPath, "A\r\n"},
      {"blanks in the path",
       [](FakePlatform& f) {
         f.windows_dir = "C:\\Mis Cosas";
         f.folders.insert(f.windows_dir);
       },
       "C:\\Mis Cosas\\kardum.dat", ""},
      {"Zepo on",
       [](FakePlatform& f) {
         f.SetString(kZepoKey, "Zepo", "Si");
         f.folders.insert("c:\\misdoc~1\\basedat");
       },
       "c:\\misdoc~1\\basedat\\kardum.ddt", ""},
      {"notice closed with 0", [](FakePlatform& f) { f.message_box_result = 0; }, kNewListPath, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    fake.SetString(kSettingsKey, "Posicion", "7");
    c.setup(fake);
    EXPECT_EQ(Run(), 0);

    ASSERT_EQ(fake.files.count(c.path), 1u);
    EXPECT_EQ(fake.files.at(c.path), c.content);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Creado el archivo " + c.path + "\r\r" + kInstructionLine);
    EXPECT_EQ(fake.boxes[0].caption, kNoticeCaption);
    EXPECT_EQ(fake.boxes[0].style, 0x40u);
    EXPECT_EQ(Datos(), Sz(c.path));
    EXPECT_EQ(Position(), Sz("1"));
    EXPECT_EQ(fake.started, std::vector<std::string>{"notepad.exe " + c.path});
    EXPECT_EQ(FirstRunSteps(fake),
              (std::vector<std::string>{"CreateForWriting " + c.path,
                                        std::string("ShowMessageBox ") + kNoticeCaption,
                                        std::string("SetValue ") + kSettingsKey + "\\Datos",
                                        std::string("SetValue ") + kSettingsKey + "\\Posicion",
                                        "StartProgram notepad.exe " + c.path}));
    EXPECT_EQ(Sound(), Sz(kOldSound));
    for (const std::string& line : fake.log) {
      EXPECT_EQ(line.find(kStartupSoundKey), std::string::npos) << line;
    }
  }
}

TEST_F(Kardum2Test, AFailingFirstRunStepKeepsWhatCameBefore) {
  const std::string set_value = std::string("SetValue ") + kSettingsKey + "\\";
  const std::string notepad = std::string("StartProgram notepad.exe ") + kNewListPath;
  const struct {
    std::string name;
    bool zepo;            // the list goes to the fixed path, whose folder is missing
    std::string fail_on;  // "<call> <target>" made to fail
    int exit_code;
    std::string report;  // the report's message line; "" for no report
    bool notice;
    std::string datos;
    std::string position;
    bool notepad_tried;
  } cases[] = {
      {"list folder missing", true, "", 1, "Invalid filename.", false, "(missing)", Sz("7"), false},
      {"Datos not recorded", false, set_value + "Datos", 1, "Failed to set data for 'Datos'.", true,
       "(missing)", Sz("7"), false},
      {"Posicion not recorded", false, set_value + "Posicion", 1,
       "Failed to set data for 'Posicion'.", true, Sz(kNewListPath), Sz("7"), false},
      {"Notepad not started", false, notepad, 0, "", true, Sz(kNewListPath), Sz("1"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    fake.SetString(kSettingsKey, "Posicion", "7");
    if (c.zepo) fake.SetString(kZepoKey, "Zepo", "Si");
    fake.fault = [&c](const FakePlatform::Call& call) {
      return call.name + " " + call.target == c.fail_on ? kErrorAccessDenied : kSuccess;
    };
    EXPECT_EQ(Run(), c.exit_code);

    std::vector<FakePlatform::Box> boxes = fake.boxes;
    if (!c.report.empty()) {
      ASSERT_FALSE(boxes.empty());
      EXPECT_EQ(boxes.back().caption, "Application Error");
      EXPECT_EQ(SecondLine(boxes.back().text), c.report);
      boxes.pop_back();
    }
    ASSERT_EQ(boxes.size(), c.notice ? 1u : 0u);
    for (const auto& box : boxes) EXPECT_EQ(box.caption, kNoticeCaption);
    if (c.zepo) {
      EXPECT_TRUE(fake.files.empty());
    } else {
      EXPECT_EQ(fake.files.count(kNewListPath), 1u);
    }
    EXPECT_EQ(Datos(), c.datos);
    EXPECT_EQ(Position(), c.position);
    EXPECT_EQ(Logged(notepad), c.notepad_tried ? 1 : 0);
    EXPECT_TRUE(fake.started.empty());
    EXPECT_EQ(Sound(), Sz(kOldSound));
  }
}

}  // namespace
}  // namespace kardum
