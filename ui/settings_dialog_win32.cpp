// SettingsDialog: the plug-in's only window, on dialog resource 1000. It
// edits a copy of the opener's fields and hands it back only on OK; the
// sample picture that passed with the values goes back either way.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/data_exchange.h"
#include "ui/dialog_base_win32.h"
#include "ui/dialog_paths.h"
#include "ui/gdiplus_win32.h"
#include "ui/hotkey_field_win32.h"
#include "ui/preview_panes_win32.h"
#include "ui/settings_dialog.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kClickDelay = 100;   // ms after a click or a list selection
constexpr UINT kTypingDelay = 500;  // ms after a change of an edit's text
const char kMessageCaption[] = "Chromaline";

// Hotkey rules: every combination with Shift, Ctrl or Alt is invalid and
// replaced by no modifier, so a key typed with them is taken alone.
constexpr WPARAM kInvalidHotkeyCombinations =
    HKCOMB_S | HKCOMB_C | HKCOMB_A | HKCOMB_SC | HKCOMB_SA | HKCOMB_CA | HKCOMB_SCA;

// The controls of a dialog window, as the data exchange sees them.
class WindowControls : public DialogControls {
 public:
  explicit WindowControls(HWND dialog) : dialog_(dialog) {}

  bool IsChecked(int id) override { return IsDlgButtonChecked(dialog_, id) != 0; }
  void SetChecked(int id, bool checked) override {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  std::string GetText(int id) override {
    HWND control = GetDlgItem(dialog_, id);
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  void SetText(int id, const std::string& text) override { SetDlgItemTextA(dialog_, id, text.c_str()); }
  int32_t GetListSelection(int id) override {
    const LRESULT index = SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
  }
  void SetListSelection(int id, int32_t index) override {
    SendDlgItemMessageA(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  uint16_t GetHotkey(int id) override { return LOWORD(SendDlgItemMessageA(dialog_, id, HKM_GETHOTKEY, 0, 0)); }
  void SetHotkey(int id, uint16_t hotkey) override { SendDlgItemMessageA(dialog_, id, HKM_SETHOTKEY, hotkey, 0); }
  void RejectValue(int id, const std::string& prompt) override {
    MessageBoxA(dialog_, prompt.c_str(), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
    HWND edit = GetDlgItem(dialog_, id);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
  }

 private:
  HWND dialog_;
};

class SettingsDialog : public DialogBase, private PreviewOwner {
 public:
  SettingsDialog(const SettingsDialogFields& fields, const DialogModule& module, const StopQuery& stop)
      : DialogBase(Instance(module), IDD_SETTINGS),
        fields_(fields),
        help_page_(module.help_page),
        stop_(stop),
        previews_(*this, gdiplus_, Instance(module)) {}
  ~SettingsDialog() override = default;

  const SettingsDialogFields& fields() const { return fields_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnOK() override {
    if (SaveValues()) End(IDOK);
  }
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  // PreviewOwner.
  HWND DialogWindow() const override { return hwnd(); }
  bool ControlsReady() const override { return controls_ready_; }
  bool SaveValues() override;
  const FilterSettings& Pending() const override { return fields_.Pending; }
  std::string& ImagePath() override { return fields_.SamplePath; }
  const StopQuery& Stop() const override { return stop_; }

  static HINSTANCE Instance(const DialogModule& module) { return reinterpret_cast<HINSTANCE>(module.instance); }
  bool Checked(int id) const { return IsDlgButtonChecked(hwnd(), id) != 0; }
  void EnableItems(std::initializer_list<int> ids, bool enable) {
    for (int id : ids) EnableWindow(Item(id), enable ? TRUE : FALSE);
  }
  void ScheduleRefresh(UINT delay) {
    if (controls_ready_) SetTimer(hwnd(), kRefreshTimer, delay, nullptr);
  }
  // The enable rules: a group is open when its own box and the switch are.
  void GroupRule(int box, std::initializer_list<int> ids) {
    EnableItems(ids, Checked(box) && Checked(IDC_ENABLE_PLUGIN));
    ScheduleRefresh(kClickDelay);
  }
  void ToneRule() { GroupRule(IDC_TONE, {IDC_GRAYSCALE, IDC_SEPIA, IDC_GRAY_MODE}); }
  void UnsharpMaskRule() {
    GroupRule(IDC_USM_ENABLE, {IDC_AMOUNT_LABEL, IDC_USM_AMOUNT, IDC_RADIUS_LABEL, IDC_USM_RADIUS,
                               IDC_THRESHOLD_LABEL, IDC_USM_THRESHOLD});
  }
  void GammaRule() { GroupRule(IDC_GAMMA_ADJ, {IDC_GAMMA_VAL}); }
  void LocalContrastRule() { GroupRule(IDC_DEFOG, {IDC_DEFOG_VAL}); }
  void SwitchRule();

  void ChooseSampleImage();
  void CleanSampleImage();
  void OpenHelp();

  // Declared in this order so that the previews go before GDI+ shuts down.
  SettingsDialogFields fields_;
  std::string help_page_;
  StopQuery stop_;
  bool controls_ready_ = false;
  gdiplus::Session gdiplus_;
  HotkeyField hotkey_field_;
  PreviewPanes previews_;
};

bool SettingsDialog::OnInit() {
  WindowControls controls(hwnd());
  // The switch is hidden in single-image mode; on, it opens every group.
  if (fields_.SingleImage != 0) fields_.Enabled = 1;
  hotkey_field_.Attach(Item(IDC_HOTKEY));
  PutValues(fields_.Pending, fields_.Enabled, fields_.HotKey, controls);  // the load half

  SendDlgItemMessageA(hwnd(), IDC_HOTKEY, HKM_SETRULES, kInvalidHotkeyCombinations, MAKELPARAM(0, 0));
  SwitchRule();
  if (fields_.SingleImage != 0) {
    for (int id : {IDC_ENABLE_PLUGIN, IDC_HOTKEY_LABEL, IDC_HOTKEY}) ShowWindow(Item(id), SW_HIDE);
    // A picture of its own is the sample; nothing else may replace it.
    if (!fields_.SamplePath.empty()) EnableItems({IDC_LOAD_IMAGE, IDC_CLEAN}, false);
  }
  controls_ready_ = true;
  if (!fields_.SamplePath.empty()) previews_.Load(std::string(fields_.SamplePath));
  return true;
}

void SettingsDialog::SwitchRule() {
  const bool on = Checked(IDC_ENABLE_PLUGIN);
  ToneRule();
  UnsharpMaskRule();
  GammaRule();
  LocalContrastRule();
  EnableItems({IDC_GAMMA_ADJ, IDC_AUTO_LEVELS, IDC_DEFOG, IDC_USM_ENABLE, IDC_TONE, IDC_HOTKEY_LABEL, IDC_HOTKEY,
               IDC_ESTIMATE, IDC_LOAD_IMAGE, IDC_CLEAN, IDC_SOURCE_PREVIEW, IDC_FILTERED_PREVIEW},
              on);
}

bool SettingsDialog::SaveValues() {
  WindowControls controls(hwnd());
  if (!::SaveValues(controls, fields_.Pending, fields_.Enabled, fields_.HotKey)) return false;
  fields_.KeptSample = fields_.SamplePath;
  return true;
}

bool SettingsDialog::OnCommand(int id, int code) {
  if (code == EN_CHANGE) {
    switch (id) {
      case IDC_GAMMA_VAL:
      case IDC_DEFOG_VAL:
      case IDC_USM_AMOUNT:
      case IDC_USM_THRESHOLD:
      case IDC_USM_RADIUS:  // the preview follows the radius like the others
        ScheduleRefresh(kTypingDelay);
        return true;
      default: return false;
    }
  }
  if (code == CBN_SELCHANGE && id == IDC_GRAY_MODE) {
    ScheduleRefresh(kClickDelay);
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_ENABLE_PLUGIN: SwitchRule(); return true;
    case IDC_USM_ENABLE: UnsharpMaskRule(); return true;
    case IDC_GAMMA_ADJ: GammaRule(); return true;
    case IDC_TONE:
    case IDC_GRAYSCALE:
    case IDC_SEPIA: ToneRule(); return true;
    case IDC_DEFOG: LocalContrastRule(); return true;
    case IDC_AUTO_LEVELS: ScheduleRefresh(kClickDelay); return true;
    case IDC_LOAD_IMAGE: ChooseSampleImage(); return true;
    case IDC_CLEAN: CleanSampleImage(); return true;
    case IDC_ESTIMATE: previews_.Estimate(); return true;
    case IDC_HELP_BUTTON: OpenHelp(); return true;
    default: return false;
  }
}

bool SettingsDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) {
  if (message == WM_TIMER && wparam == kRefreshTimer) {
    KillTimer(hwnd(), kRefreshTimer);
    previews_.Refresh();
    return false;  // the default processing follows
  }
  if (message == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    if (item != nullptr && previews_.Draw(*item)) {
      *result = TRUE;
      return true;
    }
  }
  return false;
}

void SettingsDialog::ChooseSampleImage() {
  const SplitPath start = SplitImagePath(fields_.SamplePath);
  char file[MAX_PATH] = {};
  // A name too long for the buffer starts the dialog without one.
  if (start.name.size() < sizeof file) start.name.copy(file, start.name.size());
  const std::string title = LoadText(IDS_SELECT_IMAGE);
  const std::string filter = OpenFileFilter(LoadText(IDS_IMAGE_FILTER));
  OPENFILENAMEA request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = hwnd();
  request.lpstrFilter = filter.c_str();
  request.lpstrFile = file;
  request.nMaxFile = sizeof file;
  request.lpstrInitialDir = start.folder.empty() ? nullptr : start.folder.c_str();
  request.lpstrTitle = title.c_str();
  request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  if (GetOpenFileNameA(&request)) previews_.Load(file);
}

void SettingsDialog::CleanSampleImage() {
  previews_.Clear();
  fields_.SamplePath.clear();
  InvalidateRect(Item(IDC_SOURCE_PREVIEW), nullptr, TRUE);
  InvalidateRect(Item(IDC_FILTERED_PREVIEW), nullptr, TRUE);
}

void SettingsDialog::OpenHelp() {
  // Without the file or a program for it nothing opens; no message either.
  ShellExecuteA(nullptr, "open", help_page_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

DialogResult RunSettingsDialog(uintptr_t parent, SettingsDialogFields& fields, const DialogModule& module,
                               const StopQuery& stop) {
  // The hotkey control's class must be registered before the template that
  // uses it is created.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&classes);
  SettingsDialog dialog(fields, module, stop);
  if (dialog.RunModal(reinterpret_cast<HWND>(parent)) != IDOK) {
    fields.KeptSample = dialog.fields().KeptSample;
    return DialogResult::kCancelled;
  }
  fields = dialog.fields();
  return DialogResult::kConfirmed;
}
