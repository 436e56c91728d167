#include "rotation/sound_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/fake_platform.h"
#include "runtime/exceptions.h"

namespace kardum {
namespace {

constexpr char kListFolder[] = "C:\\Sonidos";
constexpr char kListPath[] = "C:\\Sonidos\\lista.txt";

// "Class(code): message" of what `action` raised, or "" when it raised nothing.
template <typename Action>
std::string Raised(Action&& action) {
  try {
    action();
  } catch (const EInOutError& failure) {
    return std::string(failure.ClassName()) + "(" + std::to_string(failure.Code()) +
           "): " + failure.Message();
  } catch (const Exception& failure) {
    return std::string(failure.ClassName()) + ": " + failure.Message();
  }
  return "";
}

// "line1\r\n" to "line<n>\r\n".
std::string Lines(int n) {
  std::string text;
  for (int i = 1; i <= n; ++i) text += "line" + std::to_string(i) + "\r\n";
  return text;
}

// A failing call of `name` on the fake, with `status`.
std::function<Status(const FakePlatform::Call&)> FailOn(std::string name, Status status) {
  return [name, status](const FakePlatform::Call& call) {
    return call.name == name ? status : kSuccess;
  };
}

TEST(ZepoEnabled, OnlyTheExactTextSiTurnsItOn) {
  const struct {
    std::optional<std::string> value;  // nullopt: no value in the key
    bool key_exists;
    bool enabled;
  } cases[] = {
      {"Si", true, true},          {"si", true, false},          {"SI", true, false},
      {"Si ", true, false},        {" Si", true, false},         {"No", true, false},
      {std::nullopt, true, false}, {std::nullopt, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.value_or(c.key_exists ? "(no value)" : "(no key)"));
    FakePlatform fake;
    if (c.key_exists) fake.keys[kZepoKey];
    if (c.value) fake.SetString(kZepoKey, "Zepo", *c.value);
    EXPECT_EQ(ZepoEnabled(fake), c.enabled);
    EXPECT_EQ(fake.open_key_count(), 0);
  }
}

TEST(ZepoEnabled, AValueThatIsNotTextFails) {
  FakePlatform fake;
  fake.keys[kZepoKey].values["Zepo"] = {4, std::string("\x01\0\0\0", 4)};  // REG_DWORD
  EXPECT_EQ(Raised([&] { ZepoEnabled(fake); }), "ERegistryException: Invalid data type for 'Zepo'");
  EXPECT_EQ(fake.open_key_count(), 0);
}

TEST(AddBackslash, AddsOneOnlyWhenTheLastByteIsNotOne) {
  EXPECT_EQ(AddBackslash("C:\\WINDOWS"), "C:\\WINDOWS\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\\\"), "C:\\\\");
}

TEST(GetWindowsDir, ComesWholeWhateverItsLength) {
  // 143 characters fit the first buffer; from 144 on the size needed comes
  // back and a second call fetches the whole directory.
  const struct {
    std::size_t length;
    int calls;
  } cases[] = {{10, 1}, {143, 1}, {144, 2}, {300, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    FakePlatform fake;
    fake.windows_dir = "C:\\" + std::string(c.length - 3, 'w');
    EXPECT_EQ(GetWindowsDir(fake), fake.windows_dir + "\\");
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "WindowsDirectory " + fake.windows_dir),
              c.calls);
  }
}

TEST(GetWindowsDir, AFailingLookupFails) {
  FakePlatform fake;
  fake.windows_dir_failure = 1;
  EXPECT_EQ(Raised([&] { GetWindowsDir(fake); }), "Exception: Cannot find the Windows directory");
}

TEST(ChooseNewListPath, WindowsDirectoryUnlessZepoIsOn) {
  const struct {
    const char* zepo;  // nullptr: no value
    const char* windows_dir;
    const char* path;
  } cases[] = {
      {nullptr, "C:\\WINDOWS", "C:\\WINDOWS\\kardum.dat"},
      {nullptr, "C:\\", "C:\\kardum.dat"},
      {"si", "C:\\WINNT\\", "C:\\WINNT\\kardum.dat"},
      {"Si", "C:\\WINDOWS", "c:\\misdoc~1\\basedat\\kardum.ddt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    FakePlatform fake;
    if (c.zepo != nullptr) fake.SetString(kZepoKey, "Zepo", c.zepo);
    fake.windows_dir = c.windows_dir;
    EXPECT_EQ(ChooseNewListPath(fake), c.path);
  }
}

TEST(ChooseNewListPath, AFailingWindowsDirectoryLookupFails) {
  FakePlatform fake;
  fake.windows_dir_failure = 1;
  EXPECT_EQ(Raised([&] { ChooseNewListPath(fake); }),
            "Exception: Cannot find the Windows directory");
}

class ReadSoundListTest : public testing::Test {
 protected:
  ReadSoundListTest() { fake.folders.insert(kListFolder); }

  // Reads `path` and checks that no file stays open, whatever happened.
  int Read(const std::string& path = kListPath) {
    const int count = ReadSoundList(fake, path, sound_list);
    EXPECT_EQ(fake.open_file_count(), 0);
    return count;
  }

  FakePlatform fake;
  SoundListArray sound_list;
};

TEST_F(ReadSoundListTest, StoresAtMostFiftyLinesInSlotsOneToCount) {
  const struct {
    int lines;
    int count;
  } cases[] = {{0, 0}, {1, 1}, {49, 49}, {50, 50}, {51, 50}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    sound_list = {};
    fake.files[kListPath] = Lines(c.lines);
    ASSERT_EQ(Read(), c.count);
    EXPECT_EQ(sound_list[0], "");
    for (int k = 1; k <= MaxSounds; ++k) {
      EXPECT_EQ(sound_list[k], k <= c.count ? "line" + std::to_string(k) : "") << "slot " << k;
    }
  }
}

TEST_F(ReadSoundListTest, StopsReadingAfterTheFiftiethLine) {
  const std::string lines = Lines(50);
  fake.files[kListPath] = lines + std::string(1 << 20, 'x');
  EXPECT_EQ(Read(), 50);
  EXPECT_EQ(sound_list[50], "line50");
  EXPECT_LE(fake.bytes_handed_out, lines.size() + 128);
}

TEST_F(ReadSoundListTest, UsesTheFirst259CharactersOfALongPath) {
  const std::string path = std::string(kListFolder) + "\\" + std::string(300, 'p');
  fake.files[path.substr(0, 259)] = "A\r\n";
  EXPECT_EQ(Read(path), 1);
  EXPECT_EQ(sound_list[1], "A");
}

TEST_F(ReadSoundListTest, FailsWithTheMessageForTheWindowsCode) {
  fake.files[kListPath] = Lines(3);
  const struct {
    std::string path;
    std::function<Status(const FakePlatform::Call&)> fault;
    std::string raised;
  } cases[] = {
      {"C:\\Sonidos\\falta.txt", nullptr, "EInOutError(2): File not found"},
      {"C:\\Falta\\lista.txt", nullptr, "EInOutError(3): Invalid filename"},
      {kListFolder, nullptr, "EInOutError(5): File access denied"},
      {"", nullptr, "EInOutError(3): Invalid filename"},
      {kListPath, FailOn("Read", kErrorSharingViolation), "EInOutError(32): I/O error 32"},
      {kListPath, FailOn("CloseFile", kErrorAccessDenied), "EInOutError(5): File access denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raised + " for \"" + c.path + "\"");
    fake.fault = c.fault;
    EXPECT_EQ(Raised([&] { Read(c.path); }), c.raised);
    EXPECT_EQ(fake.open_file_count(), 0);
  }
}

class CreateListFileTest : public ReadSoundListTest {};

TEST_F(CreateListFileTest, MakesAnEmptyFileOrKeepsTheOneThere) {
  CreateListFile(fake, kListPath);
  EXPECT_EQ(fake.files.at(kListPath), "");

  fake.files[kListPath] = "A\r\nB\r\n";
  CreateListFile(fake, kListPath);
  EXPECT_EQ(fake.files.at(kListPath), "A\r\nB\r\n");
  EXPECT_EQ(fake.open_file_count(), 0);
}

TEST_F(CreateListFileTest, AMissingFolderFails) {
  EXPECT_EQ(Raised([&] { CreateListFile(fake, "C:\\Falta\\kardum.dat"); }),
            "EInOutError(3): Invalid filename");
  EXPECT_EQ(fake.files.count("C:\\Falta\\kardum.dat"), 0u);
  EXPECT_EQ(fake.open_file_count(), 0);
}

TEST_F(CreateListFileTest, AFailingCloseFailsAndLeavesTheFile) {
  fake.fault = FailOn("CloseFile", kErrorAccessDenied);
  EXPECT_EQ(Raised([&] { CreateListFile(fake, kListPath); }), "EInOutError(5): File access denied");
  EXPECT_EQ(fake.files.count(kListPath), 1u);
  EXPECT_EQ(fake.open_file_count(), 0);
}

}  // namespace
}  // namespace kardum
