// Every boundary call of a successful run made to fail in turn: each failure
// must end the run in its own defined way, keeping exactly what came before.
// Closing a key is not among them: its status is dropped on purpose.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "rotation/first_run.h"
#include "rotation/kardum2.h"
#include "rotation/run_test_support.h"

namespace kardum {
namespace {

// What a successful run leaves behind, one bit for each lasting step.
enum Effect : unsigned {
  kNone = 0,
  kListFile = 1u << 0,       // the new list file stands
  kNotice = 1u << 1,         // the first-run notice was shown
  kDatos = 1u << 2,          // Datos holds the new list path
  kFirstPosition = 1u << 3,  // Posicion holds "1"
  kNotepad = 1u << 4,        // Notepad was started on the new list
  kSound = 1u << 5,          // the start-up sound holds entry 1
  kNextPosition = 1u << 6,   // Posicion holds "2"
};
constexpr unsigned kSetUp = kListFile | kNotice | kDatos | kFirstPosition | kNotepad;
constexpr unsigned kRotated = kSound | kNextPosition;

struct Outcome {
  std::string report;  // "<class>: <message line>" of the failure report; "" when none
  unsigned effects;
};

// One boundary call of the successful run, in order, and how the run ends
// when that call fails.
struct Step {
  std::string call;  // "<function> <target>", as the fake logs it
  Outcome fails;
  // When the failure makes the program retry with read access only: how the
  // run ends when that retry fails too.
  std::optional<Outcome> retry_fails_too = std::nullopt;
};

// The rotation run: `Posicion` 1 of a three-entry list.
void ArrangeRotation(FakePlatform& os) {
  os.files[kListPath] = "A\r\nB\r\nC\r\n";
  os.SetString(kSettingsKey, "Datos", kListPath);
  os.SetString(kSettingsKey, "Posicion", "1");
}

// The first run: no list recorded, a position left from earlier runs.
void ArrangeFirstRun(FakePlatform& os) { os.SetString(kSettingsKey, "Posicion", "7"); }

constexpr char kNoWindowsDir[] = "Exception: Cannot find the Windows directory.";
constexpr char kCannotCreate[] = "ERegistryException: Failed to create key ";
constexpr char kNoSetValue[] = "ERegistryException: Failed to set data for ";

// The calls of one read through the settings store, and where their failures
// lead: `served` when the read-only retry makes up for a failed open,
// `missing` when the value reads as missing (no handle at all, or the
// existence query fails), `empty` when the size query fails and the value
// reads as empty text, `no_data` when the data query fails. A missing value
// is asked about once only.
std::vector<Step> Read(const std::string& key, const std::string& value, const Outcome& served,
                       const Outcome& missing, std::optional<Outcome> empty = std::nullopt,
                       std::optional<Outcome> no_data = std::nullopt) {
  std::vector<Step> steps = {
      {"CreateKey " + key, served, missing},
      {"OpenKey " + key, served, missing},
      {"QueryValue " + key + "\\" + value, missing},
  };
  // A value that exists is asked for its size once more, then for its data.
  if (empty) steps.push_back({"QueryValue " + key + "\\" + value, *empty});
  if (no_data) steps.push_back({"QueryValue " + key + "\\" + value, *no_data});
  return steps;
}

// The calls of one write through the settings store, given what was done
// before it (`before`) and how the run goes on when the write is skipped in
// silence (`skipped`).
std::vector<Step> Write(const std::string& key, const std::string& value, unsigned before,
                        const Outcome& skipped) {
  const std::string not_set = kNoSetValue + ("'" + value + "'.");
  return {
      {"CreateKey " + key, {kCannotCreate + key + ".", before}},
      {"CreateKey " + key, {kCannotCreate + std::string("."), before}},
      // The read-only second handle refuses the value.
      {"OpenKey " + key, {not_set, before}, skipped},
      {"SetValue " + key + "\\" + value, {not_set, before}},
  };
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> steps;
  for (const auto& part : parts) steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

std::vector<Step> RotationSteps() {
  return Join({
      Read(kZepoKey, "Zepo", {"", kRotated}, {"", kRotated}),
      {{"WindowsDirectory C:\\WINDOWS", {kNoWindowsDir, kNone}}},
      // `Datos` read as missing means no list: the set-up runs and replaces it.
      Read(kSettingsKey, "Datos", {"", kRotated}, {"", kSetUp},
           Outcome{"EInOutError: Invalid filename.", kNone},
           Outcome{"ERegistryException: Failed to get data for 'Datos'.", kNone}),
      {
          {std::string("OpenForReading ") + kListPath, {"EInOutError: File access denied.", kNone}},
          {std::string("Read ") + kListPath, {"EInOutError: I/O error 32.", kNone}},
          {std::string("Read ") + kListPath, {"EInOutError: I/O error 32.", kNone}},
          {std::string("CloseFile ") + kListPath, {"EInOutError: File access denied.", kNone}},
      },
      Read(kSettingsKey, "Posicion", {"", kRotated},
           {"EConvertError: '' is not a valid integer value.", kNone},
           Outcome{"EConvertError: '' is not a valid integer value.", kNone},
           Outcome{"ERegistryException: Failed to get data for 'Posicion'.", kNone}),
      Write(kStartupSoundKey, "", kNone, {"", kNextPosition}),
      Write(kSettingsKey, "Posicion", kSound, {"", kSound}),
  });
}

std::vector<Step> FirstRunSteps() {
  return Join({
      Read(kZepoKey, "Zepo", {"", kSetUp}, {"", kSetUp}),
      {{"WindowsDirectory C:\\WINDOWS", {kNoWindowsDir, kNone}}},
      Read(kSettingsKey, "Datos", {"", kSetUp}, {"", kSetUp}),
      {
          {std::string("CreateForWriting ") + kNewListPath,
           {"EInOutError: File access denied.", kNone}},
          {std::string("CloseFile ") + kNewListPath,
           {"EInOutError: File access denied.", kListFile}},
          // A notice that cannot be shown does not stop the set-up.
          {std::string("ShowMessageBox ") + kNoticeCaption, {"", kSetUp & ~kNotice}},
      },
      Write(kSettingsKey, "Datos", kListFile | kNotice, {"", kSetUp & ~kDatos}),
      Write(kSettingsKey, "Posicion", kListFile | kNotice | kDatos, {"", kSetUp & ~kFirstPosition}),
      {{std::string("StartProgram notepad.exe ") + kNewListPath, {"", kSetUp & ~kNotepad}}},
  });
}

// Every stored value and every file, one line each.
std::string State(const FakePlatform& os) {
  std::string state = Dump(os);
  for (const auto& [path, content] : os.files) state += "file " + path + " = " + content + "\n";
  return state;
}

// The state a run that had `effects` leaves, from `start`.
std::string ExpectedState(FakePlatform start, unsigned effects) {
  if (effects & kListFile) start.files.emplace(kNewListPath, "");
  if (effects & kDatos) start.SetString(kSettingsKey, "Datos", kNewListPath);
  if (effects & kFirstPosition) start.SetString(kSettingsKey, "Posicion", "1");
  if (effects & kSound) start.SetString(kStartupSoundKey, "", "A");
  if (effects & kNextPosition) start.SetString(kSettingsKey, "Posicion", "2");
  return State(start);
}

// "<class>: <message line>" of the one failure report, or "" when none.
std::string ReportOf(const FakePlatform& os) {
  static const std::regex kReport(
      "Exception (\\w+) in module kardum2\\.exe at [0-9A-F]{8}\\.\n([\\s\\S]*)");
  std::string report;
  for (const auto& box : os.boxes) {
    if (box.caption != "Application Error") continue;
    EXPECT_TRUE(report.empty()) << "a second failure report";
    EXPECT_EQ(box.style, 0x2010u);
    std::smatch match;
    if (!std::regex_match(box.text, match, kReport)) {
      ADD_FAILURE() << "not a failure report: " << box.text;
      continue;
    }
    report = match[1].str() + ": " + match[2].str();
  }
  return report;
}

// Runs kardum2 on `os`, failing the calls whose indices are in `failing`
// with a status typical of the call; returns every call that reached the
// fault hook, in order.
std::vector<FakePlatform::Call> RunFailing(FakePlatform& os, const std::set<std::size_t>& failing,
                                           int& exit_code) {
  std::vector<FakePlatform::Call> calls;
  os.fault = [&calls, &failing](const FakePlatform::Call& call) -> Status {
    calls.push_back(call);
    if (failing.count(calls.size() - 1) == 0) return kSuccess;
    return call.name == "Read" ? kErrorSharingViolation : kErrorAccessDenied;
  };
  exit_code = Kardum2Main(os);
  os.fault = nullptr;
  return calls;
}

// Runs from `start` with `failing` and checks the outcome; returns the calls.
std::vector<FakePlatform::Call> CheckRun(const FakePlatform& start,
                                         const std::set<std::size_t>& failing,
                                         const Outcome& expected) {
  FakePlatform os = start;
  int exit_code = -1;
  std::vector<FakePlatform::Call> calls = RunFailing(os, failing, exit_code);
  EXPECT_EQ(ReportOf(os), expected.report);
  EXPECT_EQ(exit_code, expected.report.empty() ? 0 : 1);
  EXPECT_EQ(State(os), ExpectedState(start, expected.effects));
  int notices = 0;
  for (const auto& box : os.boxes) notices += box.caption == kNoticeCaption ? 1 : 0;
  EXPECT_EQ(notices, (expected.effects & kNotice) ? 1 : 0);
  EXPECT_EQ(os.started, (expected.effects & kNotepad)
                            ? std::vector<std::string>{std::string("notepad.exe ") + kNewListPath}
                            : std::vector<std::string>{});
  ExpectNoOpenHandles(os);
  return calls;
}

std::string Describe(const FakePlatform::Call& call) { return call.name + " " + call.target; }

TEST(FailurePathsTest, EveryFailingCallEndsTheRunAsItsStepPromises) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    std::vector<Step> steps;
    unsigned effects;  // of the successful run
  } scenarios[] = {
      {"rotation run", ArrangeRotation, RotationSteps(), kRotated},
      {"first run", ArrangeFirstRun, FirstRunSteps(), kSetUp},
  };
  int known = 0;
  int covered = 0;
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    FakePlatform start = NewMachine(/*old_sound=*/true);
    scenario.arrange(start);
    for (const Step& step : scenario.steps) known += step.retry_fails_too ? 2 : 1;

    const std::vector<FakePlatform::Call> calls = CheckRun(start, {}, {"", scenario.effects});
    // The table follows the successful run call by call: a call it does not
    // know is a failure path nobody has decided on.
    std::vector<std::string> logged;
    for (const auto& call : calls) logged.push_back(Describe(call));
    std::vector<std::string> tabled;
    for (const Step& step : scenario.steps) tabled.push_back(step.call);
    ASSERT_EQ(logged, tabled);

    for (std::size_t i = 0; i < calls.size(); ++i) {
      const Step& step = scenario.steps[i];
      SCOPED_TRACE("call " + std::to_string(i) + " failing: " + step.call);
      const std::vector<FakePlatform::Call> faulted = CheckRun(start, {i}, step.fails);
      ++covered;
      const bool retried = i + 1 < faulted.size() && faulted[i + 1].name == "OpenKey" &&
                           faulted[i + 1].access == kKeyRead;
      EXPECT_EQ(retried, step.retry_fails_too.has_value());
      if (retried && step.retry_fails_too) {
        SCOPED_TRACE("and its read-only retry: " + Describe(faulted[i + 1]));
        CheckRun(start, {i, i + 1}, *step.retry_fails_too);
        ++covered;
      }
    }
  }
  RecordProperty("failure_paths_covered", covered);
  std::cout << "failure paths covered: " << covered << " of " << known << "\n";
  EXPECT_EQ(covered, known);
}

}  // namespace
}  // namespace kardum
