// The expression and result printers: atom forms, the three joining rules, long and shared graphs.
#include "core/printer.h"

#include <cstring>
#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace {

CellRef A(std::string_view bytes) { return CellRef::atom(bytes); }
CellRef P(CellRef f, CellRef x) { return apply(std::move(f), std::move(x)); }

CellRef Real(double d) {
    char bytes[9] = {' '};
    std::memcpy(bytes + 1, &d, sizeof d);
    return CellRef::atom(std::string_view(bytes, 9));
}

TEST(Printer, JoiningRules) {
    struct Case {
        const char* expected;
        CellRef cell;
    } cases[] = {
        {"(f a)", P(A("f"), A("a"))},
        {"(f a b)", P(P(A("f"), A("a")), A("b"))},
        {"(f (g a))", P(A("f"), P(A("g"), A("a")))},
        {"+a", P(A("+"), A("a"))},
        {"Kx", P(A("K"), A("x"))},
        {"(+ ab)", P(A("+"), A("ab"))},
        {"KAB", P(P(A("K"), A("A")), A("B"))},
        {"(+a b)", P(P(A("+"), A("a")), A("b"))},  // "a" does not join what follows
        {"(K ())", P(A("K"), A("]x"))},            // an argument printed "()" never joins
        {"(K [)", P(A("K"), A("["))},
        {"(() x y)", P(P(A(")m"), A("x")), A("y"))},  // "()" is not an open list
        {"(f a (g b) c)", P(P(P(A("f"), A("a")), P(A("g"), A("b"))), A("c"))},
        {"(h (f a) c)", P(P(A("h"), P(A("f"), A("a"))), A("c"))},
        {"(\x01x y)", P(P(A("\x01"), A("x")), A("y"))},  // control bytes join like letters
    };
    for (const Case& c : cases) EXPECT_EQ(printExpression(c.cell), c.expected);
}

TEST(Printer, ExpressionAtoms) {
    struct Case {
        const char* expected;
        CellRef cell;
    } cases[] = {
        {"real[1.500000e+00]", Real(1.5)},
        {"init[a[p]b]", make_counted_text("a\nb")},
        {"init[[q][r]\n]", make_counted_text(std::string_view("[]\0", 3))},
        {"init[]", make_counted_text("")},
        {"()", A("")},
        {"()", A(")loop")},
        {"()", A("]x")},
        {"[a[b]]", A("[a[b]]")},
        {"123", A("123")},
    };
    for (const Case& c : cases) EXPECT_EQ(printExpression(c.cell), c.expected);
}

TEST(Printer, ResultAtoms) {
    struct Case {
        const char* expected;
        CellRef cell;
    } cases[] = {
        {"9193", A("[]")},
        {"91919393", A("[[]]")},
        {"()", Real(1.5)},
        {"()", make_counted_text("ab")},
        {"()", A("\x05")},
        {"()", A("\x7f")},
        {"()", A("[" + std::string(998, 'a') + "]")},  // 1000 bytes: over the length limit
        {"()", A("[" + std::string(498, 'a') + "]")},  // 500 bytes, but 1000 characters written
        {"plus", A("plus")},
        {"(K 9193)", P(A("K"), A("[]"))},
    };
    for (const Case& c : cases) EXPECT_EQ(printResult(c.cell), c.expected);
    std::string fits = "[" + std::string(497, 'a') + "]";
    EXPECT_EQ(printResult(A(fits)).size(), 998u);
}

TEST(Printer, DisplayFormSwapsNulAndLineFeed) {
    EXPECT_EQ(display_form(std::string_view("a\nb\0c", 5)), std::string("a\0b\nc", 5));
}

// The joining rules applied bottom-up to whole texts, as the rules are stated.
std::string PrintNaively(const CellRef& e, const std::function<std::string(const CellRef&)>& atom) {
    if (e.is_atom()) return atom(e);
    std::string l = PrintNaively(e.left(), atom), r = PrintNaively(e.right(), atom);
    auto joins_after = [](unsigned char c) {
        return c != 0 &&
               (std::strchr("{,}~!@#$%^&*<>-|+/=\\.`'\":;?", c) || (c >= 'A' && c <= 'Z') || c < 32 || c > 126);
    };
    if (l[0] == '(' && l.size() > 1 && l[1] != ')') return l.substr(0, l.size() - 1) + " " + r + ")";
    if (l[0] != '(' && joins_after(l.back()) && r.size() == 1 && r[0] != 0 && !std::strchr(" ()[]", r[0])) return l + r;
    return "(" + l + " " + r + ")";
}

TEST(Printer, StreamsTheSameBytesAsTheRules) {
    const char* atoms[] = {"f", "a", "ab", "+", "K", "A", "\x01", "[]", ")z", "", "7", "{"};
    std::mt19937 random(7);
    std::function<CellRef(int)> tree = [&](int depth) {
        if (depth == 0 || random() % 4 == 0) return A(atoms[random() % std::size(atoms)]);
        CellRef f = tree(depth - 1);
        return P(std::move(f), tree(depth - 1));
    };
    for (int i = 0; i < 2000; ++i) {
        CellRef e = tree(6);
        EXPECT_EQ(printExpression(e), PrintNaively(e, [](const CellRef& a) { return printExpression(a); }));
        EXPECT_EQ(printResult(e), PrintNaively(e, [](const CellRef& a) { return printResult(a); }));
    }
}

TEST(Printer, LongChainsPrintWithoutRecursionUpToTheLimit) {
    constexpr int kLength = 10'000'000;
    {
        CellRef left = A("f");
        CellRef x = A("x");
        for (int i = 0; i < kLength; ++i) left = P(std::move(left), x);
        std::string printed = printExpression(left);
        ASSERT_EQ(printed.size(), kPrintLimit + 3);
        EXPECT_EQ(printed.substr(0, 8), "(f x x x");
        EXPECT_EQ(printed.substr(kPrintLimit), "...");
    }
    {
        CellRef right = A("x");
        CellRef g = A("g");
        for (int i = 0; i < kLength / 10; ++i) right = P(g, std::move(right));
        std::string printed = printResult(right);
        EXPECT_EQ(printed.substr(0, 9), "(g (g (g ");
        EXPECT_EQ(printed.size(), kPrintLimit + 3);
    }
    CellRef nested = A("x");
    std::string expected = "x";
    for (int i = 0; i < 1000; ++i) {
        nested = P(A("g"), std::move(nested));
        expected = "(g " + expected + ")";
    }
    EXPECT_EQ(printExpression(nested), expected);
}

TEST(Printer, RepeatedSharingIsCutPromptly) {
    CellRef doubled = A("x");
    for (int i = 0; i < 40; ++i) doubled = P(P(A("V"), doubled), doubled);
    std::string printed = printResult(doubled);
    EXPECT_EQ(printed.size(), kPrintLimit + 3);
    EXPECT_EQ(printed.substr(0, 6), "(V (V ");
    EXPECT_EQ(printed.substr(kPrintLimit), "...");

    CellRef small = A("x");
    for (int i = 0; i < 3; ++i) small = P(P(A("f"), small), small);
    EXPECT_EQ(printExpression(small), "(f (f (f x x) (f x x)) (f (f x x) (f x x)))");
}

// For lisp: the whole text up to the limit, nothing past it, and a graph that unfolds far past
// it found out without printing much more than the limit.
TEST(Printer, WholeTextWithinALimitOrNothing) {
    CellRef small = A("x");
    for (int i = 0; i < 3; ++i) small = P(P(A("f"), small), small);
    const std::string text = "(f (f (f x x) (f x x)) (f (f x x) (f x x)))";
    EXPECT_EQ(print_expression_within(small, text.size()), text);
    EXPECT_EQ(print_expression_within(small, text.size() - 1), std::nullopt);

    CellRef doubled = A("x");
    for (int i = 0; i < 60; ++i) doubled = P(P(A("V"), doubled), doubled);
    EXPECT_EQ(print_expression_within(doubled, 1000), std::nullopt);
    EXPECT_EQ(print_expression_within(A(std::string(2000, 'a')), 1000), std::nullopt);
}

}  // namespace
