// Keeps a test away from the real user's settings. While one of these
// lives, the per-user store of the process (the settings dialog's
// remembered sample picture) is a private one made for the test and
// removed with everything in it afterwards:
//   natively XDG_CONFIG_HOME names a new temp folder (and is put back);
//   on Windows HKEY_CURRENT_USER stands for a new key of the test's own
//   (RegOverridePredefKey), so no value of the real user's is ever read or
//   written.
// One at a time per process.
#ifndef CHROMALINE_TESTS_SUPPORT_PRIVATE_USER_SETTINGS_H_
#define CHROMALINE_TESTS_SUPPORT_PRIVATE_USER_SETTINGS_H_

#include <string>

class PrivateUserSettings {
 public:
  PrivateUserSettings();
  ~PrivateUserSettings();
  PrivateUserSettings(const PrivateUserSettings&) = delete;
  PrivateUserSettings& operator=(const PrivateUserSettings&) = delete;

  // Whether the private store is in place; a test must stop when not.
  bool ok() const { return ok_; }
  // What it is, for messages: the folder or the registry key.
  const std::string& where() const { return where_; }

 private:
  bool ok_ = false;
  std::string where_;
  // Natively XDG_CONFIG_HOME as it was; on Windows the private key's name
  // under HKEY_CURRENT_USER.
  std::string restore_;
  bool had_variable_ = false;
  void* key_ = nullptr;  // on Windows the open private key
};

#endif  // CHROMALINE_TESTS_SUPPORT_PRIVATE_USER_SETTINGS_H_
