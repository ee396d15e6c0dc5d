// The settings dialog's data exchange, written once and independent of the
// window system: the parsing rules of the edits, the tone encoding, and the
// table that binds each control to the FilterSettings field it edits.
//
// The load half puts the switch, every field and the hotkey word into the
// controls; the save half reads the controls back in table order, checking
// each value as soon as it is read. The first failure shows its prompt and
// stops, and the record handed in stays as it was.
#ifndef CHROMALINE_UI_DATA_EXCHANGE_H_
#define CHROMALINE_UI_DATA_EXCHANGE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "filters/filter_settings.h"
#include "settings/setting_text.h"

// An integer at the start of `text`: leading blanks, an optional sign and
// the longest run of digits; whatever follows is ignored ("12abc" is 12).
// Empty or not starting with a number: nothing. Values beyond the 32-bit
// range come back clamped to it (and then fail every range check).
std::optional<int64_t> ParseLeadingInteger(const std::string& text);
// A real at the start of `text` (ScanLeadingReal): leading blanks, an
// optional sign, digits with an optional decimal point and an optional
// exponent. "." or "e5" alone are not numbers. Too large comes back
// infinite (and then fails every range check), too small as zero.
// The edits show reals with FormatReal.
std::optional<double> ParseLeadingReal(const std::string& text);

// The tone part of FilterParam split over the two radio buttons (kind 0
// Grayscale, 1 Sepia) and the mode list (index; -1 when no item applies).
struct ToneControls {
  int32_t kind;
  int32_t list_index;
};
ToneControls ToneFromFilterParam(int32_t filter_param);
// The inverse: the list index, with 0x10 added for Sepia. No selection
// (-1) stays -1 whichever radio button is checked.
int32_t FilterParamFromTone(int32_t kind, int32_t list_index);

// What the exchange needs of the controls. The Windows dialog implements it
// on its HWND; tests implement it on a table.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual std::string GetText(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual int32_t GetListSelection(int id) = 0;              // -1 when nothing is selected
  virtual void SetListSelection(int id, int32_t index) = 0;  // -1 clears it
  virtual uint16_t GetHotkey(int id) = 0;
  virtual void SetHotkey(int id, uint16_t hotkey) = 0;
  // Shows the validation prompt, then focuses the edit and selects its text.
  virtual void RejectValue(int id, const std::string& prompt) = 0;
};

// The validation prompts.
std::string IntegerPrompt();
std::string NumberPrompt();
std::string IntegerRangePrompt(int32_t low, int32_t high);
std::string NumberRangePrompt(double low, double high);

// Load half: the plug-in's switch into its check box, every field of
// `settings` into its control in table order, then the hotkey word into the
// hotkey field.
void PutValues(const FilterSettings& settings, int32_t enabled, uint16_t hotkey, DialogControls& controls);

// Save half, first step: reads the switch, then the controls into
// `settings` in table order. Returns false at the first value that does not
// parse or lies outside its range, after RejectValue; the fields read before
// it hold what was read, the rest are untouched.
bool TakeValues(DialogControls& controls, FilterSettings& settings, int32_t& enabled);

// The whole save half apart from the remembered sample picture: on success
// `pending`, `enabled` and `hotkey` receive the new values; on failure they
// are left as they were.
bool SaveValues(DialogControls& controls, FilterSettings& pending, int32_t& enabled, uint16_t& hotkey);

#endif  // CHROMALINE_UI_DATA_EXCHANGE_H_
