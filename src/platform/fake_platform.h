// An in-memory stand-in for the operating system, for tests: a registry below
// HKEY_CURRENT_USER, a few files and folders, and a record of what the program
// showed and started. Any call can be made to fail through `fault`.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kardum {

class FakePlatform final : public Platform {
 public:
  struct Value {
    std::uint32_t type = kRegSz;
    std::string data;
    bool operator==(const Value&) const = default;
  };
  struct Key {
    std::map<std::string, Value> values;
    bool read_only = false;  // opens with write access are refused
    bool locked = false;     // every open is refused
  };
  // What a call is about to do; `fault` may fail it by returning an error.
  struct Call {
    std::string name;    // the boundary function, e.g. "SetValue"
    std::string target;  // key path, "key path\value name", file path or text
    std::uint32_t access = 0;
  };
  struct Box {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
  };

  // Registry: key paths below HKEY_CURRENT_USER ("" is the root itself).
  std::map<std::string, Key> keys{{"", {}}};
  // Files by path, and the folders that exist.
  std::map<std::string, std::string> files;
  std::set<std::string> folders{"C:", "C:\\WINDOWS"};
  std::string windows_dir = "C:\\WINDOWS";
  std::uint32_t windows_dir_failure = 0;  // GetLastError of a failing lookup
  int message_box_result = 1;             // IDOK
  std::string module_path = "C:\\Programas\\kardum2.exe";
  std::uintptr_t image_base = 0;

  std::function<Status(const Call&)> fault;

  // What happened.
  std::vector<std::string> log;  // one line a call, in order
  std::vector<Box> boxes;
  std::vector<std::string> started;
  std::uint64_t bytes_handed_out = 0;
  int open_key_count() const { return static_cast<int>(key_handles_.size()); }
  int open_file_count() const { return static_cast<int>(file_handles_.size()); }

  // Convenience for tests.
  void SetString(const std::string& key, const std::string& name, const std::string& text);
  // The stored value, or nullptr.
  const Value* Find(const std::string& key, const std::string& name) const;

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

  std::string ModulePath() override { return module_path; }
  std::uintptr_t ImageBase() override { return image_base; }

 private:
  struct OpenKeyInfo {
    std::string path;
    bool writable;
  };
  struct OpenFileInfo {
    std::string path;
    std::size_t position;
  };
  Status Enter(const std::string& name, const std::string& target, std::uint32_t access = 0);
  std::string PathOf(KeyHandle parent, const std::string& sub_key) const;
  Status CheckAccess(const std::string& path, std::uint32_t access) const;
  KeyHandle NewKeyHandle(const std::string& path, std::uint32_t access);
  std::string FolderOf(const std::string& path) const;

  std::map<KeyHandle, OpenKeyInfo> key_handles_;
  std::map<FileHandle, OpenFileInfo> file_handles_;
  std::uintptr_t next_handle_ = 0x100;
};

}  // namespace kardum
