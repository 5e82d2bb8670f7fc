#include "m_test_support.h"

#include "number.h"

namespace veldor::m::test {
namespace {

struct Case
{
    std::string input;
    std::string expected;
};

using NumberTest = MTest;

TEST_F(NumberTest, LiteralsTakeCanonicalForm)
{
    const Case cases[] = {{"12", "12"},
                          {"012", "12"},
                          {"1.50", "1.5"},
                          {"0.5", ".5"},
                          {".5", ".5"},
                          {"-.5", "-.5"},
                          {"-0", "0"},
                          {"00.000", "0"},
                          {"1E3", "1000"},
                          {"25E-2", ".25"},
                          {"1.5E+1", "15"},
                          {"1E-50", "0"},
                          {"1E46", "1" + std::string(46, '0')}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(eval(input), expected) << input;
    }
}

TEST_F(NumberTest, StringsAreReadByTheirNumericPrefix)
{
    const Case cases[] = {
        {"\"12AB\"", "12"},          {"\"AB\"", "0"},        {"\" 1\"", "0"}, {"\"--5\"", "5"},
        {"\"+-5\"", "-5"},           {"\"1E3\"", "1000"},    {"\"1E\"", "1"}, {"\"1EX\"", "1"},
        {"\"1.5.3\"", "1.5"},        {"\".\"", "0"},         {"\"\"", "0"},   {"\"1e3\"", "1"},
        {"\"0E999999999999\"", "0"}, {"\"-007.10\"", "-7.1"}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(eval("+" + input), expected) << input;
    }
}

TEST_F(NumberTest, ArithmeticIsDecimal)
{
    const Case cases[] = {{"1234.56-1234.55", ".01"},
                          {".1+.2", ".3"},
                          {"1.0000000000001-1", ".0000000000001"},
                          {"1/3", ".333333333333333333"},
                          {"2/3", ".666666666666666667"},
                          {"-2/3", "-.666666666666666667"},
                          {"10/4", "2.5"},
                          {"-7/2", "-3.5"},
                          {"1/8", ".125"},
                          {"3*-2", "-6"},
                          {".5*.5", ".25"},
                          {"1.5+1.5", "3"},
                          {"5-5", "0"},
                          {"999999999999999999+1", "1000000000000000000"},
                          {"123456789012345678+1", "123456789012345679"},
                          {"1234567890123456789", "1234567890123456790"},
                          {"1234567890123456785", "1234567890123456790"},
                          {"1234567890123456784", "1234567890123456780"},
                          {"-246913578024691357/2", "-123456789012345679"},
                          {"1E40+1", "1" + std::string(40, '0')},
                          {"1E-40*1E-10", "0"}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(eval(input), expected) << input;
    }
}

TEST_F(NumberTest, MagnitudeOf1E47IsAnError)
{
    EXPECT_EQ(eval("99999999999999999E30"), "99999999999999999" + std::string(30, '0'));
    for (const char* line : {"S X=1E47", "S X=1E46*10", "S X=\"1E999\"+0", "S X=-\"1E50\""}) {
        EXPECT_EQ(failure(line).kind, ErrorKind::MaxNumber) << line;
    }
}

TEST(NumberCanonical, AgreesWithFormatting)
{
    for (const char* text : {"0", "12", "-3", ".5", "-.5", "1.25", "1000", "123456789012345678"}) {
        EXPECT_TRUE(Number::isCanonical(text)) << text;
    }
    for (const char* text : {"", "012", "0.5", "-0", "1.0", "+1", "1E3", " 1", "1 ", ".", "-",
                             "1234567890123456789", "1.", "5."}) {
        EXPECT_FALSE(Number::isCanonical(text)) << text;
    }
}

} // namespace
} // namespace veldor::m::test
