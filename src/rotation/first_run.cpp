#include "rotation/first_run.h"

#include "rotation/kardum2.h"
#include "rotation/sound_list.h"
#include "settings/settings_store.h"

namespace kardum {

int ShowInfoBox(Platform& os, const std::string& text, const std::string& caption,
                std::uint16_t buttons) {
  return os.ShowMessageBox(text, caption, std::uint32_t{buttons} + kMbIconInformation);
}

void RunProgram(Platform& os, const std::string& command_line) {
  os.StartProgram(command_line, kSwShowNormal);
}

void RunFirstRunSetup(Platform& os, const std::string& new_list_path) {
  CreateListFile(os, new_list_path);
  // Whichever way the user closes the notice, even when it cannot be shown,
  // the set-up goes on.
  ShowInfoBox(os, "Creado el archivo " + new_list_path + "\r\r" + kInstructionLine,
              kNoticeCaption, kMbOk);
  WriteRegString(os, kSettingsKey, "Datos", new_list_path);
  WriteRegString(os, kSettingsKey, "Posicion", "1");
  RunProgram(os, "notepad.exe " + new_list_path);
}

}  // namespace kardum
