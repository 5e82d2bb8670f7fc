#include "m_test_support.h"

namespace veldor::m::test {
namespace {

using SubscriptTest = MTest;

TEST_F(SubscriptTest, CanonicalNumbersAndTheirStringsAreOneSubscript)
{
    run("S X(12)=\"a\",X(-3)=\"b\",X(.5)=\"c\",X(10)=\"d\"");
    EXPECT_EQ(eval("X(\"12\")_X(12.0)_X(012)_X(1.2E1)_X(\"1\"_2)_X(6*2)"), "aaaaaa");
    EXPECT_EQ(eval("X(\"-3\")_X(-3.00)_X(\".5\")_X(1/2)_X(\"10\")_X(1E1)"), "bbccdd");
    for (const char* other : {"\"012\"", "\"12.0\"", "\"0.5\"", "\" 12\"", "\"+12\"", "\"1E1\""}) {
        EXPECT_EQ(eval(std::string("$D(X(") + other + "))"), "0") << other;
    }
}

TEST_F(SubscriptTest, NumbersCollateNumericallyBeforeStringsInByteOrder)
{
    run("S X(\"b\")=1,X(10)=1,X(2)=1,X(-1)=1,X(.5)=1,X(\"a\")=1,X(\"012\")=1,X(\"B\")=1,X(\"\xC3\xA4\")=1");
    run("S X(-10)=1,X(-1.5)=1,X(\"-\")=1,X(2,1)=1,X(\"ab\")=1");
    std::vector<std::string> order;
    locals.find("X")->forEach([&order](const Subscripts& s, const std::string&) {
        order.push_back(s.size() == 1 ? s[0] : s[0] + "," + s[1]);
    });
    const std::vector<std::string> expected = {"-10", "-1.5", "-1", ".5", "2",  "2,1", "10",
                                               "-",   "012",  "B",  "a",  "ab", "b",   "\xC3\xA4"};
    EXPECT_EQ(order, expected);
}

TEST_F(SubscriptTest, KillAndDataHonourWholeSubscripts)
{
    Tree tree;
    for (const Subscripts& s : std::vector<Subscripts>{{"1"}, {"1", "2"}, {"10"}, {"a"}, {"ab", "1"}}) {
        tree.set(s, "v");
    }
    EXPECT_EQ(tree.data({"a"}), 1) << "\"ab\" is no descendant of \"a\"";
    EXPECT_EQ(tree.data({"ab"}), 10);
    tree.kill({"1"});
    tree.kill({"a"});
    EXPECT_EQ(tree.data({"1"}), 0);
    EXPECT_EQ(tree.data({"10"}), 1);
    EXPECT_EQ(tree.data({"ab"}), 10);
    EXPECT_EQ(tree.data({}), 10);
    tree.kill({});
    EXPECT_TRUE(tree.empty());
}

TEST_F(SubscriptTest, EmptySubscriptIsRefusedEverywhere)
{
    run("S E=\"\",X=1");
    for (const char* line : {"S X(\"\")=1", "S X(E)=1", "S ^G(1,E)=1", "S Y=X(E)", "S Y=$G(X(\"\"))",
                             "S Y=$D(^G(\"\"))", "K X(E)"}) {
        const MError error = failure(line);
        EXPECT_EQ(error.kind, ErrorKind::Subscript) << line;
    }
    EXPECT_EQ(failure("S ^G(1,E)=1").detail, "^G(1,\"\")");
    EXPECT_EQ(failure("S ^G(1,E)=1").column, 8);
    EXPECT_TRUE(globals.empty());
    EXPECT_THROW(Tree().set({"1", ""}, "v"), MError);
}

TEST_F(SubscriptTest, MalformedSubscriptListsAreSyntaxErrors)
{
    for (const char* line : {"S X=^G(12AB34)", "S X=^G(1,)", "S X=^G(,1)", "S X=^G()", "S X=^G(1",
                             "S X=^G(1))", "S X=^(1)", "S X=^G (1)", "S X=^G(1 )"}) {
        EXPECT_EQ(failure(line).kind, ErrorKind::Syntax) << line;
    }
}

TEST_F(SubscriptTest, UndefinedReferenceIsShownCanonically)
{
    run("S A=1.50,Q=\"a\"\"b\"");
    EXPECT_EQ(failure("S Y=X(A,Q,\"007\",-0)").detail, "X(1.5,\"a\"\"b\",\"007\",0)");
    EXPECT_EQ(formatReference(true, "G", {"a\tb\x01", "\xC3\xA4"}),
              "^G(\"a\"_$C(9)_\"b\"_$C(1),\"\xC3\xA4\")");
}

} // namespace
} // namespace veldor::m::test
