// The modal dialog base: runs a template of the module and routes its messages.
#include "ui/dialog_base_win32.h"

#include <cstring>

#include "resources/resource.h"

INT_PTR DialogBase::RunModal(HWND parent) {
  // A handle that names no window (a host without one, a stale handle)
  // would make the creation fail: such a dialog simply has no owner.
  if (parent != nullptr && !IsWindow(parent)) parent = nullptr;
  return DialogBoxParamA(module_, MAKEINTRESOURCEA(template_id_), parent, &DialogBase::Proc,
                         reinterpret_cast<LPARAM>(this));
}

std::string LoadModuleText(HINSTANCE module, UINT id) {
  char buffer[1024];
  const int length = LoadStringA(module, id, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string DialogBase::LoadText(UINT id) const { return LoadModuleText(module_, id); }

INT_PTR CALLBACK DialogBase::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogBase* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogBase*>(lparam);
    self->hwnd_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
  return self != nullptr ? self->Dispatch(message, wparam, lparam) : FALSE;
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: FillFromInitData(); return OnInit() ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (OnCommand(id, code)) return TRUE;
      if (id == IDOK) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    }
    default: {
      INT_PTR result = FALSE;
      if (OnMessage(message, wparam, lparam, &result)) {
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    }
  }
}

// The template's initialisation data: records of control id, message,
// length and bytes; only the adding of list strings is used.
void DialogBase::FillFromInitData() {
  const HMODULE module = module_;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(template_id_), MAKEINTRESOURCEA(RT_CHROMALINE_DLGINIT));
  if (found == nullptr) return;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
  const DWORD size = SizeofResource(module, found);
  if (data == nullptr) return;
  DWORD at = 0;
  while (at + 2 <= size) {
    WORD id;
    std::memcpy(&id, data + at, 2);
    if (id == 0 || at + 8 > size) break;
    WORD command;
    DWORD length;
    std::memcpy(&command, data + at + 2, 2);
    std::memcpy(&length, data + at + 4, 4);
    at += 8;
    if (length > size - at) break;
    if (command == DLGINIT_ADD_STRING && length > 0 && data[at + length - 1] == '\0') {
      const char* text = reinterpret_cast<const char*>(data + at);
      SendDlgItemMessageA(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    at += length;
  }
}
