#include "rotation/kardum2.h"

#include <exception>
#include <new>

#include "rotation/first_run.h"
#include "runtime/conversions.h"
#include "runtime/exceptions.h"
#include "runtime/failure_report.h"
#include "settings/settings_store.h"

namespace kardum {
namespace {

bool InSoundList(std::int32_t position) { return position >= 1 && position <= MaxSounds; }

}  // namespace

std::int32_t NextPosition(std::int32_t position, int count) {
  // A position set by hand outside the list starts the cycle again.
  if (!InSoundList(position)) return 1;
  return position + 1 > count ? 1 : position + 1;
}

void RotateStartupSound(Platform& os, ProgramData& data) {
  const int count = ReadSoundList(os, data.ListPath, data.SoundList);
  const std::int32_t position = StrToInt(ReadRegString(os, kSettingsKey, "Posicion", ""));
  // A position set by hand outside the list names no entry: no sound.
  WriteRegString(os, kStartupSoundKey, "",
                 InSoundList(position) ? data.SoundList[position] : std::string());
  WriteRegString(os, kSettingsKey, "Posicion", IntToStr(NextPosition(position, count)));
}

void RunKardum(Platform& os, ProgramData& data) {
  data.NewListPath = ChooseNewListPath(os);
  data.ListPath = ReadRegString(os, kSettingsKey, "Datos", kNoListMarker);
  if (data.ListPath == kNoListMarker) {
    RunFirstRunSetup(os, data.NewListPath);
  } else {
    RotateStartupSound(os, data);
  }
}

int Kardum2Main(Platform& os) {
  try {
    ProgramData data;
    RunKardum(os, data);
    return 0;
  } catch (const Exception& failure) {
    return ShowFailureReport(os, failure);
  } catch (const std::bad_alloc&) {
    return ShowFailureReport(os, EOutOfMemory());
  } catch (const std::exception& failure) {
    return ShowFailureReport(os, Exception(failure.what(), nullptr));
  }
}

}  // namespace kardum
