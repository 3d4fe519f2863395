// rtf_reader: turns a rich-text (RTF) document into the plain text it shows, for the balloon
// tip's text area. It keeps the characters and line breaks and drops formatting: groups that
// hold no visible text (font, colour and style tables, document information, pictures,
// ignorable destinations) are skipped; \par and \line become a line break, \tab a tab;
// \'hh is a code page 1252 byte; \uN is a Unicode character whose fallback characters are
// skipped; \\, \{ and \} are the characters themselves. Never throws.
#pragma once

#include <QString>
#include <string_view>

namespace tips {

// The plain text of an RTF document. Text that does not begin with "{\rtf" is taken as
// plain code page 1252 text.
QString RtfToPlainText(std::string_view rtf);

// One byte of code page 1252 as a Unicode character (bytes the code page leaves undefined
// map to the code point of the same number).
QChar Cp1252ToUnicode(unsigned char byte);

}  // namespace tips
