#include "e2e_support.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace kardum_e2e {
namespace {

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  throw std::runtime_error(what + " (Windows error " + std::to_string(code) + ")");
}

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  HKEY Get() const { return key_; }
  HKEY* Receive() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

std::string EscapeBytes(std::string_view bytes) {
  std::string out;
  for (const unsigned char c : bytes) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

void PrintOptional(const std::optional<RegValue>& value, std::ostream* os) {
  if (value) {
    PrintTo(*value, os);
  } else {
    *os << "(missing)";
  }
}

void DeleteTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") DeleteTree(path + "\\" + name);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
  } else {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    Fail("cannot delete " + path, GetLastError());
  }
}

void DeleteKeyTree(const char* key) {
  const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, key);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail(std::string("cannot delete HKCU\\") + key, status);
  }
}

std::string Kardum2Path() {
  std::string path(MAX_PATH, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) Fail("cannot find the test program", GetLastError());
  path.resize(length);
  return path.substr(0, path.find_last_of('\\') + 1) + "kardum2.exe";
}

constexpr char kWineDllOverrides[] = "Software\\Wine\\DllOverrides";

}  // namespace

void PrintTo(const RegValue& value, std::ostream* os) {
  *os << "{type " << value.type << ", \"" << EscapeBytes(value.data) << "\"}";
}

void PrintTo(const RegistryState& state, std::ostream* os) {
  *os << "{Datos ";
  PrintOptional(state.datos, os);
  *os << ", Posicion ";
  PrintOptional(state.posicion, os);
  *os << ", sound ";
  PrintOptional(state.sound, os);
  *os << "}";
}

RegValue StoredText(std::string_view text) {
  std::string data(text);
  data.append(2, '\0');
  return {REG_SZ, std::move(data)};
}

void SetRegValue(const char* key, const char* name, const RegValue& value) {
  Key opened;
  LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, opened.Receive(), nullptr);
  if (status != ERROR_SUCCESS) Fail(std::string("cannot create HKCU\\") + key, status);
  status = RegSetValueExA(opened.Get(), name, 0, value.type,
                          reinterpret_cast<const BYTE*>(value.data.data()),
                          static_cast<DWORD>(value.data.size()));
  if (status != ERROR_SUCCESS) Fail(std::string("cannot set ") + name, status);
}

void SetRegText(const char* key, const char* name, std::string_view text) {
  SetRegValue(key, name, StoredText(text));
}

void DeleteRegValue(const char* key, const char* name) {
  Key opened;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, opened.Receive()) != ERROR_SUCCESS) {
    return;
  }
  const LSTATUS status = RegDeleteValueA(opened.Get(), name);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail(std::string("cannot delete ") + name, status);
  }
}

std::optional<RegValue> ReadRegValue(const char* key, const char* name) {
  Key opened;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value;
  DWORD size = 0;
  if (RegQueryValueExA(opened.Get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  const LSTATUS status = RegQueryValueExA(opened.Get(), name, nullptr, &value.type,
                                          reinterpret_cast<BYTE*>(value.data.data()), &size);
  if (status != ERROR_SUCCESS) Fail(std::string("cannot read ") + name, status);
  value.data.resize(size);
  return value;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) Fail("cannot create " + path, GetLastError());
  DWORD written = 0;
  if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    Fail("cannot write " + path, GetLastError());
  }
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

void MakeDir(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr)) Fail("cannot create " + path, GetLastError());
}

std::string WindowsDir() {
  char dir[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(dir, sizeof dir);
  if (length == 0 || length >= sizeof dir) Fail("no Windows directory", GetLastError());
  return std::string(dir, length);
}

std::string DefaultListPath() { return WindowsDir() + "\\kardum.dat"; }

PROCESS_INFORMATION StartKardum2(DWORD creation_flags) {
  const std::string exe = Kardum2Path();
  std::string command_line = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, creation_flags,
                      nullptr, nullptr, &startup, &started)) {
    Fail("cannot start " + exe, GetLastError());
  }
  return started;
}

DWORD RunKardum2() {
  const PROCESS_INFORMATION started = StartKardum2();
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  // Only a guard against a hung run (a box that waits for a user), not a
  // measure of speed.
  if (WaitForSingleObject(process.Get(), 60'000) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 99);
    WaitForSingleObject(process.Get(), INFINITE);
    throw std::runtime_error("kardum2.exe did not end");
  }
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(process.Get(), &exit_code)) Fail("no exit code", GetLastError());
  return exit_code;
}

RegistryState CaptureRegistry() {
  return {ReadRegValue(kSettingsKey, "Datos"), ReadRegValue(kSettingsKey, "Posicion"),
          ReadRegValue(kStartupSoundKey, "")};
}

// A first run starts Notepad. Wine decides from its DLL overrides whether a
// built-in program may start; an environment variable set here would not reach
// that decision, the registry does. With Notepad disabled none outlives its
// test or holds the list file: WinExec fails, which the program ignores.
void KardumE2eTest::SetUpTestSuite() { SetRegText(kWineDllOverrides, "notepad.exe", ""); }

void KardumE2eTest::TearDownTestSuite() { DeleteRegValue(kWineDllOverrides, "notepad.exe"); }

void KardumE2eTest::ClearState() {
  DeleteKeyTree("Software\\Trelis");
  DeleteKeyTree("AppEvents\\Schemes\\Apps\\.Default\\SystemStart");
  DeleteTree(DefaultListPath());
  DeleteTree(kScratchDir);
  DeleteTree(kZepoDir);
}

}  // namespace kardum_e2e
