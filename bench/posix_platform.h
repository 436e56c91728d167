// Just enough of the platform boundary over POSIX files to read a sound list
// natively from a real file: the registry, boxes and programs are refused.
#pragma once

#include "platform/platform.h"

namespace kardum_bench {

using kardum::FileHandle;
using kardum::KeyHandle;
using kardum::Status;

class PosixPlatform final : public kardum::Platform {
 public:
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
};

}  // namespace kardum_bench
