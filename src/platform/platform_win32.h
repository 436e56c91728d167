// The platform boundary bound to the real Win32 ANSI functions.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace kardum {

class Win32Platform final : public Platform {
 public:
  Win32Platform();

  Status CreateKey(KeyHandle parent, const std::string& sub_key, std::uint32_t access,
                   KeyHandle& key) override;
  Status OpenKey(KeyHandle parent, const std::string& sub_key, std::uint32_t access,
                 KeyHandle& key) override;
  Status QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, char* data,
                    std::uint32_t* size) override;
  Status SetValue(KeyHandle key, const std::string& name, std::uint32_t type, const char* data,
                  std::uint32_t size) override;
  Status CloseKey(KeyHandle key) override;

  Status OpenForReading(const std::string& path, FileHandle& file) override;
  Status CreateForWriting(const std::string& path, FileHandle& file) override;
  Status Read(FileHandle file, char* buffer, std::uint32_t size,
              std::uint32_t& bytes_read) override;
  Status CloseFile(FileHandle file) override;

  std::uint32_t WindowsDirectory(char* buffer, std::uint32_t size) override;
  int ShowMessageBox(const std::string& text, const std::string& caption,
                     std::uint32_t style) override;
  std::uint32_t StartProgram(const std::string& command_line, std::uint32_t show) override;

  std::string ModulePath() override;
  std::uintptr_t ImageBase() override;

 private:
  // The registry functions, from wherever this Windows keeps them; a call
  // whose function could not be found fails with ERROR_PROC_NOT_FOUND.
  struct RegistryFunctions {
    decltype(::RegCreateKeyExA)* create_key = nullptr;
    decltype(::RegOpenKeyExA)* open_key = nullptr;
    decltype(::RegQueryValueExA)* query_value = nullptr;
    decltype(::RegSetValueExA)* set_value = nullptr;
    decltype(::RegCloseKey)* close_key = nullptr;
  };
  RegistryFunctions registry_;
};

}  // namespace kardum
