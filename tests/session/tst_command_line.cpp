#include "session/command_line.h"
#include "session/text_routines.h"

#include <gtest/gtest.h>

#include <array>

using namespace Qt::Literals::StringLiterals;
using session::textAfterProgramName;

TEST(ProgramCommandLine, JoinsTheArgumentsWithSingleBlanks)
{
    std::array<char*, 6> argv = {
        const_cast<char*>("/usr/bin/plenvaro"), const_cast<char*>("1"),   const_cast<char*>("0"),
        const_cast<char*>("M\xc3\xbcller"),     const_cast<char*>("a b"), nullptr};
    EXPECT_EQ(session::ProgramCommandLine(5, argv.data()), u"1 0 Müller a b"_s);
    EXPECT_EQ(session::ProgramCommandLine(1, argv.data()), QString()) << "the program name alone";
    EXPECT_EQ(session::ProgramCommandLine(0, argv.data()), QString());

    std::array<char*, 4> empty = {const_cast<char*>("plenvaro"), const_cast<char*>("1"),
                                  const_cast<char*>(""), nullptr};
    EXPECT_EQ(session::ProgramCommandLine(3, empty.data()), u"1 "_s) << "an empty argument keeps its blank";
}

TEST(TextAfterProgramName, SkipsTheNameAsTheWindowsRuntime)
{
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe 1 0 K17 geheim"_s), u"1 0 K17 geheim"_s);
    EXPECT_EQ(textAfterProgramName(u"\"C:\\Program Files\\Plenvaro\\plenvaro.exe\" 1 0 K17 geheim"_s),
              u"1 0 K17 geheim"_s);
    EXPECT_EQ(textAfterProgramName(u"C:\\Plenvaro\\plenvaro.exe 1 0  K17 geheim"_s), u"1 0  K17 geheim"_s)
        << "two blanks in a row keep the empty field";
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe\t1 0"_s), u"1 0"_s);
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe \t  1 0  "_s), u"1 0  "_s) << "trailing blanks are kept";
    EXPECT_EQ(textAfterProgramName(u"\"C:\\a b\\x.exe\"\t1"_s), u"1"_s);
    EXPECT_EQ(textAfterProgramName(u"C:\\a\" b\"\\x.exe 1"_s), u"1"_s) << "a quote inside the name";
    EXPECT_EQ(textAfterProgramName(u"\"C:\\a b\\x.exe\"1 2"_s), u"2"_s)
        << "text glued to the closing quote still belongs to the name";
    EXPECT_EQ(textAfterProgramName(u"\"C:\\a b\\x.exe 1 2"_s), QString()) << "an unclosed quote takes all";
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe 1 \"a b\" \\\"c"_s), u"1 \"a b\" \\\"c"_s)
        << "the arguments themselves are not parsed";
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe"_s), QString());
    EXPECT_EQ(textAfterProgramName(u"plenvaro.exe   "_s), QString());
    EXPECT_EQ(textAfterProgramName(QString()), QString());
}
