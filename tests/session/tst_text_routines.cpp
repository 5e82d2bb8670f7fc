#include "session/text_routines.h"

#include "registry/cp1252.h"
#include "session/connect_server.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <limits>

using namespace Qt::Literals::StringLiterals;
using session::GetPiece;
using session::ScramblePassword;

TEST(GetPiece, FieldsAtASingleCharacterDelimiter)
{
    EXPECT_EQ(GetPiece(u"a b c"_s, u" "_s, 2), u"b"_s);
    EXPECT_EQ(GetPiece(u"a b c"_s, u" "_s, 3), u"c"_s);
    EXPECT_EQ(GetPiece(u"a b c"_s, u" "_s, 4, u"x"_s), u"x"_s) << "beyond the last field: the default";
    EXPECT_EQ(GetPiece(u"a  c"_s, u" "_s, 2, u"x"_s), u"x"_s) << "an empty field: the default";
    EXPECT_EQ(GetPiece(u"a  c"_s, u" "_s, 3), u"c"_s);
    EXPECT_EQ(GetPiece(u"a b"_s, u" "_s, 0, u"x"_s), u"x"_s);
    EXPECT_EQ(GetPiece(u"a b"_s, u" "_s, -1, u"x"_s), u"x"_s);
    EXPECT_EQ(GetPiece(u"a b"_s, u""_s, 1), u"a b"_s) << "an empty delimiter never matches";
    EXPECT_EQ(GetPiece(u"a||b"_s, u"||"_s, 2, u"x"_s), u"x"_s) << "nor does a longer one";
    EXPECT_EQ(GetPiece(u"K17|Maier`x"_s, u"`"_s, 1), u"K17|Maier"_s);
    EXPECT_EQ(GetPiece(QString(), u" "_s, 1, u"d"_s), u"d"_s);
}

TEST(GetPiece, CountsFieldsBeyondAnyByte)
{
    QStringList fields;
    for (int i = 1; i <= 301; ++i)
        fields << u"f%1"_s.arg(i);
    const QString line = fields.join(u' '); // 300 delimiters
    for (const int n : {0, -1, -256, std::numeric_limits<int>::min()})
        EXPECT_EQ(GetPiece(line, u" "_s, n, u"x"_s), u"x"_s) << n;
    EXPECT_EQ(GetPiece(QString(300, u' '), u" "_s, 0, u"x"_s), u"x"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 1), u"f1"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 255), u"f255"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 256), u"f256"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 257), u"f257"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 301), u"f301"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, 302, u"x"_s), u"x"_s);
    EXPECT_EQ(GetPiece(line, u" "_s, std::numeric_limits<int>::max(), u"x"_s), u"x"_s);
}

TEST(IsNumeric, ReadsNumbersAsTheClassicRuntime)
{
    const QStringList accepted = {
        u"0"_s,        u"1"_s,     u"007"_s,           u" 12 "_s,   u"\t7\t"_s, u"+1"_s,
        u"-1"_s,       u"1.5"_s,   u"1,5"_s,           u".5"_s,     u",5"_s,    u"5."_s,
        u"-.5"_s,      u"1e3"_s,   u"1E+3"_s,          u"1e-3"_s,   u"1D3"_s,   u"2d-2"_s,
        u"-1.5E+10"_s, u"1e308"_s, u"&H1F"_s,          u"&hff"_s,   u"&H0"_s,   u"&HFFFFFFFF"_s,
        u"&O17"_s,     u"&o777"_s, u"&O37777777777"_s, u" &H10 "_s,
    };
    for (const QString& text : accepted)
        EXPECT_TRUE(session::IsNumeric(text)) << qPrintable(text);

    const QStringList words = {u"nan"_s, u"NaN"_s,  u"-nan"_s,     u"inf"_s,      u"-inf"_s,
                               u"INF"_s, u"+inf"_s, u"infinity"_s, u"Infinity"_s, u"-infinity"_s};
    const QStringList malformed = {u""_s,    u" "_s,   u"+"_s,     u"-"_s,     u"."_s,
                                   u","_s,   u"+."_s,  u"1.2.3"_s, u"1,2.3"_s, u"1e"_s,
                                   u"1e+"_s, u"e3"_s,  u"1e3.5"_s, u"1 2"_s,   u"- 1"_s,
                                   u"+-1"_s, u"--1"_s, u"1x"_s,    u"0x1F"_s,  u"K17"_s};
    const QStringList radix = {u"&"_s,   u"&H"_s,   u"&O"_s,   u"&O8"_s,
                               u"&HG"_s, u"-&H1"_s, u"& H1"_s, u"&B101"_s};
    const QStringList overflow = {u"1e400"_s, u"&H100000000"_s, u"&O40000000000"_s};
    const QStringList notAscii = {u"\uFF11"_s /* fullwidth one */, u"1\u00A0"_s /* no-break space */};
    for (const QStringList& refused : {words, malformed, radix, overflow, notAscii})
        for (const QString& text : refused)
            EXPECT_FALSE(session::IsNumeric(text)) << qPrintable(text);
}

TEST(ScramblePassword, IsItsOwnInverseAndNeverMakesAZeroByte)
{
    for (const QString& p : {u"geheim"_s, u"Ä ö ß €"_s, u""_s, u"\u0081x"_s})
        EXPECT_EQ(ScramblePassword(ScramblePassword(p)), p) << qPrintable(p);
    EXPECT_TRUE(ScramblePassword(QString()).isEmpty());
    EXPECT_NE(ScramblePassword(u"geheim"_s), u"geheim"_s);
    EXPECT_EQ(ScramblePassword(u"geheim"_s).size(), 6);
    for (int byte = 0x20; byte < 0x100; ++byte) {
        const QString typed = QString::fromStdString(cp1252::toUtf8(std::string(1, static_cast<char>(byte))));
        EXPECT_FALSE(ScramblePassword(typed).contains(QChar(0))) << byte;
    }
    EXPECT_ANY_THROW(ScramblePassword(u"日本"_s)) << "outside Windows-1252: refused, not mangled";
}

TEST(ServerLines, ValuesNeverBecomeCode)
{
    EXPECT_EQ(session::ContextLine(u"1"_s, u"0"_s, u"K17"_s), u"S FIRMA=1,FIL=0,PERSONAL=\"K17\""_s);
    EXPECT_EQ(session::ContextLine(u"1"_s, u"0"_s, u"K17|Maier"_s),
              u"S FIRMA=1,FIL=0,PERSONAL=\"K17|Maier\""_s);
    EXPECT_EQ(session::ContextLine(u"1,^X=1"_s, u""_s, u"K17\",^X=\"1"_s),
              u"S FIRMA=\"1,^X=1\",FIL=\"\",PERSONAL=\"K17\"\",^X=\"\"1\""_s);
    EXPECT_EQ(session::ContextLine(u""_s, u""_s, u""_s), u"S FIRMA=\"\",FIL=\"\",PERSONAL=\"\""_s)
        << "an empty value is an empty string, never a gap in the line";
    EXPECT_EQ(session::MValue(u"123456"_s), u"123456"_s);
    EXPECT_EQ(session::MValue(u"0"_s), u"0"_s);
    EXPECT_EQ(session::MValue(u"12AB34"_s), u"\"12AB34\""_s);
    EXPECT_EQ(session::MValue(u""_s), u"\"\""_s);
    EXPECT_EQ(session::MValue(u"-1"_s), u"\"-1\""_s);
    EXPECT_EQ(session::MValue(u" 1"_s), u"\" 1\""_s);
    EXPECT_EQ(session::MValue(u"\u0661"_s), u"\"\u0661\""_s) << "only ASCII digits stand bare";
}
