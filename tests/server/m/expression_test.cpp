#include "m_test_support.h"

namespace veldor::m::test {
namespace {

using ExpressionTest = MTest;

TEST_F(ExpressionTest, OperatorsApplyStrictlyLeftToRight)
{
    EXPECT_EQ(eval("1+2*3"), "9");
    EXPECT_EQ(eval("2*3+1"), "7");
    EXPECT_EQ(eval("10-2-3"), "5");
    EXPECT_EQ(eval("12/4/3"), "1");
    EXPECT_EQ(eval("1+2_3"), "33");
    EXPECT_EQ(eval("1_2+3"), "15");
    EXPECT_EQ(eval("2*(1+2)"), "6");
    EXPECT_EQ(eval("-1+3"), "2");
    EXPECT_EQ(eval("2--3"), "5");
    EXPECT_EQ(eval("-+-\"5X\""), "5");
    EXPECT_EQ(eval("\"a\"_\"b\"\"c\""), "ab\"c");
    EXPECT_EQ(eval("\"\"\"\""), "\"");
}

TEST_F(ExpressionTest, ConcatenationKeepsTextButArithmeticCanonicalises)
{
    run("S A=\"007\",B=1.50");
    EXPECT_EQ(eval("A_B"), "0071.5");
    EXPECT_EQ(eval("A+0"), "7");
    EXPECT_EQ(eval("+A"), "7");
    EXPECT_EQ(eval("A"), "007");
}

TEST_F(ExpressionTest, PieceSplitsOnEveryOccurrence)
{
    run("S X=\"7'3'x\",Y=\"a::b::c\",Z=\"a,,b\"");
    EXPECT_EQ(eval("$P(X,\"'\")"), "7");
    EXPECT_EQ(eval("$P(X,\"'\",1)"), "7");
    EXPECT_EQ(eval("$P(X,\"'\",2)"), "3");
    EXPECT_EQ(eval("$P(X,\"'\",3)"), "x");
    EXPECT_EQ(eval("$P(X,\"'\",4)"), "");
    EXPECT_EQ(eval("$P(X,\"'\",0)"), "");
    EXPECT_EQ(eval("$P(X,\"'\",-1)"), "");
    EXPECT_EQ(eval("$P(X,\"'\",2.9)"), "3");
    EXPECT_EQ(eval("$P(X,\"'\",\"2abc\")"), "3");
    EXPECT_EQ(eval("$P(X,\"'\",1E20)"), "");
    EXPECT_EQ(eval("$P(X,\"\")"), "");
    EXPECT_EQ(eval("$P(X,\"-\")"), "7'3'x");
    EXPECT_EQ(eval("$P(Y,\"::\",3)"), "c");
    EXPECT_EQ(eval("$P(Y,\":\",2)"), "");
    EXPECT_EQ(eval("$P(Z,\",\",2)"), "");
    EXPECT_EQ(eval("$P(Z,\",\",3)"), "b");
    EXPECT_EQ(eval("$piece(X,\"'\",2)_$Piece(X,\"'\",3)"), "3x");
}

TEST_F(ExpressionTest, GetFallsBackOnlyWhenTheNodeHasNoValue)
{
    run("S X=\"v\",^G(1)=\"g\",^G(1,2)=\"\"");
    EXPECT_EQ(eval("$G(X)"), "v");
    EXPECT_EQ(eval("$G(U)"), "");
    EXPECT_EQ(eval("$G(U,\"d\")"), "d");
    EXPECT_EQ(eval("$G(X(1),5)"), "5");
    EXPECT_EQ(eval("$GET(^G(1),5)"), "g");
    EXPECT_EQ(eval("$g(^G(1,2),5)"), "");
    EXPECT_EQ(eval("$G(^G(2),$G(^G(1)))"), "g");
}

TEST_F(ExpressionTest, DataReportsValueAndDescendants)
{
    run("S A=1,B(1)=1,C=1,C(1,2)=1,^G(\"x\",1)=1");
    EXPECT_EQ(eval("$D(U)"), "0");
    EXPECT_EQ(eval("$D(A)"), "1");
    EXPECT_EQ(eval("$D(B)"), "10");
    EXPECT_EQ(eval("$D(C)"), "11");
    EXPECT_EQ(eval("$D(C(1))"), "10");
    EXPECT_EQ(eval("$D(C(1,2))"), "1");
    EXPECT_EQ(eval("$D(C(2))"), "0");
    EXPECT_EQ(eval("$DATA(^G)_$d(^G(\"x\"))_$D(^G(\"x\",1))_$D(^H)"), "101010");
}

} // namespace
} // namespace veldor::m::test
