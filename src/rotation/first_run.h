// What a run does when no sound list has been recorded yet.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kardum {

// Instruction line of the first-run notice, in Windows-1252.
inline constexpr char kInstructionLine[] =
    "Escriba en este archivo la ruta completa de cada archivo de sonido que quiera "
    "usar, una ruta por l\xED"
    "nea.";
inline constexpr char kNoticeCaption[] = "Kardum";

// An information box with no owner; the style is `buttons` + MB_ICONINFORMATION.
// Returns the button that closed it, as MessageBoxA does.
int ShowInfoBox(Platform& os, const std::string& text, const std::string& caption,
                std::uint16_t buttons);

// Starts `command_line` shown normally; neither waits nor looks at the result.
void RunProgram(Platform& os, const std::string& command_line);

// Creates the list file, tells the user, records `Datos` and `Posicion`, and
// opens the file in Notepad.
void RunFirstRunSetup(Platform& os, const std::string& new_list_path);

}  // namespace kardum
