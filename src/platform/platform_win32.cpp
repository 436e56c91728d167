#include "platform/platform_win32.h"

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kardum {
namespace {

HKEY ToHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

Status OpenFile(const std::string& path, DWORD access, DWORD disposition, FileHandle& file) {
  const HANDLE handle = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
  file = reinterpret_cast<FileHandle>(handle);
  return kSuccess;
}

// Through void(*)(): the generic function pointer type GetProcAddress stands for.
template <typename Function>
Function* ProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

// Windows 7 and later, and Wine, serve the registry from KERNEL32, which every
// process has loaded already; importing ADVAPI32 would load it and the DLLs it
// needs on every run. Older Windows have these functions in ADVAPI32 only.
Win32Platform::Win32Platform() {
  for (const bool loaded : {true, false}) {
    const HMODULE module =
        loaded ? ::GetModuleHandleA("kernel32.dll") : ::LoadLibraryA("advapi32.dll");
    if (module == nullptr) continue;
    registry_.create_key = ProcAddress<decltype(::RegCreateKeyExA)>(module, "RegCreateKeyExA");
    registry_.open_key = ProcAddress<decltype(::RegOpenKeyExA)>(module, "RegOpenKeyExA");
    registry_.query_value = ProcAddress<decltype(::RegQueryValueExA)>(module, "RegQueryValueExA");
    registry_.set_value = ProcAddress<decltype(::RegSetValueExA)>(module, "RegSetValueExA");
    registry_.close_key = ProcAddress<decltype(::RegCloseKey)>(module, "RegCloseKey");
    if (registry_.create_key && registry_.open_key && registry_.query_value &&
        registry_.set_value && registry_.close_key) {
      return;
    }
  }
  registry_ = {};
}

Status Win32Platform::CreateKey(KeyHandle parent, const std::string& sub_key,
                                std::uint32_t access, KeyHandle& key) {
  if (!registry_.create_key) return ERROR_PROC_NOT_FOUND;
  HKEY opened = nullptr;
  const LSTATUS status = registry_.create_key(ToHkey(parent), sub_key.c_str(), 0, nullptr,
                                              REG_OPTION_NON_VOLATILE, access, nullptr, &opened,
                                              nullptr);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<KeyHandle>(opened);
  return static_cast<Status>(status);
}

Status Win32Platform::OpenKey(KeyHandle parent, const std::string& sub_key,
                              std::uint32_t access, KeyHandle& key) {
  if (!registry_.open_key) return ERROR_PROC_NOT_FOUND;
  HKEY opened = nullptr;
  const LSTATUS status = registry_.open_key(ToHkey(parent), sub_key.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<KeyHandle>(opened);
  return static_cast<Status>(status);
}

Status Win32Platform::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                 char* data, std::uint32_t* size) {
  if (!registry_.query_value) return ERROR_PROC_NOT_FOUND;
  DWORD got_type = 0;
  DWORD got_size = size ? *size : 0;
  const LSTATUS status =
      registry_.query_value(ToHkey(key), name.c_str(), nullptr, type ? &got_type : nullptr,
                         reinterpret_cast<BYTE*>(data), size ? &got_size : nullptr);
  if (status == ERROR_SUCCESS) {
    if (type) *type = got_type;
    if (size) *size = got_size;
  }
  return static_cast<Status>(status);
}

Status Win32Platform::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                               const char* data, std::uint32_t size) {
  if (!registry_.set_value) return ERROR_PROC_NOT_FOUND;
  return static_cast<Status>(registry_.set_value(ToHkey(key), name.c_str(), 0, type,
                                                 reinterpret_cast<const BYTE*>(data), size));
}

Status Win32Platform::CloseKey(KeyHandle key) {
  if (!registry_.close_key) return ERROR_PROC_NOT_FOUND;
  return static_cast<Status>(registry_.close_key(ToHkey(key)));
}

Status Win32Platform::OpenForReading(const std::string& path, FileHandle& file) {
  return OpenFile(path, GENERIC_READ, OPEN_EXISTING, file);
}

Status Win32Platform::CreateForWriting(const std::string& path, FileHandle& file) {
  return OpenFile(path, GENERIC_WRITE, OPEN_ALWAYS, file);
}

Status Win32Platform::Read(FileHandle file, char* buffer, std::uint32_t size,
                           std::uint32_t& bytes_read) {
  DWORD got = 0;
  if (!::ReadFile(ToHandle(file), buffer, size, &got, nullptr)) return ::GetLastError();
  bytes_read = got;
  return kSuccess;
}

Status Win32Platform::CloseFile(FileHandle file) {
  return ::CloseHandle(ToHandle(file)) ? kSuccess : ::GetLastError();
}

std::uint32_t Win32Platform::WindowsDirectory(char* buffer, std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

// USER32 is loaded only when a box must show: merely importing it makes every
// run pay for the windowing libraries, and most runs show nothing.
int Win32Platform::ShowMessageBox(const std::string& text, const std::string& caption,
                                  std::uint32_t style) {
  const HMODULE user32 = ::LoadLibraryA("user32.dll");
  if (user32 == nullptr) return 0;
  const auto message_box = ProcAddress<decltype(::MessageBoxA)>(user32, "MessageBoxA");
  // The process ends soon after the box; USER32 stays loaded until then.
  return message_box != nullptr ? message_box(nullptr, text.c_str(), caption.c_str(), style) : 0;
}

std::uint32_t Win32Platform::StartProgram(const std::string& command_line, std::uint32_t show) {
  return ::WinExec(command_line.c_str(), show);
}

std::string Win32Platform::ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::uintptr_t Win32Platform::ImageBase() { return reinterpret_cast<std::uintptr_t>(&__ImageBase); }

}  // namespace kardum
