// The private key sits beside the real user's keys under a name no program
// uses, and is made new here: a key that is already there belongs to
// someone else and is left alone.
#include <windows.h>

#include <string>

#include "tests/support/private_user_settings.h"

PrivateUserSettings::PrivateUserSettings() {
  HKEY key = nullptr;
  for (int attempt = 0; attempt < 100 && key == nullptr; ++attempt) {
    const std::string name =
        "Software\\Chromaline test " + std::to_string(GetCurrentProcessId()) + "." + std::to_string(attempt);
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
      return;
    }
    if (disposition != REG_CREATED_NEW_KEY) {
      RegCloseKey(key);
      key = nullptr;
      continue;
    }
    where_ = "HKEY_CURRENT_USER\\" + name;
    restore_ = name;
  }
  if (key == nullptr) return;
  key_ = key;
  ok_ = RegOverridePredefKey(HKEY_CURRENT_USER, key) == ERROR_SUCCESS;
}

PrivateUserSettings::~PrivateUserSettings() {
  if (key_ == nullptr) return;
  const HKEY key = static_cast<HKEY>(key_);
  if (ok_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeA(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_CURRENT_USER, restore_.c_str());
}
