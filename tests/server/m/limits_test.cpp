#include "m_test_support.h"

namespace veldor::m::test {
namespace {

using BudgetTest = MTest;

TEST_F(BudgetTest, ALineOverItsBudgetEndsWithBudgetAtItsCommand)
{
    Budget budget(100000);
    env.budget = &budget;
    std::string line = "S A=1 S X=\"" + std::string(1000, 'x') + "\"";
    for (int i = 0; i < 100; ++i) {
        line += ",B=X";
    }
    const MError error = failure(line);
    EXPECT_EQ(error.kind, ErrorKind::Budget);
    EXPECT_EQ(error.number, 12);
    EXPECT_EQ(error.column, 7) << error.what();
    EXPECT_NE(error.description().find("100000 units"), std::string::npos) << error.what();
    EXPECT_EQ(value(locals, "A"), "1") << "what ran before stays done";
    EXPECT_GT(budget.used(), budget.limit());
}

TEST_F(BudgetTest, EveryKindOfWorkIsCharged)
{
    for (const char* line :
         {"S A=1", "S A=\"abc\"_\"def\"", "S A=1+2*3", "S A=-\"5\"", "S A=$P(\"a'b\",\"'\",2)",
          "S A=$G(B(1,2))", "S A=$D(^G(1))", "S ^G(1,2)=3", "K ^G(1)", "D ^A"}) {
        Budget budget;
        env.budget = &budget;
        run(line);
        EXPECT_GT(budget.used(), 0U) << line;
    }
    Budget small;
    Budget large;
    env.budget = &small;
    run("S X=$P(\"" + std::string(100, 'a') + "\",\"b\")");
    env.budget = &large;
    run("S X=$P(\"" + std::string(10000, 'a') + "\",\"b\")");
    EXPECT_GT(large.used(), small.used() + 9900) << "searching is charged by the byte";
}

TEST_F(BudgetTest, TheCheckpointCanEndTheLineAndRunsOftenEnough)
{
    int checkpoints = 0;
    Budget budget(Budget::Unlimited, [&checkpoints] {
        if (++checkpoints == 3) {
            throw MError(ErrorKind::Budget, 0, "stopped from outside");
        }
    });
    env.budget = &budget;
    std::string line = "S A=\"" + std::string(3000, 'a') + "\"";
    for (int i = 0; i < 200; ++i) {
        line += ",A=A";
    }
    const MError error = failure(line);
    EXPECT_EQ(error.detail, "stopped from outside");
    EXPECT_EQ(error.column, 1);
    EXPECT_EQ(checkpoints, 3);
    // Between two checkpoints at most CheckpointUnits and the one charge that crossed them.
    EXPECT_LE(budget.used(), 3 * (Budget::CheckpointUnits + 3001));
}

TEST_F(BudgetTest, KillHappensWholeEvenPastTheBudget)
{
    for (int i = 0; i < 3000; i += 100) {
        std::string line = "S ^G(" + std::to_string(i) + ")=1";
        for (int j = i + 1; j < i + 100; ++j) {
            line += ",^G(" + std::to_string(j) + ")=1";
        }
        run(line);
    }
    Budget budget(2000);
    env.budget = &budget;
    const MError error = failure("K ^G S A=1");
    EXPECT_EQ(error.kind, ErrorKind::Budget);
    EXPECT_EQ(error.column, 1);
    EXPECT_FALSE(globals.find("G")) << "the KILL finished before its work was charged";
    EXPECT_FALSE(value(locals, "A"));
}

using StoreTest = MTest;

TEST_F(StoreTest, SetsBeyondTheLimitFailAndChangeNothing)
{
    locals.setLimit(20000);
    run("S X=\"" + std::string(1000, 'x') + "\",Y=X_X_X_X");
    const MError error = failure("S A(1)=Y,A(2)=Y,A(3)=Y,A(4)=Y,A(5)=Y,B=1");
    EXPECT_EQ(error.kind, ErrorKind::Store);
    EXPECT_EQ(error.number, 13);
    EXPECT_EQ(error.description().rfind("<STORE> variables limit of 20000 bytes reached at column ", 0), 0U)
        << error.what();
    EXPECT_LE(locals.bytes(), locals.limit());
    EXPECT_FALSE(value(locals, "B"));
    const std::size_t full = locals.bytes();
    EXPECT_EQ(failure("S C=Y").kind, ErrorKind::Store);
    EXPECT_FALSE(locals.find("C")) << "a variable made for a refused value is not left behind";
    EXPECT_EQ(locals.bytes(), full);

    run("S A(1)=1");
    EXPECT_LT(locals.bytes(), full) << "a smaller value gives memory back";
    run("K A S A(9)=Y");
    run("K");
    EXPECT_EQ(locals.bytes(), 0U);
}

TEST_F(StoreTest, CountsWhatTheNodesHold)
{
    Variables named("globals");
    named.setLimit(100);
    try {
        named.set("G", {"1"}, std::string(200, 'v'));
        ADD_FAILURE() << "over the limit";
    } catch (const MError& error) {
        EXPECT_EQ(error.detail, "globals limit of 100 bytes reached");
    }
    EXPECT_TRUE(named.empty());
    EXPECT_EQ(named.bytes(), 0U);

    run("S ^G(\"" + std::string(500, 'k') + "\")=\"" + std::string(700, 'v') + "\"");
    EXPECT_GE(globals.bytes(), 1200U);
    EXPECT_LT(globals.bytes(), 1200U + 512U);
    const std::size_t one = globals.bytes();
    run("S ^G(1)=1");
    EXPECT_GT(globals.bytes(), one);
    run("K ^G");
    EXPECT_EQ(globals.bytes(), 0U);
    EXPECT_EQ(locals.bytes(), 0U) << "globals and locals are counted apart";
}

using BoundedErrorTest = MTest;

TEST_F(BoundedErrorTest, LongReferencesAreCutWithAnEllipsis)
{
    run("S A=\"" + std::string(20000, 'x') + "\"");
    for (const char* line : {"S P=^U(A,1)", "S P=U(A)", "S P=$P(^U(1,A),1)", "S P=^U(1,A,A)", "S ^U(A,A)=1",
                             "S P=$G(^U(A,A))", "S P=$D(U(A,A))", "S U(A,\"\")=1"}) {
        const MError error = failure(line);
        EXPECT_LE(error.detail.size(), kMaxErrorDetail) << line;
        EXPECT_EQ(error.detail.substr(error.detail.size() - 3), "...") << line;
        EXPECT_LE(error.description().size(), kMaxErrorDetail + 40) << line;
    }
    EXPECT_EQ(
        failure("S P=^U(A,A)").description().rfind("<SUBSCRIPT> key longer than 32767 bytes: ^U(\"xxx", 0),
        0U);
    EXPECT_EQ(failure("S P=^U(A,1)").kind, ErrorKind::Undefined);
    EXPECT_EQ(failure("S P=$" + std::string(5000, 'Q') + "(1)").detail.size(), kMaxErrorDetail);
}

TEST_F(BoundedErrorTest, CutsNeverSplitACharacter)
{
    std::string umlauts;
    for (int i = 0; i < 200; ++i) {
        umlauts += "\xC3\xA4";
    }
    for (std::size_t offset = 0; offset < 2; ++offset) {
        const MError error = failure("S P=" + std::string(offset, 'N') + "X(\"" + umlauts + "\")");
        const std::string& detail = error.detail;
        ASSERT_GE(detail.size(), 4U);
        const auto last = static_cast<unsigned char>(detail[detail.size() - 4]);
        EXPECT_TRUE(last == 0xA4 || last < 0x80) << "ends in a whole character";
    }
    EXPECT_EQ(cutText("abcdef", 6), "abcdef");
    EXPECT_EQ(cutText("abcdefg", 6), "abc...");
    EXPECT_EQ(cutText("ab\xC3\xA4zzz", 6), "ab...");
}

} // namespace
} // namespace veldor::m::test
