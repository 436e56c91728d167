#include "settings/settings_store.h"

#include <algorithm>

#include "platform/handles.h"
#include "runtime/exceptions.h"

namespace kardum {
namespace {

// A second handle on `key` itself: full access, else read-only.
UniqueKey OpenSecondHandle(Platform& os, KeyHandle key) {
  UniqueKey second(os);
  if (os.OpenKey(key, "", kKeyAllAccess, second.Receive()) != kSuccess) {
    (void)os.OpenKey(key, "", kKeyRead, second.Receive());
  }
  return second;
}

// A key that cannot be created may still exist and be readable.
UniqueKey OpenReadOnly(Platform& os, const std::string& key_path) {
  UniqueKey key(os);
  (void)os.OpenKey(kCurrentUser, key_path, kKeyRead, key.Receive());
  return key;
}

UniqueKey CreateKey(Platform& os, const std::string& key_path) {
  UniqueKey key(os);
  (void)os.CreateKey(kCurrentUser, key_path, kKeyAllAccess, key.Receive());
  return key;
}

__attribute__((noinline)) std::string FetchText(Platform& os, KeyHandle key,
                                                const std::string& value_name) {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (os.QueryValue(key, value_name, &type, nullptr, &size) != kSuccess || size == 0) return {};
  std::string text(size, '\0');
  if (os.QueryValue(key, value_name, &type, text.data(), &size) != kSuccess) {
    RaiseRegistryException("Failed to get data for '" + value_name + "'");
  }
  if (type != kRegSz && type != kRegExpandSz) {
    RaiseRegistryException("Invalid data type for '" + value_name + "'");
  }
  text.resize(std::min<std::size_t>(size, text.find('\0')));
  return text;
}

}  // namespace

std::string ReadRegString(Platform& os, const std::string& key_path,
                          const std::string& value_name, const std::string& default_text) {
  UniqueKey key = CreateKey(os, key_path);
  const UniqueKey second =
      key.IsOpen() ? OpenSecondHandle(os, key.Get()) : OpenReadOnly(os, key_path);
  if (!second.IsOpen()) return default_text;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (os.QueryValue(second.Get(), value_name, &type, nullptr, &size) != kSuccess) {
    return default_text;
  }
  return FetchText(os, second.Get(), value_name);
}

__attribute__((noinline)) void WriteRegString(Platform& os, const std::string& key_path,
                                              const std::string& value_name,
                                              const std::string& text) {
  UniqueKey key = CreateKey(os, key_path);
  // Never fall back to HKEY_CURRENT_USER's own values: the start-up sound
  // would land in the wrong place.
  if (!key.IsOpen()) RaiseRegistryException("Failed to create key " + key_path);

  std::string data = text;
  data.append(2, '\0');

  {
    UniqueKey again(os);
    if (os.CreateKey(key.Get(), "", kKeyAllAccess, again.Receive()) != kSuccess) {
      RaiseRegistryException("Failed to create key ");
    }
  }

  const UniqueKey second = OpenSecondHandle(os, key.Get());
  if (!second.IsOpen()) return;
  if (os.SetValue(second.Get(), value_name, kRegSz, data.data(),
                  static_cast<std::uint32_t>(data.size())) != kSuccess) {
    RaiseRegistryException("Failed to set data for '" + value_name + "'");
  }
}

}  // namespace kardum
