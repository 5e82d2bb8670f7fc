#include "m_test_support.h"

#include <random>

namespace veldor::m::test {
namespace {

struct Case
{
    std::string line;
    ErrorKind kind;
    int column;
};

using ErrorTest = MTest;

TEST_F(ErrorTest, EachErrorNamesItsKindAndColumn)
{
    const Case cases[] = {
        {"S A=1 X B=2", ErrorKind::Command, 7},
        {"S:A=1 B=1", ErrorKind::Syntax, 2},
        {"S A=$X(1)", ErrorKind::Function, 5},
        {"S A=$P(1)", ErrorKind::Function, 5},
        {"S A=$P(1,2,3,4)", ErrorKind::Function, 5},
        {"S A=$D(X,1)", ErrorKind::Function, 5},
        {"S A=$G(1)", ErrorKind::Syntax, 8},
        {"S A=$G(B_1)", ErrorKind::Syntax, 9},
        {"S A=$P", ErrorKind::Syntax, 7},
        {"S A=$$F", ErrorKind::Syntax, 5},
        {"S A=1,B=U", ErrorKind::Undefined, 9},
        {"S A=1/0", ErrorKind::Divide, 6},
        {"S A=1/\"X\"", ErrorKind::Divide, 6},
        {"S A=\"abc", ErrorKind::Syntax, 5},
        {"S A=1,B=(2", ErrorKind::Syntax, 11},
        {"S A=1E47", ErrorKind::MaxNumber, 5},
        {"S A=\"\xC3\xA4\xC3\xB6\"_U", ErrorKind::Undefined, 10},
        {"S A=1 Q X", ErrorKind::Syntax, 9},
        {"S A=1.", ErrorKind::Syntax, 6},
        {"S A='1", ErrorKind::Syntax, 5},
        {"S A=1=2", ErrorKind::Syntax, 6},
        {"S A=1>2", ErrorKind::Syntax, 6},
        {"S A=2**2", ErrorKind::Syntax, 7},
        {"S A=@B", ErrorKind::Syntax, 5},
        {"S \xC3\xA4=1", ErrorKind::Syntax, 3},
        {"S A=1\tS B=2", ErrorKind::Syntax, 6},
        {"S A=\"a\nb\"", ErrorKind::Syntax, 7},
        {"D LABEL", ErrorKind::Syntax, 3},
        {"1", ErrorKind::Syntax, 1},
    };
    for (const auto& [line, kind, column] : cases) {
        const MError error = failure(line);
        EXPECT_EQ(error.kind, kind) << line << ": " << error.what();
        EXPECT_EQ(error.column, column) << line << ": " << error.what();
        EXPECT_EQ(error.name, errorName(kind));
        EXPECT_EQ(error.number, errorNumber(kind));
    }
}

TEST_F(ErrorTest, LinesUpToTheLimitRunAndLongerOnesAreRefused)
{
    const std::string text(kMaxLineLength - 6, 'x');
    run("S A=\"" + text + "\"");
    EXPECT_EQ(value(locals, "A"), text);
    const MError error = failure("S B=\"" + text + "x\"");
    EXPECT_EQ(error.kind, ErrorKind::LineTooLong);
    EXPECT_FALSE(value(locals, "B"));
}

TEST_F(ErrorTest, NestingIsBoundedButOperatorChainsAreNot)
{
    auto nested = [](int depth) { return "S A=" + std::string(depth, '(') + "1" + std::string(depth, ')'); };
    run(nested(kMaxNesting));
    EXPECT_EQ(failure(nested(kMaxNesting + 1)).kind, ErrorKind::Nesting);
    EXPECT_EQ(failure(nested(10000)).kind, ErrorKind::Nesting);
    std::string functions = "S A=1";
    for (int i = 0; i < 3000; ++i) {
        functions = "S A=$G(X(" + functions.substr(4) + "))";
    }
    EXPECT_EQ(failure(functions).kind, ErrorKind::Nesting);

    std::string chain = "S A=1";
    for (int i = 0; i < 10000; ++i) {
        chain += "+1";
    }
    run(chain);
    EXPECT_EQ(value(locals, "A"), "10001");
    run("S B=" + std::string(20000, '-') + "5");
    EXPECT_EQ(value(locals, "B"), "5");
}

TEST_F(ErrorTest, StringsCannotOutgrowTheLimit)
{
    const std::string third(kMaxStringLength / 3 + 1, 'x');
    run("S A=\"" + third + "\"");
    const MError error = failure("S A=A_A_A");
    EXPECT_EQ(error.kind, ErrorKind::MaxString);
    EXPECT_EQ(error.column, 8);
    EXPECT_EQ(value(locals, "A"), third);
    EXPECT_EQ(failure("S " + std::string(kMaxNameLength + 1, 'N') + "=1").kind, ErrorKind::Syntax);
}

// Random lines from M-like fragments must end in success or an MError, never anything else.
TEST_F(ErrorTest, ArbitraryInputOnlyEverRaisesMErrors)
{
    const char* pieces[] = {"S ",  "D ",  "K ",   "Q ", " ",     "  ",   "A", "^G", "(",    ")",   ",",
                            "=",   "\"",  "\"\"", "1",  ".5",    "E",    "-", "+",  "*",    "/",   "_",
                            "$P(", "$G(", "$D(",  ":",  "^%XTT", "\xC3", "'", "@",  "12AB", "1E99"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(1, 24);
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (int n = length(random); n > 0; --n) {
            line += pieces[pick(random)];
        }
        try {
            run(line);
        } catch (const MError& error) {
            EXPECT_GT(error.number, 0) << line;
        } catch (const std::exception& other) {
            ADD_FAILURE() << line << ": " << other.what();
        }
    }
}

} // namespace
} // namespace veldor::m::test
