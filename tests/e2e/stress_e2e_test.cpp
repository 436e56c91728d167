// The real program under load and with hostile input. Every run must end in a
// defined way: exit 0 with complete values, or exit 1 with nothing written
// after the failing step. A crash would show as another exit code.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "e2e_support.h"

namespace kardum_e2e {
namespace {

const std::string kListPath = std::string(kScratchDir) + "\\sonidos.txt";

// The entries a list yields, by the line rules, written out plainly: an
// independent second opinion on the program's reader.
std::vector<std::string> ListEntries(std::string_view bytes) {
  std::string_view rest = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string> entries;
  while (!rest.empty() && entries.size() < 50) {
    const std::size_t cr = rest.find('\r');
    entries.emplace_back(rest.substr(0, cr));
    if (cr == std::string_view::npos) break;
    rest.remove_prefix(cr + 1);
    if (!rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
  }
  return entries;
}

// Compares without printing: the values here run to megabytes.
::testing::AssertionResult HoldsExactly(const std::optional<RegValue>& got,
                                        const RegValue& expected) {
  if (!got) return ::testing::AssertionFailure() << "value missing";
  if (*got == expected) return ::testing::AssertionSuccess();
  const auto differ =
      std::mismatch(got->data.begin(), got->data.end(), expected.data.begin(), expected.data.end());
  return ::testing::AssertionFailure()
         << "type " << got->type << " (expected " << expected.type << "), " << got->data.size()
         << " bytes (expected " << expected.data.size() << "), first difference at byte "
         << (differ.first - got->data.begin());
}

class StressTest : public KardumE2eTest {
 protected:
  void SetUp() override {
    KardumE2eTest::SetUp();
    MakeDir(kScratchDir);
  }

  static void Record(const std::string& list, const std::string& posicion) {
    WriteFileBytes(kListPath, list);
    SetRegText(kSettingsKey, "Datos", kListPath);
    SetRegText(kSettingsKey, "Posicion", posicion);
  }
};

// Reads one value while other processes write it: each read is a single query
// into a buffer larger than any value written, so it sees one stored state.
class ValueWatcher {
 public:
  ValueWatcher(const char* key, const char* name) : key_path_(key), name_(name) {}
  ValueWatcher(const ValueWatcher&) = delete;
  ValueWatcher& operator=(const ValueWatcher&) = delete;
  ~ValueWatcher() {
    if (key_) RegCloseKey(key_);
  }

  // Empty while the key or the value is missing.
  std::optional<RegValue> Read() {
    if (!key_ &&
        RegOpenKeyExA(HKEY_CURRENT_USER, key_path_, 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return std::nullopt;
    }
    RegValue value;
    value.data.resize(kBufferSize);
    DWORD size = kBufferSize;
    const LSTATUS status = RegQueryValueExA(key_, name_, nullptr, &value.type,
                                            reinterpret_cast<BYTE*>(value.data.data()), &size);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS)
      throw std::runtime_error("query failed: " + std::to_string(status));
    value.data.resize(size);
    return value;
  }

 private:
  static constexpr DWORD kBufferSize = 1 << 16;
  const char* key_path_;
  const char* name_;
  HKEY key_ = nullptr;
};

TEST_F(StressTest, ConcurrentRunsLeaveOnlyCompleteValues) {
  constexpr int kRuns = 20;
  constexpr int kEntries = 7;
  // Lengths differ, and some are long, so that a torn write could not pass
  // for another entry.
  std::vector<RegValue> entries;
  std::string list;
  for (int i = 1; i <= kEntries; ++i) {
    const std::string entry = "C:\\sonidos\\" + std::string(i * i * 40, 'a' + i) + ".wav";
    entries.push_back(StoredText(entry));
    list += entry + "\r\n";
  }
  std::vector<RegValue> positions;
  for (int i = 1; i <= kEntries; ++i) positions.push_back(StoredText(std::to_string(i)));
  const RegValue initial_sound = StoredText("C:\\antes.wav");
  const auto is_one_of = [](const std::vector<RegValue>& allowed, const RegValue& value) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
  };

  for (int batch = 1; batch <= 3; ++batch) {
    SCOPED_TRACE("batch " + std::to_string(batch));
    ClearState();
    MakeDir(kScratchDir);
    Record(list, "1");
    // The first batch also creates the start-up sound key in 20 runs at once.
    const bool sound_preset = batch > 1;
    if (sound_preset) SetRegValue(kStartupSoundKey, "", initial_sound);

    // Held until all stand ready, so that their steps interleave.
    std::deque<UniqueHandle> processes;
    std::deque<UniqueHandle> threads;
    std::vector<HANDLE> waitable;
    for (int i = 0; i < kRuns; ++i) {
      const PROCESS_INFORMATION started = StartKardum2(CREATE_SUSPENDED);
      waitable.push_back(processes.emplace_back(started.hProcess).Get());
      threads.emplace_back(started.hThread);
    }
    for (const UniqueHandle& thread : threads) EXPECT_NE(DWORD(-1), ResumeThread(thread.Get()));

    ValueWatcher sound(kStartupSoundKey, "");
    ValueWatcher posicion(kSettingsKey, "Posicion");
    // The deadline only guards against a hung run.
    const ULONGLONG give_up = GetTickCount64() + 120'000;
    DWORD waited = WAIT_TIMEOUT;
    while (waited == WAIT_TIMEOUT && GetTickCount64() < give_up) {
      waited =
          WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), TRUE, 0);
      const std::optional<RegValue> seen_sound = sound.Read();
      const std::optional<RegValue> seen_posicion = posicion.Read();
      if (seen_sound) {
        EXPECT_TRUE(is_one_of(entries, *seen_sound) ||
                    (sound_preset && *seen_sound == initial_sound))
            << ::testing::PrintToString(*seen_sound);
      } else {
        EXPECT_FALSE(sound_preset) << "start-up sound vanished";
      }
      EXPECT_TRUE(seen_posicion && is_one_of(positions, *seen_posicion))
          << ::testing::PrintToString(seen_posicion);
    }
    if (waited == WAIT_TIMEOUT) {
      for (const HANDLE process : waitable) TerminateProcess(process, 99);
      WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), TRUE, INFINITE);
      FAIL() << "runs did not end";
    }
    ASSERT_EQ(WAIT_OBJECT_0, waited);

    for (const HANDLE process : waitable) {
      DWORD exit_code = 99;
      ASSERT_TRUE(GetExitCodeProcess(process, &exit_code));
      EXPECT_EQ(0u, exit_code);
    }
    const std::optional<RegValue> final_sound = ReadRegValue(kStartupSoundKey, "");
    ASSERT_TRUE(final_sound);
    EXPECT_TRUE(is_one_of(entries, *final_sound)) << ::testing::PrintToString(*final_sound);
    const std::optional<RegValue> final_posicion = ReadRegValue(kSettingsKey, "Posicion");
    ASSERT_TRUE(final_posicion);
    EXPECT_TRUE(is_one_of(positions, *final_posicion)) << ::testing::PrintToString(*final_posicion);
    EXPECT_EQ(StoredText(kListPath), ReadRegValue(kSettingsKey, "Datos"));
    EXPECT_EQ(list, ReadFileBytes(kListPath));
  }
}

// Wine's registry takes string values of these sizes whole, 64 MiB included
// (RegSetValueExA succeeds; the data reads back byte for byte), so every run
// ends normally. Should a registry refuse one, the run would have to end with
// "Failed to set data for ''": exit 1 and Posicion unchanged.
TEST_F(StressTest, LongEntriesAreStoredWhole) {
  for (const std::size_t length :
       {std::size_t{1} << 10, std::size_t{16} << 10, std::size_t{1} << 20, std::size_t{16} << 20,
        std::size_t{64} << 20}) {
    SCOPED_TRACE(std::to_string(length) + " bytes");
    std::string entry(length, 'x');
    entry.replace(0, 11, "C:\\sonidos\\");
    entry.replace(length - 4, 4, ".wav");
    Record(entry + "\r\nC:\\sonidos\\b.wav\r\n", "1");

    ASSERT_EQ(0u, RunKardum2());
    EXPECT_TRUE(HoldsExactly(ReadRegValue(kStartupSoundKey, ""), StoredText(entry)));
    EXPECT_EQ(StoredText("2"), ReadRegValue(kSettingsKey, "Posicion"));
  }
}

TEST_F(StressTest, RandomBytesFollowLineRules) {
  for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Most 0x1A bytes become CR, so that the list runs to some lines before
    // its end mark, if it meets one at all.
    std::string bytes(4096, '\0');
    for (char& byte : bytes) {
      byte = static_cast<char>(random() & 0xFF);
      if (byte == '\x1A' && random() % 8 != 0) byte = '\r';
    }
    const std::vector<std::string> entries = ListEntries(bytes);
    const int count = static_cast<int>(entries.size());
    ASSERT_GE(count, 2) << "this seed makes too short a list to rotate through";

    // The last entry wraps round; the one after names no entry at all.
    for (const int position : {1, 2, count, count + 1}) {
      SCOPED_TRACE("position " + std::to_string(position));
      Record(bytes, std::to_string(position));
      SetRegText(kStartupSoundKey, "", "C:\\antes.wav");
      ASSERT_EQ(0u, RunKardum2());
      EXPECT_EQ(StoredText(position <= count ? entries[position - 1] : ""),
                ReadRegValue(kStartupSoundKey, ""));
      EXPECT_EQ(StoredText(std::to_string(position + 1 > count ? 1 : position + 1)),
                ReadRegValue(kSettingsKey, "Posicion"));
    }
  }
}

// A NUL belongs to the entry. The whole entry is stored, its inner NUL and
// what follows it included, with the usual two NULs after it; a reader that
// stops at the first NUL sees only the text before it.
TEST_F(StressTest, NulInsideEntryIsStoredWithRestOfLine) {
  const std::string list("C:\\son\0idos\\a.wav\r\n\0\r\nC:\\b.wav\0\r\n", 33);
  const std::vector<std::string> entries = ListEntries(list);
  ASSERT_EQ(3u, entries.size());
  for (int position = 1; position <= 3; ++position) {
    SCOPED_TRACE(position);
    Record(list, std::to_string(position));
    ASSERT_EQ(0u, RunKardum2());
    EXPECT_EQ(StoredText(entries[position - 1]), ReadRegValue(kStartupSoundKey, ""));
    EXPECT_EQ(StoredText(std::to_string(position % 3 + 1)), ReadRegValue(kSettingsKey, "Posicion"));
  }
}

TEST_F(StressTest, LongPositionTexts) {
  const struct {
    const char* name;
    std::string posicion;
    bool accepted;
  } kCases[] = {
      {"spaces then 2", std::string(10'000, ' ') + "2", true},
      {"zeros then 2", std::string(10'000, '0') + "2", true},
      {"digits", std::string(10'000, '1'), false},
      {"spaces only", std::string(10'000, ' '), false},
  };
  constexpr char kList[] = "C:\\sonidos\\a.wav\r\nC:\\sonidos\\b.wav\r\nC:\\sonidos\\c.wav\r\n";
  for (const auto& text : kCases) {
    SCOPED_TRACE(text.name);
    Record(kList, text.posicion);
    SetRegText(kStartupSoundKey, "", "C:\\antes.wav");
    const RegistryState before = CaptureRegistry();
    if (text.accepted) {
      ASSERT_EQ(0u, RunKardum2());
      EXPECT_EQ(StoredText("C:\\sonidos\\b.wav"), ReadRegValue(kStartupSoundKey, ""));
      EXPECT_EQ(StoredText("3"), ReadRegValue(kSettingsKey, "Posicion"));
    } else {
      EXPECT_EQ(1u, RunKardum2());
      EXPECT_EQ(before, CaptureRegistry());
    }
  }
}

// Only the first 259 characters of Datos name the list, however long it is. A
// decoy at the first 258 shows the cut is not shorter; a longer path could not
// be opened at all.
TEST_F(StressTest, LongListPathNamesFileByFirst259Characters) {
  const std::string dir = std::string(kScratchDir) + "\\" + std::string(200, 'd');
  MakeDir(dir);
  const std::string path = dir + "\\" + std::string(259 - dir.size() - 1, 'f');
  ASSERT_EQ(259u, path.size());
  WriteFileBytes(path, "C:\\sonidos\\cortado.wav\r\n");
  WriteFileBytes(path.substr(0, 258), "C:\\sonidos\\corto.wav\r\n");

  for (const std::size_t length : {std::size_t{300}, std::size_t{10'000}}) {
    SCOPED_TRACE(length);
    for (const bool file_there : {true, false}) {
      SCOPED_TRACE(file_there ? "file there" : "no file there");
      // Otherwise the first 259 characters name no file: the run fails before any write.
      const std::string datos = file_there
                                    ? path + std::string(length - 259, 'x')
                                    : path.substr(0, 258) + "g" + std::string(length - 259, 'f');
      SetRegText(kSettingsKey, "Datos", datos);
      SetRegText(kSettingsKey, "Posicion", "1");
      SetRegText(kStartupSoundKey, "", "C:\\antes.wav");
      const RegistryState before = CaptureRegistry();
      if (file_there) {
        ASSERT_EQ(0u, RunKardum2());
        EXPECT_EQ(StoredText("C:\\sonidos\\cortado.wav"), ReadRegValue(kStartupSoundKey, ""));
        EXPECT_EQ(StoredText("1"), ReadRegValue(kSettingsKey, "Posicion"));
      } else {
        EXPECT_EQ(1u, RunKardum2());
        EXPECT_EQ(before, CaptureRegistry());
      }
    }
  }
}

}  // namespace
}  // namespace kardum_e2e
