// Messages 5, 22 and 30 with a scripted dialog in place of the real one:
// what each hands the dialog, what it takes back, the notifications, Dirty,
// the sample picture, and calls into the entry point while a dialog is
// open. The remembered sample is kept in a private store made for each
// test (PrivateUserSettings), never the user's.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/dialog_messages.h"
#include "plugin/message_handler.h"
#include "plugin/preview_store.h"
#include "tests/support/private_user_settings.h"

namespace {

std::vector<uintptr_t> g_notes;  // p of every callback code 9
int32_t CHROMALINE_STDCALL RecordingCallback(uint32_t code, void* p, uintptr_t) {
  if (code == kHostNotify) g_notes.push_back(reinterpret_cast<uintptr_t>(p));
  return 0;
}
std::vector<uintptr_t> g_other_notes;
int32_t CHROMALINE_STDCALL OtherCallback(uint32_t code, void* p, uintptr_t) {
  if (code == kHostNotify) g_other_notes.push_back(reinterpret_cast<uintptr_t>(p));
  return 0;
}

FilterSettings Settings(int32_t amount) {
  FilterSettings s;
  s.USMEnable = 1;
  s.USMAmount = amount;
  s.GammaVal = amount / 1000.0;
  return s;
}

// A dialog that records what it was given and ends as told.
struct ScriptedDialog {
  DialogResult result = DialogResult::kConfirmed;
  std::function<void(SettingsDialogFields&)> edit;
  std::vector<SettingsDialogFields> seen;
  std::vector<uintptr_t> parents;

  DialogRunner runner() {
    return [this](uintptr_t parent, SettingsDialogFields& fields) {
      seen.push_back(fields);
      parents.push_back(parent);
      if (edit) edit(fields);
      return result;
    };
  }
};

class DialogMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    g_notes.clear();
    g_other_notes.clear();
    state_.Callback = &RecordingCallback;
    state_.Enabled = 1;
    state_.HotKey = 0x0241;  // Ctrl+A
    state_.Current = Settings(120);
    state_.WindowPaths[7] = "/nonexistent/picture.png";
    ASSERT_TRUE(user_settings_.ok());
    WritePreviewImage("");
  }

  PrivateUserSettings user_settings_;
  PluginState state_;
  ScriptedDialog dialog_;
};

TEST_F(DialogMessages, GlobalDialogEditsCopiesAndTakesAllBackOnOk) {
  dialog_.edit = [](SettingsDialogFields& f) {
    f.Enabled = 0;
    f.HotKey = 0x0046;
    f.Pending = Settings(300);
  };
  EXPECT_EQ(GlobalSettingsDialog(state_, 0x1234, dialog_.runner()), 1);
  ASSERT_EQ(dialog_.seen.size(), 1u);
  EXPECT_EQ(dialog_.parents[0], 0x1234u);
  EXPECT_EQ(dialog_.seen[0].SingleImage, 0);
  EXPECT_EQ(dialog_.seen[0].Enabled, 1);
  EXPECT_EQ(dialog_.seen[0].HotKey, 0x0241);
  EXPECT_EQ(dialog_.seen[0].Pending, Settings(120));
  EXPECT_EQ(dialog_.seen[0].SamplePath, "");
  EXPECT_EQ(state_.Enabled, 0);
  EXPECT_EQ(state_.HotKey, 0x0046);
  EXPECT_EQ(state_.Current, Settings(300));
  EXPECT_EQ(state_.Dirty, 1);
  EXPECT_TRUE(g_notes.empty()) << "message 5 sends no notification";
}

TEST_F(DialogMessages, GlobalDialogShowsTheRememberedSampleAndRemembersTheOneItKept) {
  const struct {
    const char* name;
    DialogResult result;
    bool kept;  // the dialog's values passed with a sample in the panes
    const char* remembered;
  } cases[] = {
      {"confirmed with a new sample", DialogResult::kConfirmed, true, "/samples/new.png"},
      {"cancelled after a preview of a new sample", DialogResult::kCancelled, true, "/samples/new.png"},
      {"cancelled before any preview", DialogResult::kCancelled, false, "/samples/old.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WritePreviewImage("/samples/old.png");
    ScriptedDialog dialog;
    dialog.result = c.result;
    dialog.edit = [&](SettingsDialogFields& f) {
      if (c.kept) f.KeptSample = "/samples/new.png";
    };
    GlobalSettingsDialog(state_, 0, dialog.runner());
    ASSERT_EQ(dialog.seen.size(), 1u);
    EXPECT_EQ(dialog.seen[0].SamplePath, "/samples/old.png");
    EXPECT_EQ(ReadPreviewImage(), c.remembered);
  }
  // A sample cleared away is remembered as none.
  dialog_.edit = [](SettingsDialogFields& f) { f.KeptSample = ""; };
  GlobalSettingsDialog(state_, 0, dialog_.runner());
  EXPECT_EQ(ReadPreviewImage(), "");
}

TEST_F(DialogMessages, APictureIsItsOwnSampleAndAFolderShowsTheRememberedOne) {
  WritePreviewImage("/samples/old.png");
  const std::string folder = std::filesystem::temp_directory_path().string();
  dialog_.edit = [](SettingsDialogFields& f) { f.KeptSample = "/samples/chosen.png"; };
  LocalSettingsDialog(state_, "/nonexistent/other.png", 3, dialog_.runner());
  LocalSettingsDialog(state_, folder.c_str(), 3, dialog_.runner());
  HotkeyDialog(state_, 65, 7, dialog_.runner());
  ASSERT_EQ(dialog_.seen.size(), 3u);
  EXPECT_EQ(dialog_.seen[0].SamplePath, "/nonexistent/other.png");
  EXPECT_EQ(dialog_.seen[1].SamplePath, "/samples/old.png") << folder;
  EXPECT_EQ(dialog_.seen[2].SamplePath, "/nonexistent/picture.png");
  EXPECT_EQ(ReadPreviewImage(), "/samples/old.png") << "only the global dialog remembers a sample";
}

TEST(HelpFilePath, SitsBesideTheModule) {
  EXPECT_EQ(HelpFilePath("C:\\Program Files\\Viewer\\Plugins\\Chromaline.dll"),
            "C:\\Program Files\\Viewer\\Plugins\\Chromaline.htm");
  EXPECT_EQ(HelpFilePath("Z:\\work\\bin\\Chromaline.dll"), "Z:\\work\\bin\\Chromaline.htm");
  EXPECT_EQ(HelpFilePath("Chromaline.dll"), "Chromaline.htm");
  EXPECT_EQ(HelpFilePath(""), "Chromaline.htm");
}

TEST_F(DialogMessages, MessagesSixAndSevenClearDirtySetByAConfirmedDialog) {
  for (uint32_t message : {6u, 7u}) {
    ASSERT_EQ(GlobalSettingsDialog(state_, 0, dialog_.runner()), 1);
    ASSERT_EQ(HandleMessage(state_, 8, nullptr, 0), 1) << "Dirty before message " << message;
    EXPECT_EQ(HandleMessage(state_, message, nullptr, 0), 1);
    EXPECT_EQ(HandleMessage(state_, 8, nullptr, 0), 0) << "message " << message << " clears Dirty";
  }
  // Without a host nothing is saved or loaded, so the changes stay unsaved.
  state_.Callback = nullptr;
  ASSERT_EQ(GlobalSettingsDialog(state_, 0, dialog_.runner()), 1);
  EXPECT_EQ(HandleMessage(state_, 6, nullptr, 0), 1);
  EXPECT_EQ(HandleMessage(state_, 7, nullptr, 0), 1);
  EXPECT_EQ(HandleMessage(state_, 8, nullptr, 0), 1) << "no host: still Dirty";
}

TEST_F(DialogMessages, CancelledOrUncreatableDialogChangesNothing) {
  dialog_.result = DialogResult::kCancelled;
  dialog_.edit = [](SettingsDialogFields& f) { f.Pending = Settings(300); };
  EXPECT_EQ(GlobalSettingsDialog(state_, 0, dialog_.runner()), 0);
  EXPECT_EQ(state_.Current, Settings(120));
  EXPECT_EQ(state_.Dirty, 0);
  // The platform's dialog in a build without windows cannot be created.
  EXPECT_EQ(HandleMessage(state_, 5, nullptr, 0), 0);
  EXPECT_EQ(HandleMessage(state_, 30, const_cast<char*>("/tmp/x.png"), 0), 0);
  EXPECT_EQ(HandleMessage(state_, 22, reinterpret_cast<void*>(65), 7), 0);
  EXPECT_EQ(state_.Dirty, 0);
  EXPECT_EQ(state_.Current, Settings(120));
  EXPECT_EQ(g_notes, (std::vector<uintptr_t>{19, 20})) << "message 22 still brackets its dialog";
}

TEST_F(DialogMessages, HotkeyDialogOpensOnlyForItsKeyAndAKnownWindow) {
  const struct {
    const char* name;
    int32_t enabled;
    int32_t hotkey;
    uintptr_t key;
    uint32_t window;
    bool opens;
  } cases[] = {
      {"key and window match", 1, 0x0241, 65, 7, true}, {"modifier byte ignored", 1, 0x0041, 65, 7, true},
      {"another key", 1, 0x0241, 66, 7, false},         {"key with the modifier byte", 1, 0x0241, 0x0241, 7, false},
      {"unknown window", 1, 0x0241, 65, 8, false},      {"plug-in off", 0, 0x0241, 65, 7, false},
      {"no hotkey, key 0", 1, 0, 0, 7, false},          {"window with an empty path", 1, 0x0241, 65, 9, false},
  };
  state_.WindowPaths[9] = "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_notes.clear();
    ScriptedDialog dialog;
    state_.Enabled = c.enabled;
    state_.HotKey = c.hotkey;
    EXPECT_EQ(HotkeyDialog(state_, c.key, c.window, dialog.runner()), 0);
    EXPECT_EQ(dialog.seen.size(), c.opens ? 1u : 0u);
    EXPECT_EQ(g_notes, c.opens ? (std::vector<uintptr_t>{19, 21, 20}) : std::vector<uintptr_t>{});
    if (c.opens) {
      EXPECT_EQ(dialog.parents[0], c.window);
      EXPECT_EQ(dialog.seen[0].SingleImage, 1);
      EXPECT_EQ(dialog.seen[0].SamplePath, "/nonexistent/picture.png");
      EXPECT_EQ(dialog.seen[0].Pending, Settings(120)) << "no settings file: the global settings";
    }
    EXPECT_EQ(state_.Enabled, c.enabled);
    EXPECT_EQ(state_.HotKey, c.hotkey);
  }
}

TEST_F(DialogMessages, SingleImageDialogsNeverChangePluginState) {
  dialog_.edit = [](SettingsDialogFields& f) {
    f.Enabled = 0;
    f.HotKey = 0x0033;
    f.Pending = Settings(400);
  };
  HotkeyDialog(state_, 65, 7, dialog_.runner());
  state_.Enabled = 0;  // message 30 does not care
  LocalSettingsDialog(state_, "/nonexistent/other.png", 3, dialog_.runner());
  ASSERT_EQ(dialog_.seen.size(), 2u);
  EXPECT_EQ(dialog_.seen[1].SamplePath, "/nonexistent/other.png");
  EXPECT_EQ(dialog_.parents[1], 3u);
  EXPECT_EQ(state_.HotKey, 0x0241);
  EXPECT_EQ(state_.Current, Settings(120));
  EXPECT_EQ(state_.Dirty, 0);
  EXPECT_EQ(g_notes, (std::vector<uintptr_t>{19, 21, 20})) << "message 30 sends nothing";
}

TEST_F(DialogMessages, Message30WithNullOrEmptyPathOpensNothing) {
  EXPECT_EQ(LocalSettingsDialog(state_, nullptr, 3, dialog_.runner()), 0);
  EXPECT_EQ(LocalSettingsDialog(state_, "", 3, dialog_.runner()), 0);
  EXPECT_TRUE(dialog_.seen.empty());
  EXPECT_EQ(HandleMessage(state_, 30, nullptr, 3), 0);
}

// The host keeps dispatching while a dialog is open and may call in again.
TEST_F(DialogMessages, NestedGlobalDialogsLeaveOneWholeRecord) {
  ScriptedDialog inner;
  inner.edit = [](SettingsDialogFields& f) {
    f.Enabled = 0;
    f.HotKey = 0x0042;
    f.Pending = Settings(222);
  };
  ScriptedDialog outer;
  outer.edit = [&](SettingsDialogFields& f) {
    f.HotKey = 0x0043;  // half edited when the host calls in
    EXPECT_EQ(GlobalSettingsDialog(state_, 0, inner.runner()), 1);
    EXPECT_EQ(state_.Current, Settings(222)) << "the inner dialog's record, whole";
    EXPECT_EQ(state_.HotKey, 0x0042);
    f.Pending = Settings(333);
    EXPECT_EQ(f.Enabled, 1) << "the outer copy is the outer dialog's own";
  };
  EXPECT_EQ(GlobalSettingsDialog(state_, 0, outer.runner()), 1);
  EXPECT_EQ(state_.Enabled, 1);
  EXPECT_EQ(state_.HotKey, 0x0043);
  EXPECT_EQ(state_.Current, Settings(333));

  // The outer one cancelled: the inner record stays whole.
  outer.result = DialogResult::kCancelled;
  EXPECT_EQ(GlobalSettingsDialog(state_, 0, outer.runner()), 0);
  EXPECT_EQ(state_.Enabled, 0);
  EXPECT_EQ(state_.HotKey, 0x0042);
  EXPECT_EQ(state_.Current, Settings(222));
}

TEST_F(DialogMessages, HotkeyDialogKeepsItsPictureAndHostWhenTheyChangeMeanwhile) {
  ScriptedDialog dialog;
  dialog.edit = [&](SettingsDialogFields& f) {
    HandleMessage(state_, 13, const_cast<char*>("/nonexistent/next.png"), 7);
    HandleMessage(state_, 3, reinterpret_cast<void*>(&OtherCallback), 0);
    EXPECT_EQ(f.SamplePath, "/nonexistent/picture.png");
  };
  HotkeyDialog(state_, 65, 7, dialog.runner());
  EXPECT_EQ(g_notes, (std::vector<uintptr_t>{19, 21, 20})) << "one host hears the whole bracket";
  EXPECT_TRUE(g_other_notes.empty());
  EXPECT_EQ(state_.WindowPaths[7], "/nonexistent/next.png");
}

}  // namespace
