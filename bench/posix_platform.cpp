#include "posix_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kardum_bench {
namespace {

// ERROR_NOT_SUPPORTED and ERROR_GEN_FAILURE.
constexpr Status kErrorNotSupported = 50;
constexpr Status kErrorGenFailure = 31;

// The Win32 code a reader of the list would have got for the same failure.
Status FromErrno(int error) {
  switch (error) {
    case ENOENT:
      return kardum::kErrorFileNotFound;
    case ENOTDIR:
      return kardum::kErrorPathNotFound;
    case EACCES:
    case EISDIR:
      return kardum::kErrorAccessDenied;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace

Status PosixPlatform::CreateKey(KeyHandle, const std::string&, std::uint32_t, KeyHandle&) {
  return kErrorNotSupported;
}

Status PosixPlatform::OpenKey(KeyHandle, const std::string&, std::uint32_t, KeyHandle&) {
  return kErrorNotSupported;
}

Status PosixPlatform::QueryValue(KeyHandle, const std::string&, std::uint32_t*, char*,
                                 std::uint32_t*) {
  return kErrorNotSupported;
}

Status PosixPlatform::SetValue(KeyHandle, const std::string&, std::uint32_t, const char*,
                               std::uint32_t) {
  return kErrorNotSupported;
}

Status PosixPlatform::CloseKey(KeyHandle) { return kErrorNotSupported; }

Status PosixPlatform::OpenForReading(const std::string& path, FileHandle& file) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  file = static_cast<FileHandle>(fd);
  return kardum::kSuccess;
}

Status PosixPlatform::CreateForWriting(const std::string&, FileHandle&) {
  return kErrorNotSupported;
}

Status PosixPlatform::Read(FileHandle file, char* buffer, std::uint32_t size,
                           std::uint32_t& bytes_read) {
  ssize_t got;
  do {
    got = ::read(static_cast<int>(file), buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return FromErrno(errno);
  bytes_read = static_cast<std::uint32_t>(got);
  return kardum::kSuccess;
}

Status PosixPlatform::CloseFile(FileHandle file) {
  return ::close(static_cast<int>(file)) == 0 ? kardum::kSuccess : FromErrno(errno);
}

std::uint32_t PosixPlatform::WindowsDirectory(char*, std::uint32_t) { return 0; }

int PosixPlatform::ShowMessageBox(const std::string&, const std::string&, std::uint32_t) {
  return 0;
}

std::uint32_t PosixPlatform::StartProgram(const std::string&, std::uint32_t) {
  return 2;  // ERROR_FILE_NOT_FOUND, as WinExec reports a missing program
}

std::string PosixPlatform::ModulePath() { return {}; }

std::uintptr_t PosixPlatform::ImageBase() { return 0; }

}  // namespace kardum_bench
