#include "tips/rtf_reader.h"

#include <gtest/gtest.h>

namespace tips {
namespace {

TEST(RtfReader, KeepsTextAndLineBreaksAndSkipsTablesAndPictures) {
    const char* rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1 Times New Roman;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
        "{\\stylesheet{\\s0 Normal;}}"
        "{\\info{\\title Secret}{\\author Nobody}}"
        "{\\*\\generator Msftedit 5.41;}"
        "\\viewkind4\\uc1\\pard\\f0\\fs20 Patient \\b notes\\b0 :\\par\r\n"
        "Caf\\'e9 \\{braces\\} and \\\\ backslash\\tab end"
        "{\\pict\\wmetafile8\\picw10 0123456789abcdef}\\line last\\par\r\n}";
    EXPECT_EQ(RtfToPlainText(rtf),
              QString::fromUtf8("Patient notes:\nCaf\u00e9 {braces} and \\ backslash\tend\nlast\n"));
}

TEST(RtfReader, UnicodeCharactersSkipTheirFallbackCharacters) {
    EXPECT_EQ(RtfToPlainText("{\\rtf1 a\\u8364?b}"), QString::fromUtf8("a\u20acb"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 \\uc2 a\\u8364\\'80\\'80b}"), QString::fromUtf8("a\u20acb"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 \\uc0 a\\u8364 b}"), QString::fromUtf8("a\u20acb"));
    // A negative parameter is the 16-bit value read as signed.
    EXPECT_EQ(RtfToPlainText("{\\rtf1 \\u-3913?}"), QString(QChar(char16_t(0xF0B7))));
    // The fallback count belongs to the group it is set in.
    EXPECT_EQ(RtfToPlainText("{\\rtf1 {\\uc0 x}\\u233?y}"), QString::fromUtf8("x\u00e9y"));
}

TEST(RtfReader, HexBytesAreCodePage1252) {
    EXPECT_EQ(RtfToPlainText("{\\rtf1 \\'80\\'93x\\'94\\'e4\\'ff}"),
              QString::fromUtf8("\u20ac\u201cx\u201d\u00e4\u00ff"));
    EXPECT_EQ(Cp1252ToUnicode(0x41), QChar(u'A'));
    EXPECT_EQ(Cp1252ToUnicode(0x8A), QChar(char16_t(0x0160)));
    EXPECT_EQ(Cp1252ToUnicode(0x81), QChar(char16_t(0x0081)));
    EXPECT_EQ(Cp1252ToUnicode(0xA0), QChar(char16_t(0x00A0)));
}

TEST(RtfReader, IgnorableDestinationsAndFieldInstructionsShowNothing) {
    EXPECT_EQ(RtfToPlainText("{\\rtf1 {\\*\\bkmkstart x}see {\\field{\\*\\fldinst HYPERLINK \"h\"}{\\fldrslt here}}.}"),
              QString("see here."));
}

TEST(RtfReader, BrokenInputEndsQuietly) {
    EXPECT_EQ(RtfToPlainText("{\\rtf1 text}}}"), QString("text"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 {{{unclosed"), QString("unclosed"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 cut\\'4"), QString("cut4"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 cut\\"), QString("cut"));
    EXPECT_EQ(RtfToPlainText("{\\rtf1 \\bin99 abc"), QString(""));
}

TEST(RtfReader, TextThatIsNotRtfIsShownAsCodePage1252Text) {
    EXPECT_EQ(RtfToPlainText("plain \x80 caf\xe9\r\n{x}"), QString::fromUtf8("plain \u20ac caf\u00e9\r\n{x}"));
    EXPECT_EQ(RtfToPlainText(""), QString());
}

}  // namespace
}  // namespace tips
