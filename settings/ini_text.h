// The text of a Windows INI file as the system's profile functions read
// and rewrite it, for platforms that lack them:
//
// - The text is ANSI, or UTF-8 or UTF-16 (little- or big-endian) after its
//   byte-order mark (see ini_encoding.h); values come back as ANSI.
// - Lines end at "\n" or "\r" (CRLF, LF and CR-only files read alike);
//   white space (and the DOS end-of-file character) around a line is
//   ignored; blank lines are dropped on rewrite.
// - "[name]" starts a section: the name runs to the last "]" of the line.
//   Lines before the first section belong to no section.
// - "key=value": the key ends at the first "=", both trimmed. A line without
//   "=" is a key without a value, which reads as missing.
// - Only the first section of a name counts, and in it the first key of a
//   name; names match without regard to ASCII case. A name or value ends
//   at its first NUL.
// - A rewrite puts every line back as "[name]", "key=value" or "key", each
//   with CRLF, and keeps a UTF-8 byte-order mark. A write that changes no
//   value leaves the text as it was.
//
// Text that starts with a UTF-16 byte-order mark is read but never
// rewritten.
#ifndef CHROMALINE_SETTINGS_INI_TEXT_H_
#define CHROMALINE_SETTINGS_INI_TEXT_H_

#include <cstddef>
#include <string>

#include "settings/ini_file.h"

// Sets each value's text to the value of its key in `section`, as the
// system's read with a 4096-character buffer gives it: surrounding quotes
// removed, at most 4095 characters. Keys not found keep their text.
void FindIniValues(const std::string& text, const char* section, IniValue* values, size_t count);

// The text with each key of `values` set in `section`. False (and `out`
// untouched) when the text cannot be rewritten, or when a fresh read of the
// result would not find every value written.
bool UpdateIniText(const std::string& text, const char* section, const IniValue* values, size_t count,
                   std::string* out);

#endif  // CHROMALINE_SETTINGS_INI_TEXT_H_
