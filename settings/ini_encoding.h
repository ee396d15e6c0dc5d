// The encodings of an INI file as the Windows profile functions tell
// them apart: a UTF-8 byte-order mark, a UTF-16 mark (little- or
// big-endian), or none (the ANSI code page). The functions read every file
// as UTF-16 code units and hand a value back to an ANSI caller in the
// ANSI code page; for the Western code page 1252 (an English Windows, and
// Wine's default) a code unit becomes its own byte, a "best fit" stand-in
// (fullwidth digits become digits, U+2212 a minus sign) or "?".
#ifndef CHROMALINE_SETTINGS_INI_ENCODING_H_
#define CHROMALINE_SETTINGS_INI_ENCODING_H_

#include <string>

enum class IniEncoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

// The encoding the text's first bytes announce, and the length of its mark.
IniEncoding DetectIniEncoding(const std::string& text, size_t* mark_length);

// The UTF-16 code units of a file in one of the Unicode encodings, after its
// mark: UTF-16 as stored (an odd last byte dropped), UTF-8 decoded with
// U+FFFD for each bad sequence, cut where the Windows conversion cuts it.
std::u16string DecodeIniUnits(const std::string& text, IniEncoding encoding, size_t mark_length);

// The byte code page 1252 gives a UTF-16 code unit.
char AnsiFromUnit(char16_t unit);

#endif  // CHROMALINE_SETTINGS_INI_ENCODING_H_
