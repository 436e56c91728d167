// The narrow boundary between kardum2's logic and the operating system.
//
// Every call mirrors one Win32 ANSI function: texts go through unchanged, and
// the status a call returns is the Win32 error code it got (0 on success).
// Out-parameters are left untouched when a call fails. The Windows build binds
// this to the real functions (platform_win32.cpp); tests bind it to doubles.
#pragma once

#include <cstdint>
#include <string>

namespace kardum {

using Status = std::uint32_t;
using KeyHandle = std::uintptr_t;
using FileHandle = std::uintptr_t;

inline constexpr Status kSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorPathNotFound = 3;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorSharingViolation = 32;
inline constexpr Status kErrorBrokenPipe = 109;
inline constexpr Status kErrorMoreData = 234;

// HKEY_CURRENT_USER, as the predefined handle value Windows uses.
inline constexpr KeyHandle kCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kKeyRead = 0x20019;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;

inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconStop = 0x10;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr std::uint32_t kSwShowNormal = 1;

class Platform {
 public:
  virtual ~Platform() = default;

  // Registry (advapi32). `CreateKey` is RegCreateKeyExA with reserved 0, no
  // class, REG_OPTION_NON_VOLATILE and no security attributes; `OpenKey` is
  // RegOpenKeyExA with options 0. A null pointer in `QueryValue` asks for
  // nothing in that place, as RegQueryValueExA does.
  [[nodiscard]] virtual Status CreateKey(KeyHandle parent, const std::string& sub_key,
                                         std::uint32_t access, KeyHandle& key) = 0;
  [[nodiscard]] virtual Status OpenKey(KeyHandle parent, const std::string& sub_key,
                                       std::uint32_t access, KeyHandle& key) = 0;
  [[nodiscard]] virtual Status QueryValue(KeyHandle key, const std::string& name,
                                          std::uint32_t* type, char* data,
                                          std::uint32_t* size) = 0;
  [[nodiscard]] virtual Status SetValue(KeyHandle key, const std::string& name,
                                        std::uint32_t type, const char* data,
                                        std::uint32_t size) = 0;
  virtual Status CloseKey(KeyHandle key) = 0;

  // Files (kernel32). `OpenForReading`: GENERIC_READ, FILE_SHARE_READ,
  // OPEN_EXISTING. `CreateForWriting`: GENERIC_WRITE, FILE_SHARE_READ,
  // OPEN_ALWAYS, so an existing file is kept as it is. Both use
  // FILE_ATTRIBUTE_NORMAL. `Read` reports the end of the file as success with
  // 0 bytes read.
  [[nodiscard]] virtual Status OpenForReading(const std::string& path, FileHandle& file) = 0;
  [[nodiscard]] virtual Status CreateForWriting(const std::string& path, FileHandle& file) = 0;
  [[nodiscard]] virtual Status Read(FileHandle file, char* buffer, std::uint32_t size,
                                    std::uint32_t& bytes_read) = 0;
  virtual Status CloseFile(FileHandle file) = 0;

  // GetWindowsDirectoryA: the length copied, or the size needed (terminating
  // NUL included) when `size` is too small, or 0 on failure.
  virtual std::uint32_t WindowsDirectory(char* buffer, std::uint32_t size) = 0;

  // MessageBoxA with no owner window; WinExec.
  virtual int ShowMessageBox(const std::string& text, const std::string& caption,
                             std::uint32_t style) = 0;
  virtual std::uint32_t StartProgram(const std::string& command_line, std::uint32_t show) = 0;

  // What the failure report needs to know about the running program.
  virtual std::string ModulePath() = 0;
  virtual std::uintptr_t ImageBase() = 0;
};

}  // namespace kardum
