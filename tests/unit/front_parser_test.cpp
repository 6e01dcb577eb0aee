// Parse trees of the ten precedence levels, unary positions, pieces, literals, holes and deep nesting.
#include <string>

#include <gtest/gtest.h>

#include "front/parser.h"
#include "tests/unit/tree_notation.h"

namespace {

using namespace std::string_literals;

struct TreeCase {
    std::string text, tree;
};

void ExpectTrees(std::initializer_list<TreeCase> cases) {
    for (const TreeCase& c : cases) EXPECT_EQ(TreeNotation(ParseExpression(c.text)), c.tree) << "text: " << c.text;
}

TEST(Parser, BinaryLevelsAndAssociativity) {
    ExpectTrees({
        {"a b+c", "(a ((+ b) c))"},
        {"f x\ny", "((f x) y)"},
        {"a;b;c", "((; a) ((; b) c))"},
        {"a\\b\\c", "((\\ a) ((\\ b) c))"},
        {"a?b\nc", "(((? a) b) c)"},
        {"a&b|c", "((& a) ((| b) c))"},
        {"a=b<c", "((= a) ((< b) c))"},
        {"a>b#c", "((> a) ((# b) c))"},
        {"a@b c", "(((@ a) b) c)"},
        {"a-b+c", "((+ ((- a) b)) c)"},
        {"a:b.c", "((. ((: a) b)) c)"},
        {"a*b/c%d'e", "((' ((% ((/ ((* a) b)) c)) d)) e)"},
        {"a^b^c", "((^ a) ((^ b) c))"},
        {"a b*c+d", "(a ((+ ((* b) c)) d))"},
        {"a+b^c*d", "((+ a) ((* ((^ b) c)) d))"},
        {"a;b?c&d=e@f+g*h^i", "((; a) ((? b) ((& c) ((= d) ((@ e) ((+ f) ((* g) ((^ h) i))))))))"},
        {"x\ny z", "(x (y z))"},
        {"A\\a\\aS BKK", "((\\ A) ((\\ a) ((a S) ((B K) K))))"},
        {"F\\a\\b\\Vb a", "((\\ F) ((\\ a) ((\\ b) ((V b) a))))"},
    });
}

TEST(Parser, MissingOperandsAreHoles) {
    ExpectTrees({
        {"", "}"},
        {"+1", "((+ }) 1)"},
        {"a+", "((+ a) })"},
        {"a;;b", "((; a) ((; }) b))"},
        {"\\x", "((\\ }) x)"},
        {"f()", "(f })"},
        {"f(,)", "((f }) })"},
        {"()", "}"},
    });
}

TEST(Parser, Wings) {
    ExpectTrees({
        {"f{x}", "((({ f) x) })"},
        {"k{a,b,c}r", "((({ k) ((, a) ((, b) c))) r)"},
        {"{}", "((({ }) }) })"},
        {"a{b}c;d", "((({ a) b) ((; c) d))"},
        {"x\\y{z}w", "((\\ x) ((({ y) z) w))"},
        {"a{b{c}d}e", "((({ a) ((({ b) c) d)) e)"},
        {"k{a b,c+d}r s", "((({ k) ((, (a b)) ((+ c) d))) (r s))"},
    });
}

TEST(Parser, UnaryOperatorsInEveryPosition) {
    ExpectTrees({
        {"!x", "(! x)"},
        {"x!", "(! x)"},
        {"x!!", "(! (! x))"},
        {"~!x", "(~ (! x))"},
        {"x~!", "(! (~ x))"},
        {"!x~", "(~ (! x))"},
        {"!", "(! })"},
        {"!$", "($ (! }))"},
        {"f!x", "(f (! x))"},
        {"a!b~c", "((a (! b)) (~ c))"},
        {"a!~b", "(a (! (~ b)))"},
        {"!a!b", "(! (a (! b)))"},
        {"f(!x)", "(f (! x))"},
        {"\"x`", "(` (\" x))"},
        {"a $b", "(a ($ b))"},
        {"f!(x)", "(f (! x))"},
    });
}

TEST(Parser, TightWordsAndCallLists) {
    ExpectTrees({
        {"f(a,b)", "((f a) b)"},
        {"f(x)", "(f x)"},
        {"f (x)", "(f x)"},
        {"f(a,b)c", "(((f a) b) c)"},
        {"b(c)", "(b c)"},
        {"x1", "(x 1)"},
        {"12ab", "(12 ab)"},
        {"plus 12 ab_c", "((plus 12) ab_c)"},
        {"aS", "(a S)"},
        {"BKK", "((B K) K)"},
        {"f(a)(b)", "((f a) b)"},
        {"g(h(x),y)", "((g (h x)) y)"},
        {"(a b)c", "((a b) c)"},
        {"((x))", "x"},
        {"(f)(a,b)", "((f a) b)"},
        {"[a,b](c)", "([a,b] c)"},
        {"[a]b[c]", "(([a] b) [c])"},
        {"f\tx", "((f \t) x)"},
        {"x\x80y", "((x \x80) y)"},
        // A parenthesis first in its word is a plain group, commas and all.
        {"f((a,b))", "(f (a, b))"},
    });
}

TEST(Parser, LiteralsAndNul) {
    ExpectTrees({
        {"[a\n\0b]"s, "[a\nb]"},
        {"[a [b\n c] (]", "[a [b c] (]"},
        {"\0"s, "\n"},
        {"f\0x"s, "((f \n) x)"},
    });
}

// A comma glued to a lone byte used to trip an internal check; it is kept whole as a name.
TEST(Parser, LoneByteWithGluedCommaIsOneName) {
    ExpectTrees({
        {"f((,,x))", "(f (,, x))"},
        {"f((K,x))", "(f (K, x))"},
        {"f((\0,x))"s, "(f (\n, x))"},
    });
}

// Parses text and returns the top-level visits it took.
uint64_t VisitsToParse(const std::string& text, CellRef* tree = nullptr) {
    uint64_t before = parser_top_level_visits();
    CellRef parsed = ParseExpression(text);
    if (tree) *tree = parsed;
    return parser_top_level_visits() - before;
}

std::string Nested(size_t depth) { return std::string(depth, '(') + "7" + std::string(depth, ')'); }
std::string Calls(size_t depth) {
    std::string calls;
    for (size_t i = 0; i < depth; ++i) calls += "f(";
    return calls + "x" + std::string(depth, ')');
}
std::string Unaries(size_t depth) { return std::string(depth, '!') + "x" + std::string(depth, '~'); }

TEST(Parser, DeepNestingIsLinear) {
    const size_t depth = 100000;
    CellRef plain;
    VisitsToParse(Nested(depth), &plain);
    EXPECT_EQ(TreeNotation(plain), "7");

    CellRef spine;
    VisitsToParse(Calls(depth), &spine);
    size_t length = 0;
    const Cell* c = spine.get();
    for (; is_pair(c); c = right_of(c), ++length) ASSERT_TRUE(atom_is(left_of(c), "f"));
    EXPECT_EQ(length, depth);
    EXPECT_TRUE(atom_is(c, "x"));

    CellRef unary;
    VisitsToParse(Unaries(depth), &unary);
    length = 0;
    for (c = unary.get(); is_pair(c); c = right_of(c)) ++length;
    EXPECT_EQ(length, 2 * depth);

    // Twice the depth may cost twice the scanning, never more: a rescanned group grows faster.
    for (auto make : {Nested, Calls, Unaries}) {
        uint64_t single = VisitsToParse(make(depth / 2));
        uint64_t twice = VisitsToParse(make(depth));
        EXPECT_LE(twice, single * 21 / 10) << make(3) << ": " << single << " then " << twice;
    }
}

TEST(Parser, MillionNestedParentheses) {
    const size_t depth = 1000000;
    CellRef tree = ParseExpression(std::string(depth, '(') + "f{x}" + std::string(depth, ')'));
    EXPECT_EQ(TreeNotation(tree), "((({ f) x) })");
}

}  // namespace
