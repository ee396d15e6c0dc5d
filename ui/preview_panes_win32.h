// PreviewPanes: everything about pictures in the settings dialog. The
// sample picture fitted to the upper pane (1028), the same picture filtered
// with the dialog's current values in the lower pane (1029), and the time a
// full-screen picture takes. Every GDI+ call goes through the dialog's
// GdiplusSession; without GDI+ the panes only paint the button face.
#ifndef CHROMALINE_UI_PREVIEW_PANES_WIN32_H_
#define CHROMALINE_UI_PREVIEW_PANES_WIN32_H_

#include <windows.h>

#include <string>

#include "filters/filter_settings.h"
#include "filters/engine/stop_query.h"
#include "ui/gdiplus_win32.h"

// What the panes need of their dialog.
class PreviewOwner {
 public:
  virtual HWND DialogWindow() const = 0;
  virtual bool ControlsReady() const = 0;
  // The save half of the data exchange; false (after its prompt) when a
  // value does not pass.
  virtual bool SaveValues() = 0;
  // The values the last successful save half produced.
  virtual const FilterSettings& Pending() const = 0;
  virtual std::string& ImagePath() = 0;
  virtual const StopQuery& Stop() const = 0;

 protected:
  ~PreviewOwner() = default;
};

class PreviewPanes {
 public:
  // `module` holds the strings of the panes' messages.
  PreviewPanes(PreviewOwner& owner, const gdiplus::Session& gdiplus, HINSTANCE module)
      : owner_(owner), gdiplus_(gdiplus), module_(module) {}
  PreviewPanes(const PreviewPanes&) = delete;
  PreviewPanes& operator=(const PreviewPanes&) = delete;

  // Makes `path` the sample (when a file exists there), fits it to the
  // upper pane and refreshes the lower one.
  void Load(const std::string& path);
  // Filters the fitted sample with the controls' values into the lower pane.
  void Refresh();
  // WM_DRAWITEM of a pane; false for any other control.
  bool Draw(const DRAWITEMSTRUCT& item);
  // Times one pipeline run on the sample stretched to the screen.
  void Estimate();
  // Releases both pictures.
  void Clear();

  bool has_source() const { return static_cast<bool>(source_); }
  bool has_filtered() const { return static_cast<bool>(filtered_); }

 private:
  void Repaint(int pane_id);
  void ShowMessage(const std::string& text);
  std::string LoadText(UINT id) const;
  std::string LoadErrorText(gdiplus::Status status, const std::string& path) const;

  PreviewOwner& owner_;
  const gdiplus::Session& gdiplus_;
  HINSTANCE module_;
  gdiplus::Image source_;
  gdiplus::Image filtered_;
};

#endif  // CHROMALINE_UI_PREVIEW_PANES_WIN32_H_
