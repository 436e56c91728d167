// The settings store: single string values of keys below HKEY_CURRENT_USER.
// Every call is one complete access: open the key (creating it), one read or
// one write, close. Nothing is cached.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kardum {

// The value's text, cut at its first 0x00; `default_text` when the value or a
// handle on its key cannot be had; empty text for a value with no data.
// Raises ERegistryException when the data cannot be fetched or is not text.
std::string ReadRegString(Platform& os, const std::string& key_path,
                          const std::string& value_name, const std::string& default_text);

// Stores `text` as REG_SZ with two terminating 0x00 bytes (size = length + 2).
// An empty value name sets the key's unnamed value. Raises ERegistryException
// when the key cannot be created or the value cannot be set.
void WriteRegString(Platform& os, const std::string& key_path, const std::string& value_name,
                    const std::string& text);

}  // namespace kardum
