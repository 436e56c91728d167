#include "platform/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace kardum {
namespace {

constexpr std::uint32_t kWriteRights = 0x0006;  // KEY_SET_VALUE | KEY_CREATE_SUB_KEY

}  // namespace

Status FakePlatform::Enter(const std::string& name, const std::string& target,
                           std::uint32_t access) {
  log.push_back(name + " " + target);
  return fault ? fault(Call{name, target, access}) : kSuccess;
}

std::string FakePlatform::PathOf(KeyHandle parent, const std::string& sub_key) const {
  const std::string base = parent == kCurrentUser ? "" : key_handles_.at(parent).path;
  if (sub_key.empty()) return base;
  return base.empty() ? sub_key : base + "\\" + sub_key;
}

Status FakePlatform::CheckAccess(const std::string& path, std::uint32_t access) const {
  const Key& key = keys.at(path);
  if (key.locked || (key.read_only && (access & kWriteRights) != 0)) return kErrorAccessDenied;
  return kSuccess;
}

KeyHandle FakePlatform::NewKeyHandle(const std::string& path, std::uint32_t access) {
  const KeyHandle handle = next_handle_++;
  key_handles_[handle] = {path, (access & kWriteRights) != 0};
  return handle;
}

Status FakePlatform::CreateKey(KeyHandle parent, const std::string& sub_key,
                               std::uint32_t access, KeyHandle& key) {
  const std::string path = PathOf(parent, sub_key);
  if (const Status status = Enter("CreateKey", path, access); status != kSuccess) return status;
  // Missing keys are made from the top down; a locked key above stops it.
  std::string above;
  for (std::size_t start = 0; !path.empty();) {
    const std::size_t end = path.find('\\', start);
    const std::string part = path.substr(0, end);
    if (keys.count(part) == 0) {
      if (keys.at(above).locked) return kErrorAccessDenied;
      keys[part];
    }
    if (end == std::string::npos) break;
    above = part;
    start = end + 1;
  }
  if (const Status status = CheckAccess(path, access); status != kSuccess) return status;
  key = NewKeyHandle(path, access);
  return kSuccess;
}

Status FakePlatform::OpenKey(KeyHandle parent, const std::string& sub_key, std::uint32_t access,
                             KeyHandle& key) {
  const std::string path = PathOf(parent, sub_key);
  if (const Status status = Enter("OpenKey", path, access); status != kSuccess) return status;
  if (keys.count(path) == 0) return kErrorFileNotFound;
  if (const Status status = CheckAccess(path, access); status != kSuccess) return status;
  key = NewKeyHandle(path, access);
  return kSuccess;
}

Status FakePlatform::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                char* data, std::uint32_t* size) {
  const std::string path = key_handles_.at(key).path;
  if (const Status status = Enter("QueryValue", path + "\\" + name); status != kSuccess) {
    return status;
  }
  const Value* value = Find(path, name);
  if (value == nullptr) return kErrorFileNotFound;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (data != nullptr) {
    if (size == nullptr || *size < needed) return kErrorMoreData;
    std::memcpy(data, value->data.data(), needed);
  }
  if (type != nullptr) *type = value->type;
  if (size != nullptr) *size = needed;
  return kSuccess;
}

Status FakePlatform::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                              const char* data, std::uint32_t size) {
  const OpenKeyInfo& info = key_handles_.at(key);
  if (const Status status = Enter("SetValue", info.path + "\\" + name); status != kSuccess) {
    return status;
  }
  if (!info.writable) return kErrorAccessDenied;
  keys.at(info.path).values[name] = Value{type, std::string(data, size)};
  return kSuccess;
}

Status FakePlatform::CloseKey(KeyHandle key) {
  const auto it = key_handles_.find(key);
  if (it == key_handles_.end()) return 6;  // ERROR_INVALID_HANDLE
  log.push_back("CloseKey " + it->second.path);
  key_handles_.erase(it);
  return kSuccess;
}

std::string FakePlatform::FolderOf(const std::string& path) const {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

Status FakePlatform::OpenForReading(const std::string& path, FileHandle& file) {
  if (const Status status = Enter("OpenForReading", path); status != kSuccess) return status;
  if (folders.count(path) != 0) return kErrorAccessDenied;
  if (files.count(path) == 0) {
    return folders.count(FolderOf(path)) != 0 ? kErrorFileNotFound : kErrorPathNotFound;
  }
  file = next_handle_++;
  file_handles_[file] = {path, 0};
  return kSuccess;
}

Status FakePlatform::CreateForWriting(const std::string& path, FileHandle& file) {
  if (const Status status = Enter("CreateForWriting", path); status != kSuccess) return status;
  if (folders.count(path) != 0) return kErrorAccessDenied;
  if (folders.count(FolderOf(path)) == 0) return kErrorPathNotFound;
  files[path];  // an existing file is kept as it is
  file = next_handle_++;
  file_handles_[file] = {path, 0};
  return kSuccess;
}

Status FakePlatform::Read(FileHandle file, char* buffer, std::uint32_t size,
                          std::uint32_t& bytes_read) {
  OpenFileInfo& info = file_handles_.at(file);
  if (const Status status = Enter("Read", info.path); status != kSuccess) return status;
  const std::string& content = files.at(info.path);
  const std::size_t n = std::min<std::size_t>(size, content.size() - info.position);
  std::memcpy(buffer, content.data() + info.position, n);
  info.position += n;
  bytes_handed_out += n;
  bytes_read = static_cast<std::uint32_t>(n);
  return kSuccess;
}

Status FakePlatform::CloseFile(FileHandle file) {
  const auto it = file_handles_.find(file);
  if (it == file_handles_.end()) return 6;  // ERROR_INVALID_HANDLE
  const std::string path = it->second.path;
  file_handles_.erase(it);
  return Enter("CloseFile", path);
}

std::uint32_t FakePlatform::WindowsDirectory(char* buffer, std::uint32_t size) {
  if (Enter("WindowsDirectory", windows_dir) != kSuccess || windows_dir_failure != 0) return 0;
  if (windows_dir.size() >= size) return static_cast<std::uint32_t>(windows_dir.size() + 1);
  std::memcpy(buffer, windows_dir.c_str(), windows_dir.size() + 1);
  return static_cast<std::uint32_t>(windows_dir.size());
}

int FakePlatform::ShowMessageBox(const std::string& text, const std::string& caption,
                                 std::uint32_t style) {
  if (Enter("ShowMessageBox", caption) != kSuccess) return 0;
  boxes.push_back({text, caption, style});
  return message_box_result;
}

std::uint32_t FakePlatform::StartProgram(const std::string& command_line, std::uint32_t show) {
  if (Enter("StartProgram", command_line) != kSuccess) return 2;  // ERROR_FILE_NOT_FOUND
  started.push_back(command_line + (show == kSwShowNormal ? "" : " (not shown normally)"));
  return 33;
}

void FakePlatform::SetString(const std::string& key, const std::string& name,
                             const std::string& text) {
  std::string data = text;
  data.append(2, '\0');
  keys[key].values[name] = Value{kRegSz, data};
}

const FakePlatform::Value* FakePlatform::Find(const std::string& key,
                                              const std::string& name) const {
  const auto k = keys.find(key);
  if (k == keys.end()) return nullptr;
  const auto v = k->second.values.find(name);
  return v == k->second.values.end() ? nullptr : &v->second;
}

}  // namespace kardum
