#include "m_test_support.h"

namespace veldor::m::test {
namespace {

using References = std::pair<std::string, Subscripts>;

TEST(GlobalReferenceTest, ReadsLiteralSubscriptsAsMWouldComputeThem)
{
    EXPECT_EQ(parseGlobalReference("^TOVI(1,3,1,1261208,123456)"),
              (References{"TOVI", {"1", "3", "1", "1261208", "123456"}}));
    EXPECT_EQ(parseGlobalReference("^X(\"a b\",2)"), (References{"X", {"a b", "2"}}));
    EXPECT_EQ(parseGlobalReference("^X(\"a\"\"b\",\"012\",012,-3,1.50,-.5,1E2)"),
              (References{"X", {"a\"b", "012", "12", "-3", "1.5", "-.5", "100"}}));
    EXPECT_EQ(parseGlobalReference("^%Z"), (References{"%Z", {}}));
}

TEST(GlobalReferenceTest, FormattedReferencesReadBack)
{
    const Subscripts subscripts = {"-3", "1.5", "a\"b", "012", "\xC3\xA4 x", "1E2"};
    const std::string text = formatReference(true, "TOVI", subscripts);
    EXPECT_EQ(parseGlobalReference(text), (References{"TOVI", subscripts}));
}

TEST(GlobalReferenceTest, AnythingButLiteralsIsRefused)
{
    for (const char* text :
         {"", "TOVI(1)", "^X(A)", "^X(1+1)", "^X(-\"a\")", "^X(--1)", "^X(+1)", "^X(1,)", "^X()", "^X(1) ",
          " ^X(1)", "^X(1)=5", "^X($G(A))", "^X((1))", "^X(12AB)", "^X(\"a)"}) {
        try {
            parseGlobalReference(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const MError& error) {
            EXPECT_EQ(error.kind, ErrorKind::Syntax) << text;
        }
    }
    try {
        parseGlobalReference("^X(1,\"\")");
        ADD_FAILURE() << "accepted an empty subscript";
    } catch (const MError& error) {
        EXPECT_EQ(error.kind, ErrorKind::Subscript);
        EXPECT_EQ(error.column, 6);
    }
}

} // namespace
} // namespace veldor::m::test
