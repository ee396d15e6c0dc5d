// The dialog's hotkey field: the system hotkey control, subclassed to take every key.
#include "ui/hotkey_field_win32.h"

#include <commctrl.h>

namespace {
// The object behind a subclassed control. A window property rather than
// GWLP_USERDATA, which the control class may use itself.
const char kFieldProperty[] = "ChromalineHotkeyField";
}  // namespace

void HotkeyField::Attach(HWND control) {
  if (control_ != nullptr || control == nullptr) return;
  control_ = control;
  SetPropA(control, kFieldProperty, this);
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyField::Proc)));
}

void HotkeyField::Detach() {
  if (control_ == nullptr) return;
  if (IsWindow(control_)) {
    SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropA(control_, kFieldProperty);
  }
  control_ = nullptr;
  original_ = nullptr;
}

uint16_t HotkeyField::OwnKeyValue(WPARAM key, WORD flags) {
  switch (key) {
    case VK_BACK:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
    case VK_DELETE: {
      const WORD modifiers = (flags & KF_EXTENDED) != 0 ? HOTKEYF_EXT : 0;
      return static_cast<uint16_t>(MAKEWORD(static_cast<BYTE>(key), modifiers));
    }
    default: return 0;
  }
}

LRESULT CALLBACK HotkeyField::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = static_cast<HotkeyField*>(GetPropA(window, kFieldProperty));
  if (self == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN: {
      if (wparam == VK_TAB) {
        // Shift makes no difference: the focus always moves forward.
        HWND next = GetNextDlgTabItem(GetParent(window), window, FALSE);
        if (next != nullptr) SetFocus(next);
        return 0;
      }
      const uint16_t value = OwnKeyValue(wparam, HIWORD(lparam));
      if (value != 0) {
        SendMessageA(window, HKM_SETHOTKEY, value, 0);
        return 0;
      }
      break;
    }
    case WM_CHAR:
      // The character that follows a key taken above (Tab, Backspace, Enter,
      // Esc, Space) belongs to it; the control would read it as a key again.
      if (wparam == '\t' || wparam == '\b' || wparam == '\r' || wparam == 0x1B || wparam == ' ') return 0;
      break;
    case WM_NCDESTROY: {
      const WNDPROC original = self->original_;
      self->Detach();
      return CallWindowProcA(original, window, message, wparam, lparam);
    }
    default: break;
  }
  return CallWindowProcA(self->original_, window, message, wparam, lparam);
}
