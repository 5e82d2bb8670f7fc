#include "registry/cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(byte, cp1252::fromUtf8(cp1252::toUtf8(byte))) << "byte " << b;
    }
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xE2\x80\x9E\xC5\xB8",
              cp1252::toUtf8("Gr\xFC\xDF"
                             "e \x80 \x84\x9F"));
    // The code page leaves these undefined; Windows maps them to the C1 controls of the same number.
    EXPECT_EQ("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", cp1252::toUtf8("\x81\x8D\x8F\x90\x9D"));
    EXPECT_EQ(std::string("a\0b", 3), cp1252::fromUtf8(std::string("a\0b", 3)));
}

TEST(Cp1252, RefusesWhatItCannotCarryOrDecode)
{
    for (const char* text : {
             "\xC2\x80",         // U+0080: 0x80 is the euro sign
             "\xC2\x98",         // U+0098: 0x98 is the small tilde
             "\xE4\xB8\xAD",     // a CJK character
             "\xF0\x9F\x98\x80", // beyond the BMP
             "ok\xC3",           // cut short
             "\x80",             // a lone continuation byte
             "\xC0\xAF",         // overlong "/"
             "\xE0\x80\xAF",     // overlong again
             "\xED\xA0\x80",     // a surrogate
             "\xF4\x90\x80\x80", // past U+10FFFF
             "\xFC",             // a Windows-1252 byte passed off as UTF-8
         })
        EXPECT_EQ(std::nullopt, cp1252::fromUtf8(text)) << text;
}

} // namespace
