// The real settings dialog of Chromaline.dll under Wine and a display: a
// helper thread drives it by control id while the test thread is inside
// the entry point; results are checked through the host (store after
// message 6, notifications, files written).
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filters/filter_settings.h"
#include "photo/image.h"
#include "host/plugin_host.h"
#include "resources/resource.h"
#include "tests/support/sample_settings.h"
#include "tests/support/test_support.h"
#include "tests/win32/dialog_driver.h"
#include "tests/win32/gui_fixture.h"

namespace {

using GuiSettingsDialog = GuiTest;

// Grayscale, channel weighting 2 (RMY).
FilterSettings Everything() { return EveryStageOn(2); }

TEST_F(GuiSettingsDialog, OpensWithTheGlobalValuesAndOkTakesThemBack) {
  LoadGlobal(1, 0x0241, Everything());
  const int32_t result = GlobalDialog([](gui::Dialog& d) {
    EXPECT_EQ(d.Text(IDC_GAMMA_VAL), "0.5");
    EXPECT_EQ(d.Text(IDC_USM_RADIUS), "2");
    EXPECT_EQ(d.Text(IDC_USM_AMOUNT), "150");
    EXPECT_EQ(d.Text(IDC_USM_THRESHOLD), "9");
    EXPECT_EQ(d.Text(IDC_DEFOG_VAL), "40");
    for (int id : {IDC_ENABLE_PLUGIN, IDC_TONE, IDC_GAMMA_ADJ, IDC_DEFOG, IDC_AUTO_LEVELS, IDC_USM_ENABLE}) {
      EXPECT_TRUE(d.Checked(id)) << id;
    }
    EXPECT_TRUE(d.Checked(IDC_GRAYSCALE));
    EXPECT_FALSE(d.Checked(IDC_SEPIA));
    EXPECT_EQ(d.Selection(IDC_GRAY_MODE), 2) << "RMY";
    const char* items[] = {"Standard", "BT709", "RMY", "Red Channel", "Blue Channel", "Green Channel"};
    ASSERT_EQ(d.ItemCount(IDC_GRAY_MODE), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(d.ItemText(IDC_GRAY_MODE, i), items[i]);
    EXPECT_EQ(d.Hotkey(), 0x0241);
    EXPECT_TRUE(d.Visible(IDC_ENABLE_PLUGIN));
    EXPECT_TRUE(d.Visible(IDC_HOTKEY));
    d.SetText(IDC_GAMMA_VAL, "-0.25");
    d.SetCheck(IDC_AUTO_LEVELS, false);
    d.Press(IDOK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(host_.Send(kMessageQueryDirty), 1) << "Dirty after OK";
  EXPECT_EQ(SavedReal("GammaVal"), -0.25);
  EXPECT_EQ(Saved("AutoLevels"), 0);
  EXPECT_EQ(Saved("HotKey"), 0x0241);
  EXPECT_EQ(Saved("USMAmount"), 150);
  EXPECT_EQ(host_.Send(kMessageQueryDirty), 0) << "message 6 clears Dirty";
}

TEST_F(GuiSettingsDialog, CancelTakesNothingBack) {
  LoadGlobal(1, 0, Everything());
  const int32_t result = GlobalDialog([](gui::Dialog& d) {
    d.SetText(IDC_USM_AMOUNT, "222");
    d.SetCheck(IDC_ENABLE_PLUGIN, false);
    d.Press(IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(host_.Send(kMessageQueryDirty), 0);
  EXPECT_EQ(Saved("USMAmount"), 150);
  EXPECT_EQ(Saved("Enabled"), 1);
}

TEST_F(GuiSettingsDialog, ToneEncodingOpensAndSavesBack) {
  const struct {
    int32_t filter_param;
    bool sepia;
    int selection;
    int32_t saved;
  } cases[] = {
      {0x13, true, 3, 0x13}, {2, false, 2, 2}, {6, false, -1, -1}, {15, false, -1, -1}, {-4, false, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("FilterParam " + std::to_string(c.filter_param));
    FilterSettings s;
    s.FilterParam = c.filter_param;
    LoadGlobal(1, 0, s);
    GlobalDialog([&](gui::Dialog& d) {
      EXPECT_EQ(d.Checked(IDC_SEPIA), c.sepia);
      EXPECT_EQ(d.Checked(IDC_GRAYSCALE), !c.sepia);
      EXPECT_EQ(d.Selection(IDC_GRAY_MODE), c.selection);
      d.Press(IDOK);
    });
    EXPECT_EQ(Saved("FilterParam"), c.saved);
  }
}

TEST_F(GuiSettingsDialog, ChoosingSepiaAndAnItemEncodesBoth) {
  LoadGlobal(1, 0, Everything());
  GlobalDialog([](gui::Dialog& d) {
    d.Click(IDC_SEPIA);
    d.Select(IDC_GRAY_MODE, 5);
    d.Press(IDOK);
  });
  EXPECT_EQ(Saved("FilterParam"), 0x15);
}

TEST_F(GuiSettingsDialog, RefusedValuesPromptFocusSelectAndKeepTheDialogOpen) {
  const struct {
    int id;
    const char* text;
    const char* prompt;
  } cases[] = {
      {IDC_GAMMA_VAL, "2.5", "between -1 and 2"},
      {IDC_GAMMA_VAL, "", "number"},
      {IDC_USM_RADIUS, "0.05", "between 0.1 and 120"},
      {IDC_USM_AMOUNT, "0", "between 1 and 500"},
      {IDC_USM_AMOUNT, "", "integer"},
      {IDC_DEFOG_VAL, "0", "between 1 and 100"},
      {IDC_USM_THRESHOLD, "256", "between 0 and 255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " '" + c.text + "'");
    LoadGlobal(1, 0, Everything());
    const int32_t result = GlobalDialog([&](gui::Dialog& d) {
      d.SetText(c.id, c.text);
      d.Press(IDOK);
      const std::string prompt = gui::DismissMessageBox();
      EXPECT_NE(prompt.find(c.prompt), std::string::npos) << "prompt: " << prompt;
      ASSERT_TRUE(gui::WaitUntil([&] { return d.Focus() == d.Item(c.id); }, 3000)) << "focus on the edit";
      const LRESULT selection = SendMessageA(d.Item(c.id), EM_GETSEL, 0, 0);
      EXPECT_EQ(LOWORD(selection), 0);
      EXPECT_EQ(HIWORD(selection), std::string(c.text).size()) << "whole text selected";
      EXPECT_TRUE(d.Exists()) << "the dialog stays open";
      d.Press(IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(host_.Send(kMessageQueryDirty), 0);
  }
}

TEST_F(GuiSettingsDialog, BoundaryValuesAndLeadingNumbersAreAccepted) {
  const struct {
    int id;
    const char* text;
    const char* key;
    double value;
  } cases[] = {
      {IDC_GAMMA_VAL, "-1", "GammaVal", -1.0},     {IDC_GAMMA_VAL, "2", "GammaVal", 2.0},
      {IDC_USM_RADIUS, "0.1", "USMRadius", 0.1},   {IDC_USM_RADIUS, "120", "USMRadius", 120.0},
      {IDC_USM_THRESHOLD, "0", "USMThreshold", 0}, {IDC_USM_AMOUNT, "12abc", "USMAmount", 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " '" + c.text + "'");
    LoadGlobal(1, 0, Everything());
    const int32_t result = GlobalDialog([&](gui::Dialog& d) {
      d.SetText(c.id, c.text);
      d.Press(IDOK);
    });
    EXPECT_EQ(result, 1);
    const bool real = std::string(c.key) == "GammaVal" || std::string(c.key) == "USMRadius";
    if (real) {
      EXPECT_EQ(SavedReal(c.key), c.value);
    } else {
      EXPECT_EQ(Saved(c.key), static_cast<int32_t>(c.value));
    }
  }
}

TEST_F(GuiSettingsDialog, FirstRefusedValueInTableOrderIsReportedAndStoredOnesAreRefusedUntilFixed) {
  FilterSettings s = Everything();
  s.Defog = 0;
  s.DefogVal = 0;  // out of range, from a hand-edited store
  LoadGlobal(0, 0, s);
  const int32_t result = GlobalDialog([](gui::Dialog& d) {
    EXPECT_EQ(d.Text(IDC_DEFOG_VAL), "0") << "shown unchanged";
    EXPECT_FALSE(d.Enabled(IDC_DEFOG_VAL));
    d.SetText(IDC_USM_AMOUNT, "0");
    d.Press(IDOK);
    EXPECT_NE(gui::DismissMessageBox().find("between 1 and 100"), std::string::npos) << "DefogVal is read first";
    d.SetText(IDC_DEFOG_VAL, "5");
    d.Press(IDOK);
    EXPECT_NE(gui::DismissMessageBox().find("between 1 and 500"), std::string::npos) << "then the amount";
    d.SetText(IDC_USM_AMOUNT, "80");
    d.Press(IDOK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Saved("DefogVal"), 5);
  EXPECT_EQ(Saved("USMAmount"), 80);
}

TEST_F(GuiSettingsDialog, SwitchDisablesEverythingAndRestoresEachGroup) {
  FilterSettings s = Everything();
  s.GammaAdj = 0;
  s.Defog = 0;
  LoadGlobal(1, 0, s);
  GlobalDialog([](gui::Dialog& d) {
    const int filters[] = {IDC_GAMMA_ADJ,    IDC_AUTO_LEVELS,     IDC_DEFOG,           IDC_USM_ENABLE,
                           IDC_TONE,         IDC_GRAYSCALE,       IDC_SEPIA,           IDC_GRAY_MODE,
                           IDC_USM_RADIUS,   IDC_USM_AMOUNT,      IDC_USM_THRESHOLD,   IDC_RADIUS_LABEL,
                           IDC_AMOUNT_LABEL, IDC_THRESHOLD_LABEL, IDC_GAMMA_VAL,       IDC_DEFOG_VAL,
                           IDC_HOTKEY_LABEL, IDC_HOTKEY,          IDC_ESTIMATE,        IDC_LOAD_IMAGE,
                           IDC_CLEAN,        IDC_SOURCE_PREVIEW,  IDC_FILTERED_PREVIEW};
    EXPECT_FALSE(d.Enabled(IDC_GAMMA_VAL)) << "gamma box off";
    EXPECT_FALSE(d.Enabled(IDC_DEFOG_VAL)) << "local contrast box off";
    EXPECT_TRUE(d.Enabled(IDC_USM_AMOUNT));
    EXPECT_TRUE(d.Enabled(IDC_GRAY_MODE));
    d.Click(IDC_ENABLE_PLUGIN);
    for (int id : filters) EXPECT_FALSE(d.Enabled(id)) << "switched off: " << id;
    for (int id : {IDC_ENABLE_PLUGIN, IDOK, IDCANCEL, IDC_HELP_BUTTON, IDC_ESTIMATE_RESULT}) {
      EXPECT_TRUE(d.Enabled(id)) << "stays enabled: " << id;
    }
    d.Click(IDC_ENABLE_PLUGIN);
    EXPECT_FALSE(d.Enabled(IDC_GAMMA_VAL));
    EXPECT_FALSE(d.Enabled(IDC_DEFOG_VAL));
    for (int id : {IDC_USM_AMOUNT, IDC_USM_RADIUS, IDC_THRESHOLD_LABEL, IDC_GRAY_MODE, IDC_SEPIA, IDC_HOTKEY,
                   IDC_LOAD_IMAGE, IDC_SOURCE_PREVIEW, IDC_TONE}) {
      EXPECT_TRUE(d.Enabled(id)) << "restored: " << id;
    }
    // Each group follows its own box.
    d.Click(IDC_USM_ENABLE);
    EXPECT_FALSE(d.Enabled(IDC_USM_AMOUNT));
    EXPECT_FALSE(d.Enabled(IDC_RADIUS_LABEL));
    d.Click(IDC_GAMMA_ADJ);
    EXPECT_TRUE(d.Enabled(IDC_GAMMA_VAL));
    d.Click(IDC_TONE);
    EXPECT_FALSE(d.Enabled(IDC_GRAY_MODE));
    EXPECT_FALSE(d.Enabled(IDC_GRAYSCALE));
    d.Click(IDC_DEFOG);
    EXPECT_TRUE(d.Enabled(IDC_DEFOG_VAL));
    d.Press(IDCANCEL);
  });
}

// Keys arrive as the keyboard sends them, to the focused hotkey field.
void Type(std::initializer_list<WORD> down, WORD key, bool extended) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD vk, bool up, bool ext) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (ext ? KEYEVENTF_EXTENDEDKEY : 0);
    inputs.push_back(input);
  };
  for (WORD modifier : down) add(modifier, false, false);
  add(key, false, extended);
  add(key, true, extended);
  for (WORD modifier : down) add(modifier, true, false);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

TEST_F(GuiSettingsDialog, HotkeyFieldTakesEnterEscDeleteAndDropsModifiers) {
  const struct {
    const char* name;
    std::initializer_list<WORD> modifiers;
    WORD key;
    bool extended;
    WORD expected;
  } cases[] = {
      {"Enter", {}, VK_RETURN, false, 0x000D},
      {"Esc", {}, VK_ESCAPE, false, 0x001B},
      {"Delete on the navigation block", {}, VK_DELETE, true, 0x082E},
      {"Delete on the keypad", {}, VK_DELETE, false, 0x002E},
      {"Space", {}, VK_SPACE, false, 0x0020},
      {"Backspace", {}, VK_BACK, false, 0x0008},
      {"Ctrl+Shift+F", {VK_CONTROL, VK_SHIFT}, 'F', false, 0x0046},
  };
  LoadGlobal(1, 0x0241, FilterSettings());
  GlobalDialog([&](gui::Dialog& d) {
    // Keyboard input goes to the foreground window's thread.
    const DWORD dialog_thread = GetWindowThreadProcessId(d.window(), nullptr);
    AttachThreadInput(GetCurrentThreadId(), dialog_thread, TRUE);
    SetForegroundWindow(d.window());
    ASSERT_TRUE(gui::WaitUntil([&] { return GetForegroundWindow() == d.window(); }, 3000))
        << "foreground " << GetForegroundWindow();
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      d.SetHotkey(0);
      d.FocusOn(IDC_HOTKEY);
      ASSERT_TRUE(gui::WaitUntil([&] { return d.Focus() == d.Item(IDC_HOTKEY); }, 3000));
      Type(c.modifiers, c.key, c.extended);
      // The key-up and the character that follow must not change it again.
      Sleep(200);
      EXPECT_EQ(d.Hotkey(), c.expected) << "hotkey 0x" << std::hex << d.Hotkey();
      EXPECT_TRUE(d.Exists()) << "the key did not close the dialog";
    }
    // Tab and Shift+Tab both move forward, to OK.
    for (bool shift : {false, true}) {
      d.FocusOn(IDC_HOTKEY);
      ASSERT_TRUE(gui::WaitUntil([&] { return d.Focus() == d.Item(IDC_HOTKEY); }, 3000));
      if (shift) {
        Type({VK_SHIFT}, VK_TAB, false);
      } else {
        Type({}, VK_TAB, false);
      }
      EXPECT_TRUE(gui::WaitUntil([&] { return d.Focus() == d.Item(IDOK); }, 3000)) << "shift " << shift;
    }
    AttachThreadInput(GetCurrentThreadId(), dialog_thread, FALSE);
    d.SetHotkey(0x0046);
    d.Press(IDOK);
  });
  EXPECT_EQ(Saved("HotKey"), 0x0046);
}

// --- Single-image mode: messages 22 and 30 ---------------------------------

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A real picture: in single-image mode it is also the preview's sample.
void WriteFile(const std::string& path) {
  std::string error;
  EXPECT_TRUE(SaveImageFile(path, RandomImage(40, 30, 7), &error)) << error;
}

const std::vector<std::string> kWrittenDefaultsWithAmount80 = {
    "[ChromalinePlugIn]", "ToneFilter=0", "FilterParam=0",  "GammaAdj=0",   "GammaVal=0.00",  "Defog=0",
    "DefogVal=10",        "AutoLevels=0", "USMRadius=0.50", "USMAmount=80", "USMThreshold=4", "USMEnable=0"};

TEST_F(GuiSettingsDialog, HotkeyOpensTheSingleImageDialogAndWritesThePictureFile) {
  TempDir dir;
  const std::string picture = dir.File("photo.png");
  WriteFile(picture);
  LoadGlobal(1, 0x0241, FilterSettings());  // Ctrl+A
  host_.SendText(kMessageImageShown, picture.c_str(), 4242);
  host_.ClearCalls();
  bool shown = gui::RunWithDialog([&] { EXPECT_EQ(host_.Send(kMessageHotkey, P(65), 4242), 0); },
                                  [](gui::Dialog& d) {
                                    EXPECT_FALSE(d.Visible(IDC_ENABLE_PLUGIN));
                                    EXPECT_FALSE(d.Visible(IDC_HOTKEY_LABEL));
                                    EXPECT_FALSE(d.Visible(IDC_HOTKEY));
                                    EXPECT_FALSE(d.Enabled(IDC_LOAD_IMAGE)) << "the picture is the sample";
                                    EXPECT_FALSE(d.Enabled(IDC_CLEAN));
                                    EXPECT_TRUE(d.Enabled(IDC_USM_ENABLE)) << "switch forced on";
                                    d.SetText(IDC_USM_AMOUNT, "80");
                                    d.Press(IDOK);
                                  });
  EXPECT_TRUE(shown);
  std::vector<uint32_t> notes;
  for (const auto& call : host_.calls()) {
    if (call.code == 9) notes.push_back(static_cast<uint32_t>(call.p));
  }
  EXPECT_EQ(notes, (std::vector<uint32_t>{19, 21, 20}));
  EXPECT_EQ(Lines(dir.File("photo.zprop")), kWrittenDefaultsWithAmount80);
  EXPECT_EQ(host_.Send(kMessageQueryDirty), 0) << "message 22 does not set Dirty";
  EXPECT_EQ(Saved("USMAmount"), 100) << "nor the global settings";
}

TEST_F(GuiSettingsDialog, HotkeyCancelledSendsOpenAndCloseOnly) {
  TempDir dir;
  const std::string picture = dir.File("photo.png");
  WriteFile(picture);
  LoadGlobal(1, 0x0241, FilterSettings());
  host_.SendText(kMessageImageShown, picture.c_str(), 4242);
  host_.ClearCalls();
  gui::RunWithDialog([&] { host_.Send(kMessageHotkey, P(65), 4242); }, [](gui::Dialog& d) { d.Press(IDCANCEL); });
  EXPECT_EQ(host_.CallCodes(), (std::vector<uint32_t>{9, 9}));
  EXPECT_EQ(host_.calls()[0].p, 19u);
  EXPECT_EQ(host_.calls()[1].p, 20u);
  EXPECT_FALSE(Exists(dir.File("photo.zprop")));
}

TEST_F(GuiSettingsDialog, WrongKeyOrUnknownWindowOpensNothing) {
  LoadGlobal(1, 0x0241, FilterSettings());
  host_.SendText(kMessageImageShown, "Z:\\tmp\\photo.png", 4242);
  host_.ClearCalls();
  // The messages return at once: a dialog would block them until closed.
  const bool shown = gui::RunWithDialog(
      [&] {
        EXPECT_EQ(host_.Send(kMessageHotkey, P(66), 4242), 0);
        EXPECT_EQ(host_.Send(kMessageHotkey, P(65), 999), 0);
        EXPECT_EQ(host_.Send(kMessageLocalDialog, nullptr, 0), 0);
        EXPECT_EQ(host_.SendText(kMessageLocalDialog, "", 0), 0);
      },
      [](gui::Dialog& d) { d.Press(IDCANCEL); }, gui::kDialogCaption, 1500);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(host_.calls().empty());
}

TEST_F(GuiSettingsDialog, Message30WritesTheFolderFileEvenWhileOff) {
  TempDir dir;
  LoadGlobal(0, 0, FilterSettings());
  const std::string folder = dir.path() + "\\";
  const bool shown =
      gui::RunWithDialog([&] { EXPECT_EQ(host_.SendText(kMessageLocalDialog, folder.c_str(), 0), 0); },
                         [](gui::Dialog& d) {
                           EXPECT_FALSE(d.Visible(IDC_ENABLE_PLUGIN));
                           d.SetText(IDC_USM_AMOUNT, "80");
                           d.Press(IDOK);
                         });
  EXPECT_TRUE(shown);
  EXPECT_EQ(Lines(dir.File("zprop.ini")), kWrittenDefaultsWithAmount80);
  EXPECT_TRUE(host_.calls().empty()) << "no notification, no store access";
  EXPECT_EQ(host_.Send(kMessageEnable, P(0), 0), 1) << "still off";
}

TEST_F(GuiSettingsDialog, Message30CancelledWritesNothing) {
  TempDir dir;
  const std::string picture = dir.File("photo.png");
  WriteFile(picture);
  LoadGlobal(0, 0, FilterSettings());
  gui::RunWithDialog([&] { host_.SendText(kMessageLocalDialog, picture.c_str(), 0); },
                     [](gui::Dialog& d) { d.Press(IDCANCEL); });
  EXPECT_FALSE(Exists(dir.File("photo.zprop")));
}

// --- The host calls in while a dialog is open -------------------------------

struct NestedCall {
  PluginHost* host;
};
LRESULT CALLBACK NestingWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP) {
    auto* call = reinterpret_cast<NestedCall*>(lparam);
    call->host->Send(kMessageGlobalDialog, nullptr);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(GuiSettingsDialog, NestedDialogsKeepTheirOwnValuesAndStateHoldsWholeRecords) {
  LoadGlobal(1, 0, Everything());
  WNDCLASSA klass = {};
  klass.lpfnWndProc = &NestingWindowProc;
  klass.hInstance = GetModuleHandleA(nullptr);
  klass.lpszClassName = "ChromalineNestingHost";
  RegisterClassA(&klass);
  HWND host_window =
      CreateWindowA("ChromalineNestingHost", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, klass.hInstance, nullptr);
  ASSERT_NE(host_window, nullptr);
  NestedCall call{&host_};

  const int32_t result = GlobalDialog([&](gui::Dialog& outer) {
    outer.SetText(IDC_USM_AMOUNT, "111");
    outer.SetText(IDC_GAMMA_VAL, "1.5");
    // The host's own window, served by the outer dialog's modal loop, opens
    // a second dialog.
    PostMessageA(host_window, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
    HWND second = gui::WaitForDialog(gui::kDialogCaption, outer.window());
    ASSERT_NE(second, nullptr) << "no nested dialog";
    gui::Dialog inner(second);
    EXPECT_EQ(inner.Text(IDC_USM_AMOUNT), "150") << "the global value, not the outer dialog's edit";
    inner.SetText(IDC_USM_AMOUNT, "222");
    inner.SetText(IDC_USM_THRESHOLD, "33");
    inner.Press(IDOK);
    ASSERT_TRUE(gui::WaitUntil([&] { return !inner.Exists(); }));
    EXPECT_EQ(outer.Text(IDC_USM_AMOUNT), "111");
    outer.Press(IDOK);
  });
  EXPECT_EQ(result, 1);
  DestroyWindow(host_window);
  // The outer dialog confirmed last: its whole record, nothing of the inner.
  EXPECT_EQ(Saved("USMAmount"), 111);
  EXPECT_EQ(SavedReal("GammaVal"), 1.5);
  EXPECT_EQ(Saved("USMThreshold"), 9);
}

}  // namespace
