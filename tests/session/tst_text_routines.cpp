#include "text_routines.h"

#include "connect_server.h"
#include "cp1252.h"

#include <gtest/gtest.h>

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
              u"S FIRMA=\"1,^X=1\",FIL=,PERSONAL=\"K17\"\",^X=\"\"1\""_s);
    EXPECT_EQ(session::MValue(u"123456"_s), u"123456"_s);
    EXPECT_EQ(session::MValue(u"12AB34"_s), u"\"12AB34\""_s);
    EXPECT_EQ(session::MValue(u""_s), u""_s);
    EXPECT_EQ(session::MValue(u"-1"_s), u"\"-1\""_s);
}
