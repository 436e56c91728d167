// Drives the real kardum2.exe from outside: its registry values and files are
// set and read back here with the plain Win32 functions, byte for byte.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kardum_e2e {

inline constexpr char kSettingsKey[] = "Software\\Trelis\\Kardum";
inline constexpr char kZepoKey[] = "Software\\Trelis\\Zepo";
inline constexpr char kStartupSoundKey[] =
    "AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.current";
// Every file a test makes lives below this folder, unless the program fixes
// the place itself.
inline constexpr char kScratchDir[] = "C:\\kardum-e2e";
inline constexpr char kZepoDir[] = "C:\\misdoc~1";
inline constexpr char kZepoListPath[] = "c:\\misdoc~1\\basedat\\kardum.ddt";

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A registry value as stored: its type and its exact data bytes.
struct RegValue {
  DWORD type = REG_NONE;
  std::string data;
  bool operator==(const RegValue&) const = default;
};
void PrintTo(const RegValue& value, std::ostream* os);

// The stored form of a text written by the program: REG_SZ, the text and two
// 0x00 bytes.
RegValue StoredText(std::string_view text);

// Setting-up helpers throw std::runtime_error when Windows refuses, which
// ends the test as a failure.
void SetRegValue(const char* key, const char* name, const RegValue& value);
void SetRegText(const char* key, const char* name, std::string_view text);
void DeleteRegValue(const char* key, const char* name);
// Empty when the key or the value is missing.
std::optional<RegValue> ReadRegValue(const char* key, const char* name);

void WriteFileBytes(const std::string& path, std::string_view bytes);
// Empty when the file cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path);
void MakeDir(const std::string& path);

// GetWindowsDirectoryA's answer, without a trailing backslash.
std::string WindowsDir();
// Where a first run with the Zepo flag off puts the list.
std::string DefaultListPath();

// Runs kardum2.exe (beside this test program) to its end; returns its exit code.
DWORD RunKardum2();
// Starts kardum2.exe and returns at once; the caller owns both handles.
// CREATE_SUSPENDED holds it until its thread is resumed.
PROCESS_INFORMATION StartKardum2(DWORD creation_flags = 0);

// Everything a run may write into the registry.
struct RegistryState {
  std::optional<RegValue> datos;
  std::optional<RegValue> posicion;
  std::optional<RegValue> sound;
  bool operator==(const RegistryState&) const = default;
};
void PrintTo(const RegistryState& state, std::ostream* os);
RegistryState CaptureRegistry();

// Each test starts, and leaves, with no settings, no start-up sound and none
// of the files that runs or tests create. Notepad cannot start meanwhile.
class KardumE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override { ClearState(); }
  void TearDown() override { ClearState(); }
  static void ClearState();
};

}  // namespace kardum_e2e
