// Bracket validation messages and positions, partner search, top-level cutting and segments.
#include <string>

#include <gtest/gtest.h>

#include "front/brackets.h"

namespace {

using namespace std::string_literals;

const std::string kCommaText = "]Comma encountered in parenthesization which is not a call list.";

TEST(MatchBrackets, ValidTexts) {
    for (std::string text : {"", "[)]", "f(a,b)", "g(x)(a,b)", "[s](a,b)", "{a,b}", "a,b", "[(,]", "f([a,b],c)", "((x))",
                             "f\t(a,b)", "7(a,b)", "K(f(a,b),c)"}) {
        ErrorRecord record;
        EXPECT_TRUE(MatchBrackets(text, record)) << text << ": " << record.Text;
        EXPECT_TRUE(IsEmpty(record)) << text;
    }
}

TEST(MatchBrackets, Failures) {
    struct Case {
        std::string text, detail;
        int64_t position;
    } cases[] = {
        {")", "Match[_____]Left dangling parenthesis.", 0},
        {"ab}", "Match[____b]Left dangling wing.", 2},
        {"(]", "Match[_____]Doesn't fit ']' at [____a].", 0},
        {"(a{b)", "Match[____b]Doesn't fit ')' at [____d].", 2},
        {"[(", "Match[_____]Right dangling bracket.", 0},
        {"{", "Match[_____]Right dangling wing.", 0},
        {"(a(b)(", "Match[____e]Right dangling parenthesis.", 5},
        {"[[]", "Match[_____]Right dangling bracket.", 0},
        // Pairs are checked before commas: the earlier comma error is not reported.
        {"(a,b) (", "Match[____f]Right dangling parenthesis.", 6},
        {"f (a,b)", "Comma[____d" + kCommaText, 4},
        {"+(a,b)", "Comma[____c" + kCommaText, 3},
        {"(a,b)", "Comma[____b" + kCommaText, 2},
        {"f\n(a,b,c)", "Comma[____d" + kCommaText, 4},
        {"f(x (a,[b,c]),d)", "Comma[____f" + kCommaText, 6},
        {"(a,b)+(c,d)", "Comma[____h" + kCommaText, 8},  // found walking backward
        // A comma group that starts a word is no call list, whatever byte stands before it.
        {"x ((a,b))", "Comma[____e" + kCommaText, 5},
        {"{(a,b)}", "Comma[____c" + kCommaText, 3},
        {"y{2}(I,5)", "Comma[____f" + kCommaText, 6},
        {"!(a,b)", "Comma[____c" + kCommaText, 3},
        {"f(x)$(a,b)", "Comma[____g" + kCommaText, 7},
        // Positions are raw byte indexes: whitespace counts.
        {"  \n  ( a , b )", "Comma[____i" + kCommaText, 9},
        {std::string(64, ' ') + ")", "Match[___a_]Left dangling parenthesis.", 64},
    };
    for (const Case& c : cases) {
        ErrorRecord record;
        EXPECT_FALSE(MatchBrackets(c.text, record)) << c.text;
        EXPECT_EQ(report_type_name(record.Type), c.detail.substr(0, 5)) << c.text;
        EXPECT_EQ(record.Text, c.detail) << c.text;
        EXPECT_EQ(record.Position, c.position) << c.text;
    }
}

TEST(Brackets, ClassesAndNames) {
    EXPECT_STREQ(BracketName('('), "parenthesis");
    EXPECT_STREQ(BracketName(']'), "bracket");
    EXPECT_STREQ(BracketName('}'), "wing");
    EXPECT_TRUE(IsOpener('{'));
    EXPECT_FALSE(IsOpener(')'));
    EXPECT_TRUE(IsCloser(']'));
    EXPECT_FALSE(IsBracket('<'));
}

TEST(BracketsDeathTest, InternalErrors) {
    EXPECT_DEATH(BracketName('x'), "ASSERTION FAILED:b:");
    EXPECT_DEATH(SkipBracket("ab", 2), "ASSERTION FAILED:b:");
    EXPECT_DEATH(SkipBracket("(a", 0), "ASSERTION FAILED:b:");
    EXPECT_DEATH(SkipBracket("a)", 1), "ASSERTION FAILED:b:");
    EXPECT_DEATH(SkipBracket("(a[)]b)", 3), "ASSERTION FAILED:b:");  // a closer inside a square group
}

TEST(SkipBracket, FindsPartnersBothWays) {
    const std::string text = "(a[)]{b}c)x";
    struct Case {
        size_t from, to;
    } cases[] = {{0, 9}, {9, 0}, {2, 4}, {4, 2}, {5, 7}, {7, 5}, {1, 1}, {10, 10}};
    for (const Case& c : cases) EXPECT_EQ(SkipBracket(text, c.from), c.to) << c.from;
    EXPECT_EQ(SkipBracket("[a[(]b]", 0), 6u);
    EXPECT_EQ(SkipBracket("[a[(]b]", 6), 0u);
}

TEST(SplitTopLevel, OnlyOutsideGroups) {
    EXPECT_EQ(SplitTopLevel("a,(b,c),[d,e],{f,g},h", ","), SeparatorList({1, 7, 13, 19}));
    // An opener that is a separator is recorded and its group stepped over.
    EXPECT_EQ(SplitTopLevel("a{b;c}d;e", ";{"), SeparatorList({1, 7}));
    EXPECT_EQ(SplitTopLevel("", ","), SeparatorList());
    EXPECT_EQ(SplitTopLevel("[,]", ","), SeparatorList());
}

TEST(Segments, CutAtSeparatorPositions) {
    const std::string text = "a;b{c;d}e;f";
    SeparatorList list = SplitTopLevel(text, ";{");
    ASSERT_EQ(list, SeparatorList({1, 3, 9}));
    EXPECT_EQ(FirstSegment(list, text), "a");
    EXPECT_EQ(LastSegment(list, text), "f");

    SeparatorList fromRight = list;
    EXPECT_EQ(PopSegment(fromRight, text), "e");  // after the "}" of the group
    EXPECT_EQ(PopSegment(fromRight, text), "b");
    EXPECT_EQ(PopSegment(fromRight, text), "a");
    EXPECT_TRUE(fromRight.empty());

    SeparatorList fromLeft = list;
    EXPECT_EQ(NextSegment(fromLeft, text), "b");
    EXPECT_EQ(NextSegment(fromLeft, text), "c;d}e");  // the next position bounds it, groups or not
    EXPECT_EQ(NextSegment(fromLeft, text), "f");
    EXPECT_TRUE(fromLeft.empty());

    SeparatorList none;
    EXPECT_EQ(FirstSegment(none, text), text);
    EXPECT_EQ(LastSegment(none, text), text);
    SeparatorList braceLast = SplitTopLevel("x;y{z}", ";{");
    EXPECT_EQ(LastSegment(braceLast, "x;y{z}"), "");
}

}  // namespace
