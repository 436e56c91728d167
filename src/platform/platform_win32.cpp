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

}  // namespace

Status Win32Platform::CreateKey(KeyHandle parent, const std::string& sub_key,
                                std::uint32_t access, KeyHandle& key) {
  HKEY opened = nullptr;
  const LSTATUS status = ::RegCreateKeyExA(ToHkey(parent), sub_key.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, access, nullptr, &opened,
                                           nullptr);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<KeyHandle>(opened);
  return static_cast<Status>(status);
}

Status Win32Platform::OpenKey(KeyHandle parent, const std::string& sub_key,
                              std::uint32_t access, KeyHandle& key) {
  HKEY opened = nullptr;
  const LSTATUS status = ::RegOpenKeyExA(ToHkey(parent), sub_key.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<KeyHandle>(opened);
  return static_cast<Status>(status);
}

Status Win32Platform::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                 char* data, std::uint32_t* size) {
  DWORD got_type = 0;
  DWORD got_size = size ? *size : 0;
  const LSTATUS status =
      ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, type ? &got_type : nullptr,
                         reinterpret_cast<BYTE*>(data), size ? &got_size : nullptr);
  if (status == ERROR_SUCCESS) {
    if (type) *type = got_type;
    if (size) *size = got_size;
  }
  return static_cast<Status>(status);
}

Status Win32Platform::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                               const char* data, std::uint32_t size) {
  return static_cast<Status>(::RegSetValueExA(ToHkey(key), name.c_str(), 0, type,
                                              reinterpret_cast<const BYTE*>(data), size));
}

Status Win32Platform::CloseKey(KeyHandle key) {
  return static_cast<Status>(::RegCloseKey(ToHkey(key)));
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
  using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  const HMODULE user32 = ::LoadLibraryA("user32.dll");
  if (user32 == nullptr) return 0;
  // Through void(*)(): the generic function pointer type GetProcAddress stands for.
  const auto message_box = reinterpret_cast<MessageBoxFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(user32, "MessageBoxA")));
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
