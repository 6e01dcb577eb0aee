// Character classes, whitespace normalisation, definable names, tree codes and the character table.
#include "core/chars.h"

#include <string>

#include <gtest/gtest.h>

#include "front/space.h"

namespace {

using namespace std::string_literals;

TEST(NormaliseSpace, RunsAreRemovedOrCollapsed) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"f  x", "f x"},    {"f \n  x", "f\nx"},   {"a + b", "a+b"}, {"f ( x )", "f (x)"},   {"a\n\nb", "a\nb"},
        {"a ,\n b", "a,b"}, {"} {", "}{"},         {") (", ") ("},   {"x { y } z", "x{y}z"}, {"  \n \n ", ""},
        {"", ""},           {" \n f x \n", "f x"}, {"f\tx", "f\tx"}, {"f \t x", "f \t x"},   {"a\r\nb", "a\r\nb"},
        {"! x", "! x"},     {"x ~", "x ~"},
    };
    for (const Case& c : cases) EXPECT_EQ(NormaliseSpace(c.in), c.out) << "input: " << c.in;
}

TEST(NormaliseSpace, LineBreakInSquareGroupTakesTheSpacesBeforeIt) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"[a  b]", "[a  b]"},
        {"[a  \n  b]", "[a  b]"},
        {"[a \n]", "[a]"},
        {"[[a \n b] c ]", "[[a b] c ]"},
        {"f [a\nb] g", "f [ab] g"},
        {"[ + ]", "[ + ]"},  // space-eaters inside a literal keep their spaces
        {"[a \n", "[a"},     // an unclosed group runs to the end
    };
    for (const Case& c : cases) EXPECT_EQ(NormaliseSpace(c.in), c.out) << "input: " << c.in;
}

TEST(Chars, SpaceEatersAndOperators) {
    for (unsigned char c : "\n #%&'*+,-./:;<=>?@\\^|"s) EXPECT_TRUE(IsSpaceEater(c)) << int(c);
    for (unsigned char c : "~!\"$`()[]{}aZ_09\t\r"s) EXPECT_FALSE(IsSpaceEater(c)) << int(c);
    EXPECT_FALSE(IsSpaceEater(0));
    for (unsigned char c : "{,}~!@#$%^&*<>-|+/=\\.`'\":;?"s) EXPECT_TRUE(is_operator_char(c)) << int(c);
    for (unsigned char c : "()[]a_0 \n"s) EXPECT_FALSE(is_operator_char(c)) << int(c);
    EXPECT_FALSE(is_operator_char(0));
}

TEST(Chars, DefinableNamesAndShortSpellings) {
    struct Case {
        std::string name;
        bool definable;
        std::string key;
    } cases[] = {
        {"plus", true, "plus"}, {"_", true, "_"},       {"K", true, "K"},       {"[+]", true, "+"},
        {"[,]", true, ","},     {"[{]", true, "{"},     {"[\\]", true, "\\"},   {"\x01", true, "\x01"},
        {"\n", true, "\n"},     {"\x7f", true, "\x7f"}, {"\xff", true, "\xff"}, {"Kx", false, ""},
        {"[(]", false, ""},     {"[a]", false, ""},     {"x1", false, ""},      {"", false, ""},
        {"1", false, ""},       {"+", false, ""},       {"\0"s, false, ""},     {"[+", false, ""},
        {"KK", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDefinableName(c.name), c.definable) << "name: " << c.name;
        if (c.definable) {
            EXPECT_EQ(ShortSpelling(c.name), c.key);
        }
    }
    EXPECT_TRUE(is_lower_name("ab_c"));
    EXPECT_FALSE(is_lower_name(""));
    EXPECT_FALSE(is_lower_name("aB"));
}

TEST(CharsDeathTest, ShortSpellingOfAnInvalidName) { EXPECT_DEATH(ShortSpelling("x1"), "ASSERTION FAILED:b:"); }

TEST(Chars, TreeCodes) {
    struct Case {
        int n;
        const char* code;
    } cases[] = {
        {0, "[]"},       {1, "[[]]"},     {2, "[[][]]"},         {3, "[[[]]]"},
        {4, "[[[]][]]"}, {5, "[[][][]]"}, {145, "[[][[]][[]]]"}, {676, "[[[[[]][]][[]][]][[[]][]][[]][]]"},
    };
    for (const Case& c : cases) EXPECT_EQ(TreeCode(c.n), c.code) << c.n;
}

TEST(CharsDeathTest, TreeCodeOutOfRange) { EXPECT_DEATH(TreeCode(677), "ASSERTION FAILED:b:"); }

TEST(CharacterTable, BothDirections) {
    struct Case {
        const char* code;
        std::string shown;
    } cases[] = {
        {"[[][[]][[]]]", "\x97"},              // 145: '0' as a code byte
        {"[[][[][]][[]]]", " "},               // 197: '_' as a code byte is 32
        {"[[[[][]][[]]]]", "_"},               // 198: '_' plain
        {"[[][][[]][]]", "\xdf"},              // 290: '_' high
        {"[[[[]][[]][]][][[]]]", "\xdd"},      // 383: ']' high
        {"[[[[[]]]][[]][[]][]]", "\x1f"},      // 384: '[' as a code byte
        {"[[[[]][[]][]][[[]]]]", "\xff"},      // 385: ']' as a code byte
        {"[[[[]][[]][]][[]][[]][]]", "\x96"},  // 400: '?' as a code byte
    };
    for (const Case& c : cases) {
        const std::string* shown = character_table_find(c.code);
        ASSERT_NE(shown, nullptr) << c.code;
        EXPECT_EQ(*shown, c.shown);
        const std::string* code = character_table_find(c.shown);
        ASSERT_NE(code, nullptr) << c.code;
        EXPECT_EQ(*code, c.code);
    }
}

TEST(CharacterTable, SkippedEntriesAndSize) {
    // Entries 245..247 would display as a newline, "[" and "]".
    for (int value : {390, 391, 392}) EXPECT_EQ(character_table_find(TreeCode(value)), nullptr) << value;
    EXPECT_EQ(character_table_find("\n"), nullptr);
    EXPECT_EQ(character_table_find("["), nullptr);
    EXPECT_EQ(character_table_find("]"), nullptr);
    EXPECT_EQ(character_table_find(TreeCode(144)), nullptr);
    EXPECT_EQ(character_table_find(TreeCode(401)), nullptr);
    EXPECT_EQ(CharacterTable().size(), 506u);  // 253 codes and 253 distinct display bytes
    EXPECT_EQ(&CharacterTable(), &CharacterTable());
}

}  // namespace
