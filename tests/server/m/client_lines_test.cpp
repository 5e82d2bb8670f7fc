#include "m_test_support.h"

// The lines the desktop client sends, verbatim.
namespace veldor::m::test {
namespace {

using ClientLineTest = MTest;

TEST_F(ClientLineTest, LoginSetsTheSessionAndRunsTheMenuRoutine)
{
    std::string seen;
    env.runRoutine = [&seen](const std::string& routine, Environment& inner) {
        seen = routine + ":" + *inner.locals.find("PERSONAL")->get({});
    };
    run("S FIRMA=1,FIL=0,PERSONAL=\"K17\"");
    EXPECT_EQ(value(locals, "FIRMA"), "1");
    EXPECT_EQ(value(locals, "FIL"), "0");
    run("D ^%XTT");
    EXPECT_EQ(seen, "%XTT:K17");
    run("S FIRMA=1,FIL=0,PERSONAL=\"K17|Maier\"");
    run("D ^%XTT");
    EXPECT_EQ(seen, "%XTT:K17|Maier");
}

TEST_F(ClientLineTest, StockQueryTakesTheFirstPiece)
{
    globals.tree("TOVI").set({"1", "3", "1", "1261208", "123456"}, "7'3'x");
    run("S P0=$P(^TOVI(1,3,1,1261208,123456),\"'\",1)");
    EXPECT_EQ(value(locals, "P0"), "7");

    const MError missing = failure("S P0=$P(^TOVI(1,3,1,1261208,999999),\"'\",1)");
    EXPECT_EQ(missing.kind, ErrorKind::Undefined);
    EXPECT_EQ(missing.detail, "^TOVI(1,3,1,1261208,999999)");
    EXPECT_EQ(missing.column, 9);
    EXPECT_EQ(missing.description(), "<UNDEFINED> ^TOVI(1,3,1,1261208,999999) at column 9");
    EXPECT_STREQ(missing.what(), "<UNDEFINED> ^TOVI(1,3,1,1261208,999999) at column 9");
}

TEST_F(ClientLineTest, MalformedArticleNumbersAreRejected)
{
    globals.tree("TOVI").set({"1", "3", "1", "1261208", "12"}, "7'3'x");
    const MError garbage = failure("S P0=$P(^TOVI(1,3,1,1261208,12AB34),\"'\",1)");
    EXPECT_EQ(garbage.kind, ErrorKind::Syntax);
    EXPECT_EQ(garbage.column, 31);
    const ErrorKind empty = failure("S P0=$P(^TOVI(1,3,1,1261208,),\"'\",1)").kind;
    EXPECT_TRUE(empty == ErrorKind::Syntax || empty == ErrorKind::Subscript);
    EXPECT_FALSE(value(locals, "P0"));
}

TEST_F(ClientLineTest, QuotesInsideStringsCannotInjectAssignments)
{
    run("S FIRMA=1,FIL=0,PERSONAL=\"K17\"\",^X=\"\"1\"");
    EXPECT_EQ(value(locals, "PERSONAL"), "K17\",^X=\"1");
    EXPECT_FALSE(globals.find("X"));
    run("S FIRMA=\"1,^X=1\",FIL=0,PERSONAL=\"K17\"");
    EXPECT_EQ(value(locals, "FIRMA"), "1,^X=1");
    EXPECT_TRUE(globals.empty());
    globals.tree("X").set({}, "kept");
    EXPECT_EQ(failure("S FIRMA=1,FIL=0,PERSONAL=\"K17\" K ^X\"").kind, ErrorKind::Syntax);
    EXPECT_EQ(value(globals, "X"), "kept");
}

} // namespace
} // namespace veldor::m::test
