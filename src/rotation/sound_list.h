// The sound list file: where a new one goes, how it is read, how it is made.
#pragma once

#include <array>
#include <string>

#include "platform/platform.h"

namespace kardum {

inline constexpr int MaxSounds = 50;

// Entries 1 to MaxSounds; slot 0 is never used.
using SoundListArray = std::array<std::string, MaxSounds + 1>;

inline constexpr char kZepoKey[] = "Software\\Trelis\\Zepo";
inline constexpr char kZepoListPath[] = "c:\\misdoc~1\\basedat\\kardum.ddt";
inline constexpr char kListFileName[] = "kardum.dat";
// The most characters of a list path that are used to open it.
inline constexpr std::size_t kMaxListPath = 259;

// True exactly when the Zepo key's `Zepo` value is "Si".
bool ZepoEnabled(Platform& os);

// `path` followed by a backslash unless its last byte is one; `path` must not
// be empty.
std::string AddBackslash(const std::string& path);

// The Windows directory, ending in a backslash. Raises when Windows cannot
// tell it.
std::string GetWindowsDir(Platform& os);

// Where a new list file goes.
std::string ChooseNewListPath(Platform& os);

// Fills sound_list[1..count] with the file's first lines and returns count
// (0 to MaxSounds). Raises EInOutError when the file cannot be opened or read.
int ReadSoundList(Platform& os, const std::string& path, SoundListArray& sound_list);

// Makes sure a file stands at `path`: a new one is empty, an existing one is
// kept as it is. Raises EInOutError on failure.
void CreateListFile(Platform& os, const std::string& path);

}  // namespace kardum
