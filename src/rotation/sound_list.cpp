#include "rotation/sound_list.h"

#include "platform/handles.h"
#include "runtime/exceptions.h"
#include "runtime/text_file.h"
#include "settings/settings_store.h"

namespace kardum {
namespace {

// Raises from the routine that called it, which the report should name.
__attribute__((always_inline)) inline void Check(Status status) {
  if (status != kSuccess) RaiseInOutError(status);
}

}  // namespace

bool ZepoEnabled(Platform& os) { return ReadRegString(os, kZepoKey, "Zepo", "No") == "Si"; }

std::string AddBackslash(const std::string& path) {
  return !path.empty() && path.back() == '\\' ? path : path + '\\';
}

__attribute__((noinline)) std::string GetWindowsDir(Platform& os) {
  std::string dir(144, '\0');
  auto length = os.WindowsDirectory(dir.data(), static_cast<std::uint32_t>(dir.size()));
  if (length >= dir.size()) {
    // The directory did not fit: `length` is the size it needs.
    dir.resize(length);
    length = os.WindowsDirectory(dir.data(), static_cast<std::uint32_t>(dir.size()));
  }
  if (length == 0 || length >= dir.size()) RaiseException("Cannot find the Windows directory");
  dir.resize(length);
  return AddBackslash(dir);
}

std::string ChooseNewListPath(Platform& os) {
  if (ZepoEnabled(os)) return kZepoListPath;
  return GetWindowsDir(os) + kListFileName;
}

__attribute__((noinline)) int ReadSoundList(Platform& os, const std::string& path,
                                            SoundListArray& sound_list) {
  UniqueFile file(os);
  Check(os.OpenForReading(path.substr(0, kMaxListPath), file.Receive()));
  TextFileReader reader(os, file.Get());
  int k = 1;
  for (;;) {
    bool at_end = false;
    Check(reader.AtEnd(at_end));
    if (at_end || k > MaxSounds) break;
    Check(reader.ReadLine(sound_list[k]));
    ++k;
  }
  Check(file.Close());
  return k - 1;
}

__attribute__((noinline)) void CreateListFile(Platform& os, const std::string& path) {
  UniqueFile file(os);
  Check(os.CreateForWriting(path, file.Receive()));
  Check(file.Close());
}

}  // namespace kardum
