// File: ui/preview_panes_win32.cpp
//
// Until the pictures are drawn, a sample is only remembered: the panes
// paint the button face and the refresh has nothing to filter.
#include "ui/preview_panes_win32.h"

#include "plugin/module_win32.h"
#include "resources/resource.h"

void PreviewPanes::Load(const std::string& path) {
  if (!gdiplus_.ready()) return;
  Clear();
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  owner_.ImagePath() = path;
  Refresh();
}

void PreviewPanes::Refresh() {
  if (!gdiplus_.ready() || !owner_.ControlsReady() || !source_) return;
}

bool PreviewPanes::Draw(const DRAWITEMSTRUCT& item) {
  if (item.CtlID != IDC_SOURCE_PREVIEW && item.CtlID != IDC_FILTERED_PREVIEW) return false;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  return true;
}

void PreviewPanes::Estimate() {
  if (!gdiplus_.ready() || !owner_.ControlsReady() || !owner_.SaveValues()) return;
  if (owner_.ImagePath().empty()) {
    char text[256];
    if (LoadStringA(PluginModule(), IDS_NEED_IMAGE, text, sizeof text) > 0) ShowMessage(text);
    return;
  }
}

void PreviewPanes::Clear() {
  if (!gdiplus_.ready()) return;
  source_.reset();
  filtered_.reset();
}

void PreviewPanes::Repaint(int pane_id) { InvalidateRect(GetDlgItem(owner_.DialogWindow(), pane_id), nullptr, TRUE); }

void PreviewPanes::ShowMessage(const std::string& text) {
  MessageBoxA(owner_.DialogWindow(), text.c_str(), "Chromaline", MB_OK | MB_ICONEXCLAMATION);
}
