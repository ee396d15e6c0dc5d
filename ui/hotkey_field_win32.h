// HotkeyField: the system hotkey control of the settings dialog with two
// changes. It asks for every key (Tab, Enter and Esc included), so the
// dialog neither moves the focus nor closes on them; Tab and Shift+Tab both
// move the focus forward; Backspace, Enter, Esc, Space and Delete become the
// hotkey themselves (with the extended flag of the key), with no modifier.
#ifndef CHROMALINE_UI_HOTKEY_FIELD_WIN32_H_
#define CHROMALINE_UI_HOTKEY_FIELD_WIN32_H_

#include <windows.h>

#include <cstdint>

class HotkeyField {
 public:
  HotkeyField() = default;
  ~HotkeyField() { Detach(); }
  HotkeyField(const HotkeyField&) = delete;
  HotkeyField& operator=(const HotkeyField&) = delete;

  // Takes over the control's window procedure; once per control.
  void Attach(HWND control);
  void Detach();
  bool attached() const { return control_ != nullptr; }

  // The hotkey word a key-down of `key` sets, given the key-data flags (the
  // upper half of lParam); 0 when the key gets the standard handling.
  static uint16_t OwnKeyValue(WPARAM key, WORD flags);

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND control_ = nullptr;
  WNDPROC original_ = nullptr;
};

#endif  // CHROMALINE_UI_HOTKEY_FIELD_WIN32_H_
