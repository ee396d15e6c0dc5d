// DialogBase: a thin modal dialog of our own. It runs a dialog template of
// the module it is given, keeps `this` with the window from WM_INITDIALOG
// on and routes the messages to a handful of virtual functions. Each open
// dialog has its own object, so nested dialogs never share state.
#ifndef CHROMALINE_UI_DIALOG_BASE_WIN32_H_
#define CHROMALINE_UI_DIALOG_BASE_WIN32_H_

#include <windows.h>

#include <string>

// A string of `module`'s string table (empty when missing).
std::string LoadModuleText(HINSTANCE module, UINT id);

class DialogBase {
 public:
  // `module` holds the template, its list items and the strings.
  DialogBase(HINSTANCE module, int template_id) : module_(module), template_id_(template_id) {}
  virtual ~DialogBase() = default;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  // Runs the dialog modally on the module's template. Returns the value
  // passed to End, or -1 when the dialog cannot be created.
  INT_PTR RunModal(HWND parent);

 protected:
  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void End(INT_PTR result) { EndDialog(hwnd_, result); }
  // A string of the module's string table (empty when missing).
  std::string LoadText(UINT id) const;

  // WM_INITDIALOG after the list items of the template's initialisation
  // data are in place. Return true to let the system set the focus.
  virtual bool OnInit() { return true; }
  // WM_COMMAND from a control or IDOK / IDCANCEL. Return true if handled.
  virtual bool OnCommand(int id, int code) {
    (void)id;
    (void)code;
    return false;
  }
  virtual void OnOK() { End(IDOK); }
  virtual void OnCancel() { End(IDCANCEL); }
  // Any other message; return true and set *result when handled.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) {
    (void)message;
    (void)wparam;
    (void)lparam;
    (void)result;
    return false;
  }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Dispatch(UINT message, WPARAM wparam, LPARAM lparam);
  void FillFromInitData();

  HINSTANCE module_;
  int template_id_;
  HWND hwnd_ = nullptr;
};

#endif  // CHROMALINE_UI_DIALOG_BASE_WIN32_H_
