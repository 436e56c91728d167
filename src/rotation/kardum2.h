// One run of kardum2, from start to exit code.
#pragma once

#include <string>

#include "platform/platform.h"
#include "rotation/sound_list.h"

namespace kardum {

inline constexpr char kSettingsKey[] = "Software\\Trelis\\Kardum";
inline constexpr char kStartupSoundKey[] = "AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.current";
inline constexpr char kNoListMarker[] = "<nada>";

// The data that live for the whole run, empty at its start.
struct ProgramData {
  SoundListArray SoundList;
  std::string ListPath;
  std::string NewListPath;
};

// The main block: the first-run set-up, or one rotation step. Raises on failure.
void RunKardum(Platform& os, ProgramData& data);

// One rotation step over the list at `data.ListPath`.
void RotateStartupSound(Platform& os, ProgramData& data);

// The position recorded for the next run after `position` in a list of `count`.
std::int32_t NextPosition(std::int32_t position, int count);

// The whole run: the main block, and the failure report for any failure.
// Returns the process exit code.
int Kardum2Main(Platform& os);

}  // namespace kardum
