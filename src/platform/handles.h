// Move-only owners of the handles that cross the platform boundary.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace kardum {

// Owns a registry key handle; 0 means none. HKEY_CURRENT_USER is never owned.
class UniqueKey {
 public:
  explicit UniqueKey(Platform& os) : os_(&os) {}
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  UniqueKey(UniqueKey&& other) noexcept : os_(other.os_), key_(std::exchange(other.key_, 0)) {}
  UniqueKey& operator=(UniqueKey&&) = delete;
  ~UniqueKey() { Reset(); }

  KeyHandle Get() const { return key_; }
  bool IsOpen() const { return key_ != 0; }
  // For the boundary call that opens the key; the owner must be empty.
  KeyHandle& Receive() { return key_; }
  void Reset() {
    if (key_ != 0) os_->CloseKey(std::exchange(key_, 0));
  }

 private:
  Platform* os_;
  KeyHandle key_ = 0;
};

// Owns a file handle; kNoFile means none (INVALID_HANDLE_VALUE).
inline constexpr FileHandle kNoFile = ~FileHandle{0};

class UniqueFile {
 public:
  explicit UniqueFile(Platform& os) : os_(&os) {}
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;
  UniqueFile(UniqueFile&& other) noexcept
      : os_(other.os_), file_(std::exchange(other.file_, kNoFile)) {}
  UniqueFile& operator=(UniqueFile&&) = delete;
  // A failure elsewhere leaves the file to be closed here; that close can only
  // release the handle, so its status does not matter.
  ~UniqueFile() {
    if (file_ != kNoFile) os_->CloseFile(file_);
  }

  FileHandle Get() const { return file_; }
  FileHandle& Receive() { return file_; }
  // The checked close of a file that was used successfully.
  [[nodiscard]] Status Close() { return os_->CloseFile(std::exchange(file_, kNoFile)); }

 private:
  Platform* os_;
  FileHandle file_ = kNoFile;
};

}  // namespace kardum
