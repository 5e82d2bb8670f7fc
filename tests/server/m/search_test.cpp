#include "m_test_support.h"
#include "search.h"

#include <random>

namespace veldor::m::test {
namespace {

// Every occurrence, overlapping ones included, as a plain search finds them.
std::vector<std::size_t> plainMatches(const std::string& text, const std::string& needle)
{
    std::vector<std::size_t> found;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        found.push_back(at);
    }
    return found;
}

std::vector<std::size_t> finderMatches(const std::string& text, const std::string& needle)
{
    const Finder finder(needle);
    std::vector<std::size_t> found;
    for (std::size_t at = finder.find(text, 0); at != Finder::npos; at = finder.find(text, at + 1)) {
        found.push_back(at);
    }
    return found;
}

TEST(FinderTest, FindsWhatAPlainSearchFinds)
{
    // Two letters make repetitive texts and needles, where the failure table matters.
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> letter(0, 1);
    std::uniform_int_distribution<std::size_t> textLength(0, 60);
    std::uniform_int_distribution<std::size_t> needleLength(1, 8);
    for (int i = 0; i < 5000; ++i) {
        std::string text(textLength(random), 'a');
        std::string needle(needleLength(random), 'a');
        for (char& c : text) {
            c = static_cast<char>('a' + letter(random));
        }
        for (char& c : needle) {
            c = static_cast<char>('a' + letter(random));
        }
        ASSERT_EQ(finderMatches(text, needle), plainMatches(text, needle)) << text << " / " << needle;
    }
}

TEST(FinderTest, HandlesEdgesOfTheText)
{
    EXPECT_EQ(Finder("ab").find("ab", 0), 0U);
    EXPECT_EQ(Finder("ab").find("xab", 0), 1U);
    EXPECT_EQ(Finder("ab").find("ab", 1), Finder::npos);
    EXPECT_EQ(Finder("ab").find("ab", 5), Finder::npos);
    EXPECT_EQ(Finder("abc").find("ab", 0), Finder::npos);
    EXPECT_EQ(Finder("x").find("", 0), Finder::npos);
    EXPECT_EQ(Finder("\xC3\xA4").find("a\xC3\xA4", 0), 1U);
    EXPECT_EQ(Finder(std::string("a\0b", 3)).find(std::string("xa\0b", 4), 0), 1U);
}

using PieceTest = MTest;

TEST_F(PieceTest, LongAndRepetitiveDelimitersCutLikeShortOnes)
{
    run("S T=\"aab\"_\"aaab\"_\"ab\"");
    EXPECT_EQ(eval("$P(T,\"aab\",1)"), "");
    EXPECT_EQ(eval("$P(T,\"aab\",2)"), "a");
    EXPECT_EQ(eval("$P(T,\"aab\",3)"), "ab");
    EXPECT_EQ(eval("$P(T,\"aab\",4)"), "");
    EXPECT_EQ(eval("$P(\"aaaa\",\"aa\",2)"), "") << "pieces do not overlap";
    EXPECT_EQ(eval("$P(\"aaaaa\",\"aa\",3)"), "a");
    EXPECT_EQ(eval("$P(\"x\",\"xx\")"), "x");
    EXPECT_EQ(eval("$P(\"7'3'x\",\"'\",3)"), "x");
}

// The case a plain search pays text length times delimiter length for: the delimiter almost
// matches everywhere. The work charged must grow with the lengths, not with their product.
TEST_F(PieceTest, WorstCaseWorkGrowsLinearly)
{
    std::uint64_t used[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::string setup = "S X=\"aaaaaaaaaaaaaaa\"";
        for (int d = 0; d < 9 + i; ++d) { // 7,680, then 15,360 characters
            setup += ",X=X_X";
        }
        run(setup + ",D=X_\"b\",T=X_X");
        Budget budget;
        env.budget = &budget;
        run("S P=$P(T,D,2),Q=$P(T,D)");
        env.budget = nullptr;
        used[i] = budget.used();
        EXPECT_EQ(value(locals, "P"), "");
        EXPECT_EQ(value(locals, "Q"), value(locals, "T"));
    }
    EXPECT_LT(used[1], used[0] * 5 / 2) << "twice the length may cost about twice the work";
}

} // namespace
} // namespace veldor::m::test
