// How messages show what a user typed: as typed where that is safe, else in a form a
// shell reads back as the same bytes, with nothing left that a terminal acts on.
#include "plan/shell_quoting.h"

#include <gtest/gtest.h>

namespace {

using tavro::plan::shellQuoted;

TEST(ShellQuoting, PrintableTextIsShownAsTyped)
{
    EXPECT_EQ(shellQuoted("x.wav"), "'x.wav'");
    EXPECT_EQ(shellQuoted(""), "''");
    EXPECT_EQ(shellQuoted("a\\b"), "'a\\b'");                // a backslash is plain in quotes
    EXPECT_EQ(shellQuoted("Übung ♩.wav"), "'Übung ♩.wav'");  // UTF-8 text
}

TEST(ShellQuoting, ControlCharactersAndStrayBytesAreEscaped)
{
    EXPECT_EQ(shellQuoted("\x1b]0;x\a\x1b[2J"), "$'\\033]0;x\\a\\033[2J'");
    EXPECT_EQ(shellQuoted("a\tb\nc\rd\x7f"), "$'a\\tb\\nc\\rd\\177'");
    // Three digits always: a digit after an escape stays a digit.
    EXPECT_EQ(shellQuoted("\0011"), "$'\\0011'");
    // A single quote, and then a backslash too, are escaped in the $'...' form.
    EXPECT_EQ(shellQuoted("it's a\\b"), "$'it\\'s a\\\\b'");
    // A C1 control (U+009B, a terminal's CSI) in UTF-8, a lone continuation byte, a cut
    // sequence, an overlong form and a surrogate: each byte escaped.
    EXPECT_EQ(shellQuoted("\302\2332J"), "$'\\302\\2332J'");
    EXPECT_EQ(shellQuoted("\x80\xe2\x99"), "$'\\200\\342\\231'");
    EXPECT_EQ(shellQuoted("\xc0\xaf\xed\xa0\x80"), "$'\\300\\257\\355\\240\\200'");
}

}  // namespace
