// Driving the plug-in's settings dialog from a second thread of the test
// program, the way a user would: the test thread sends the message that
// opens the dialog (and so runs its modal loop), the helper thread finds
// the dialog by its caption, works its controls by id and closes it.
//
// Every wait has a timeout. Whatever the script leaves open (a failed
// expectation, a message box) is closed when it ends, so a broken dialog
// fails its test instead of hanging the run.
#ifndef CHROMALINE_TESTS_WIN32_DIALOG_DRIVER_H_
#define CHROMALINE_TESTS_WIN32_DIALOG_DRIVER_H_

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace gui {

constexpr char kDialogCaption[] = "Chromaline v2.1.0";
constexpr char kMessageCaption[] = "Chromaline";
constexpr DWORD kTimeoutMs = 10000;

// True when windows can be shown (an X display for Wine).
inline bool HaveDisplay() {
  char display[256];
  return GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}

inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(10);
  }
  return true;
}

// A visible top-level dialog of this process with this caption that is
// not `other` (test programs running side by side share one desktop).
inline HWND FindDialog(const char* caption, HWND other = nullptr) {
  HWND found = nullptr;
  while ((found = FindWindowExA(nullptr, found, "#32770", caption)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(found, &process);
    if (found != other && process == GetCurrentProcessId() && IsWindowVisible(found)) return found;
  }
  return nullptr;
}

// Held by one GUI test at a time across all test programs: keyboard input
// goes to whichever dialog is in front.
class DesktopLock {
 public:
  DesktopLock() : mutex_(CreateMutexA(nullptr, FALSE, "ChromalineGuiTestDesktop")) {
    if (mutex_ != nullptr) WaitForSingleObject(mutex_, 120000);
  }
  ~DesktopLock() {
    if (mutex_ == nullptr) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  DesktopLock(const DesktopLock&) = delete;
  DesktopLock& operator=(const DesktopLock&) = delete;

 private:
  HANDLE mutex_;
};

inline HWND WaitForDialog(const char* caption, HWND other = nullptr, DWORD timeout_ms = kTimeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindDialog(caption, other)) != nullptr; }, timeout_ms);
  return found;
}

// The dialog's controls, worked from the helper thread.
class Dialog {
 public:
  explicit Dialog(HWND window) : window_(window) {}
  HWND window() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  std::string Text(int id) const {
    char text[1024] = {};
    GetDlgItemTextA(window_, id, text, sizeof text);
    return text;
  }
  // Typing a whole new text: the control tells the dialog (EN_CHANGE).
  void SetText(int id, const std::string& text) const { SetDlgItemTextA(window_, id, text.c_str()); }
  bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // A click on a check box or radio button; waits until it is handled.
  void Click(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }
  // Sets a check box to `checked` by clicking it when needed.
  void SetCheck(int id, bool checked) const {
    if (Checked(id) != checked) Click(id);
  }
  // Presses a push button without waiting for its handler (which may show
  // a message box of its own).
  void Press(int id) const {
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  int Selection(int id) const { return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0)); }
  std::string ItemText(int id, int index) const {
    char text[256] = {};
    SendMessageA(Item(id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
  }
  int ItemCount(int id) const { return static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0)); }
  // A selection made by the user: the list tells the dialog.
  void Select(int id, int index) const {
    SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
  }
  WORD Hotkey() const { return LOWORD(SendMessageA(Item(IDC_HOTKEY_ID), HKM_GETHOTKEY, 0, 0)); }
  void SetHotkey(WORD value) const { SendMessageA(Item(IDC_HOTKEY_ID), HKM_SETHOTKEY, value, 0); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
  bool Exists() const { return IsWindow(window_) != FALSE; }

  // The control that has the keyboard focus in the dialog's thread.
  HWND Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
  }
  // Moves the focus to a control as the Tab key would.
  void FocusOn(int id) const { SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

  static constexpr int IDC_HOTKEY_ID = 1004;

 private:
  HWND window_;
};

// The text of a message box (its static controls, joined).
inline std::string MessageBoxText(HWND box) {
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") != 0) continue;
    char part[1024] = {};
    GetWindowTextA(child, part, sizeof part);
    text += part;
  }
  return text;
}

// Waits for the message box of the plug-in, returns its text and closes it
// with OK. Empty when none came.
inline std::string DismissMessageBox(DWORD timeout_ms = kTimeoutMs) {
  HWND box = WaitForDialog(kMessageCaption, nullptr, timeout_ms);
  if (box == nullptr) return std::string();
  const std::string text = MessageBoxText(box);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitUntil([&] { return !IsWindow(box); });
  return text;
}

// Every window of this process with the class and caption, shown or not.
inline std::vector<HWND> OwnWindows(const char* caption) {
  std::vector<HWND> windows;
  HWND found = nullptr;
  while ((found = FindWindowExA(nullptr, found, "#32770", caption)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(found, &process);
    if (process == GetCurrentProcessId()) windows.push_back(found);
  }
  return windows;
}

// Closes message boxes and settings dialogs of this process until `done`.
inline void CloseEverythingUntil(const std::atomic<bool>& done) {
  const DWORD start = GetTickCount();
  while (!done && GetTickCount() - start < 3 * kTimeoutMs) {
    for (HWND box : OwnWindows(kMessageCaption)) PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (HWND dialog : OwnWindows(kDialogCaption)) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    Sleep(100);
  }
}

// Runs `script` against the dialog that `open` brings up on this thread.
// Returns false when no dialog appeared. Whatever is still open when the
// script returns (or when no dialog appears in time) is closed.
inline bool RunWithDialog(const std::function<void()>& open, const std::function<void(Dialog&)>& script,
                          const char* caption = kDialogCaption, DWORD timeout_ms = kTimeoutMs) {
  bool found = false;
  std::atomic<bool> returned(false);
  std::thread helper([&] {
    HWND window = WaitForDialog(caption, nullptr, timeout_ms);
    if (window != nullptr) {
      found = true;
      Dialog dialog(window);
      script(dialog);
      WaitUntil([&] { return returned.load(); }, 2000);
    }
    CloseEverythingUntil(returned);
  });
  open();
  returned = true;
  helper.join();
  return found;
}

}  // namespace gui

#endif  // CHROMALINE_TESTS_WIN32_DIALOG_DRIVER_H_
