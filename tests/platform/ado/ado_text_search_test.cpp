// The fast paths of searching and sorting text against the plain rule they stand for: fold both texts
// whole, then find or compare. Random texts are built from the pieces where the fast paths could go wrong.

#include "platform/ado/ado_row_sort.h"
#include "platform/ado/ado_text_search.h"

#include <QChar>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

std::string folded(std::string_view utf8)
{
    std::string out;
    ado::appendSearchFolded(utf8, out);
    return out;
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// Umlauts precomposed and combining, both sharp s, the long s and the Kelvin sign (which fold to ASCII),
// stray UTF-8 bytes, and the plain letters all of those fold to.
const std::vector<std::string> kPieces{
    "a", "A", "e", "E", "o",        "u",        "U",  "s",  "S",    "k",    "K",   "z",
    "Z", "1", " ", "-", "ä",        "Ä",        "ö",  "Ü",  "ß",    "ẞ",    "ſ",   "\xE2\x84\xAA",
    "é", "É", "ω", "Ω", "\xCC\x88", "\xCC\x88", "ae", "ss", "\xC3", "\xA4", "\xFF"};

std::string randomText(std::mt19937& random, std::size_t maxPieces)
{
    std::uniform_int_distribution<std::size_t> count(0, maxPieces);
    std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
    std::string text;
    for (std::size_t n = count(random); n > 0; --n)
        text += kPieces[piece(random)];
    return text;
}

TEST(TextSearch, OnlyTheLongSAndTheKelvinSignFoldToAsciiFromBeyondIt)
{
    // The matcher's shortcut trusts that every other ASCII letter in a folded text was that letter before.
    std::vector<char32_t> toAscii;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (QChar::toCaseFolded(c) < 0x80)
            toAscii.push_back(c);
    }
    EXPECT_EQ(toAscii, (std::vector<char32_t>{0x017F, 0x212A}));
    EXPECT_EQ(folded("ſ\xE2\x84\xAA"), "sk");
}

TEST(TextSearch, MatcherAgreesWithFoldingBothTextsWhole)
{
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        const std::string needle = randomText(random, 3);
        // QString turns stray bytes into U+FFFD; the matcher looks for what the needle became.
        const std::string wanted = ado::searchFolded(QString::fromUtf8(needle));
        if (wanted.empty())
            continue;
        ado::FoldedMatcher matcher(QString::fromUtf8(needle));
        std::vector<std::string> texts;
        std::vector<quint32> ends{0};
        std::string all;
        for (int i = 0; i < 6; ++i) {
            texts.push_back(randomText(random, 8));
            all += texts.back();
            ends.push_back(static_cast<quint32>(all.size()));
        }
        std::size_t firstExpected = texts.size();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const bool expected = folded(texts[i]).find(wanted) != std::string::npos;
            ASSERT_EQ(matcher.matches(texts[i]), expected) << "needle " << needle << " in " << texts[i];
            if (expected && firstExpected == texts.size())
                firstExpected = i;
        }
        ASSERT_EQ(matcher.firstMatch(all.data(), ends.data(), 0, texts.size()), firstExpected)
            << "needle " << needle;
    }
}

TEST(TextSearch, CaselessSearcherFindsTheFirstPlaceInAnyCase)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> letter(0, 5);
    const char* letters = "aAbB- ";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = static_cast<int>(random() % 40); n > 0; --n)
            text += letters[letter(random)];
        std::string pattern;
        for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
            pattern += static_cast<char>(std::tolower(letters[letter(random)]));
        std::string lowered = text;
        std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        ASSERT_EQ(ado::CaselessSearcher(pattern).find(text), lowered.find(pattern))
            << pattern << " in " << text;
    }
}

TEST(TextSearch, ComparingAgreesWithFoldingThenBytes)
{
    std::mt19937 random(3);
    for (int round = 0; round < 20000; ++round) {
        const std::string a = randomText(random, 6);
        // Often the same start, so that the difference falls inside or right after a code point.
        std::string b = a.substr(0, random() % (a.size() + 1)) + randomText(random, 3);
        const int byFolding =
            folded(a) != folded(b) ? sign(folded(a).compare(folded(b))) : sign(a.compare(b));
        ASSERT_EQ(ado::compareSearchFolded(a, b), byFolding) << a << " / " << b;
        ASSERT_EQ(ado::compareSearchFolded(b, a), -byFolding) << b << " / " << a;
    }
    EXPECT_LT(ado::compareSearchFolded("Mu\xCC\x88sli", "Muf"), 0); // mue before muf
    EXPECT_EQ(ado::compareSearchFolded("Straße", "Straße"), 0);
    EXPECT_NE(ado::compareSearchFolded("Strasse", "Straße"), 0); // alike, yet not the same text
}

TEST(RowSort, SortsLikeAStableSortWithoutMemoryOfItsOwn)
{
    std::mt19937 random(5);
    for (const std::size_t count : {0, 1, 2, 23, 24, 25, 100, 5000}) {
        for (const int distinct : {1, 3, 1000}) {
            std::vector<int> keys(count);
            for (int& key : keys)
                key = static_cast<int>(random() % static_cast<unsigned>(distinct));
            std::vector<quint32> rows(count);
            for (std::size_t i = 0; i < count; ++i)
                rows[i] = static_cast<quint32>(i);
            std::vector<quint32> expected = rows;
            const auto byKey = [&keys](quint32 a, quint32 b) { return keys[a] < keys[b]; };
            std::stable_sort(expected.begin(), expected.end(), byKey);
            std::vector<quint32> prefetched;
            ado::detail::sortRows(
                rows.data(), rows.data() + rows.size(),
                [&keys](quint32 a, quint32 b) { return keys[a] != keys[b] ? keys[a] < keys[b] : a < b; },
                [&](quint32 row, bool) { prefetched.push_back(row); });
            ASSERT_EQ(rows, expected) << count << " rows, " << distinct << " values";
            ASSERT_TRUE(
                std::all_of(prefetched.begin(), prefetched.end(), [&](quint32 r) { return r < count; }));
        }
    }
}

TEST(RowSort, SortsRowsAlreadyInOrderAndReversed)
{
    std::vector<quint32> rows(200000);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<quint32>(rows.size() - 1 - i);
    ado::detail::sortRows(rows.data(), rows.data() + rows.size(), std::less<quint32>(), [](quint32, bool) {});
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
    ado::detail::sortRows(rows.data(), rows.data() + rows.size(), std::greater<quint32>(),
                          [](quint32, bool) {});
    EXPECT_TRUE(std::is_sorted(rows.rbegin(), rows.rend()));
}

} // namespace
