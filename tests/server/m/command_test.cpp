#include "m_test_support.h"

namespace veldor::m::test {
namespace {

using CommandTest = MTest;

TEST_F(CommandTest, SetAssignsLeftToRight)
{
    run("S A=1,B=A+1,^G(B,\"k\")=A_B");
    EXPECT_EQ(value(locals, "B"), "2");
    EXPECT_EQ(value(globals, "G", {"2", "k"}), "12");
    EXPECT_FALSE(value(locals, "G")) << "a global must not land among the locals";
}

TEST_F(CommandTest, ErrorStopsTheLineButKeepsEarlierAssignments)
{
    EXPECT_EQ(failure("S A=1,B=U,C=3  S D=4").kind, ErrorKind::Undefined);
    EXPECT_EQ(value(locals, "A"), "1");
    EXPECT_FALSE(value(locals, "B"));
    EXPECT_FALSE(value(locals, "C"));
    EXPECT_FALSE(value(locals, "D"));
}

TEST_F(CommandTest, SyntaxErrorAnywhereRunsNothing)
{
    EXPECT_EQ(failure("S A=1 D ^%XTT S B=1+").kind, ErrorKind::Syntax);
    EXPECT_TRUE(locals.empty());
    EXPECT_TRUE(routinesRun.empty());
}

TEST_F(CommandTest, TargetSubscriptsAreEvaluatedBeforeTheValue)
{
    EXPECT_EQ(failure("S X(U1)=U2").detail, "U1");
}

TEST_F(CommandTest, KillRemovesNodesAndDescendantsOnly)
{
    run("S A=1,A(1)=1,A(1,2)=1,A(10)=1,B=1,^G(1)=1,^G(2)=2");
    run("K A(1),^G(1)");
    EXPECT_FALSE(value(locals, "A", {"1", "2"}));
    EXPECT_EQ(value(locals, "A", {"10"}), "1");
    EXPECT_EQ(value(locals, "A"), "1");
    EXPECT_FALSE(value(globals, "G", {"1"}));
    EXPECT_EQ(value(globals, "G", {"2"}), "2");
    run("K B,^G");
    EXPECT_FALSE(value(locals, "B"));
    EXPECT_FALSE(globals.find("G"));
    run("K  S C=3");
    EXPECT_FALSE(value(locals, "A"));
    EXPECT_EQ(value(locals, "C"), "3");
    run("S ^G=1 K");
    EXPECT_EQ(value(globals, "G"), "1") << "argumentless KILL is for locals";
    EXPECT_TRUE(locals.empty());
}

TEST_F(CommandTest, QuitEndsTheLine)
{
    run("S A=1 Q  S B=2");
    run("Q");
    run("S C=1 QUIT");
    EXPECT_EQ(value(locals, "A"), "1");
    EXPECT_FALSE(value(locals, "B"));
    EXPECT_EQ(value(locals, "C"), "1");
}

TEST_F(CommandTest, DoRunsRoutinesInOrder)
{
    run("D ^A,^%XTT  D ^A");
    EXPECT_EQ(routinesRun, (std::vector<std::string>{"A", "%XTT", "A"}));
    const MError error = failure("S A=1 D ^A,^NOPE,^A");
    EXPECT_EQ(error.kind, ErrorKind::NoRoutine);
    EXPECT_EQ(error.detail, "^NOPE");
    EXPECT_EQ(error.column, 12);
    EXPECT_EQ(routinesRun.size(), 4U);
}

TEST_F(CommandTest, RoutinesThatDoThemselvesAreStopped)
{
    int calls = 0;
    env.runRoutine = [&calls](const std::string&, Environment& inner) {
        ++calls;
        execute("D ^SELF", inner);
    };
    EXPECT_EQ(failure("D ^SELF").kind, ErrorKind::Nesting);
    EXPECT_EQ(calls, kMaxRoutineNesting);
    EXPECT_EQ(env.routineDepth, 0);
}

TEST_F(CommandTest, CommandNamesAreCaseInsensitiveFullOrOneLetter)
{
    run("set A=1 s B=2 Set C=3 kill C do ^A");
    EXPECT_EQ(value(locals, "B"), "2");
    EXPECT_FALSE(value(locals, "C"));
    EXPECT_EQ(failure("SE A=1").kind, ErrorKind::Command);
    EXPECT_EQ(failure("W A").kind, ErrorKind::Command);
}

TEST_F(CommandTest, SpacingFollowsM)
{
    run("  S A=1   S B=2 ");
    EXPECT_EQ(value(locals, "B"), "2");
    run("");
    run("K A S B=3");
    EXPECT_EQ(value(locals, "B"), "3");
    for (const char* line : {"S  A=1", "S", "D", "S A=1,", "S A=1 ,B=1", "SA=1", "S:1 A=1", "K  A", "Q A",
                             "S A =1", "S A= 1", "S (A,B)=1", "D A", "D ^A(1)", "D ^ A"}) {
        const ErrorKind kind = failure(line).kind;
        EXPECT_TRUE(kind == ErrorKind::Syntax || kind == ErrorKind::Command) << line;
    }
}

} // namespace
} // namespace veldor::m::test
