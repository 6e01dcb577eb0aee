// Translation passes, binder and reference collection, and the sharing set.
#include <gtest/gtest.h>

#include "compile/translate.h"
#include "core/printer.h"
#include "core/share.h"
#include "front/loader.h"
#include "tree_notation.h"

namespace {

CellRef A(std::string_view bytes) { return CellRef::atom(bytes); }
CellRef P(CellRef f, CellRef x) { return apply(std::move(f), std::move(x)); }
CellRef Lambda(std::string_view v, CellRef body) { return P(P(A("\\"), A(v)), std::move(body)); }
CellRef Wing(CellRef key, CellRef value, CellRef body) {
    return P(P(P(A("{"), std::move(key)), std::move(value)), std::move(body));
}

TEST(Translate, layout_text) {
    EXPECT_EQ(layout_text(),
              "[[addrinfo[ai_flags[4]][ai_family[4]][ai_socktype[4]][ai_protocol[4]][ai_addrlen[8]]"
              "[ai_canonname[8]][ai_addr[8]][ai_next[8]]][dirent[d_ino[4]][d_off[4]][d_reclen[2]][[6]]"
              "[d_namlen[8]][d_type[4]][d_name[261]][[7]]][fd_set[[520]]][size_t[[8]]][socklen_t[[4]]]"
              "[time_t[[8]]]]");
}

TEST(Translate, QuoteCarriesSourceAndValue) {
    struct Case {
        CellRef body;
        const char* expected;
    } cases[] = {
        {P(A("`"), P(A("f"), A("a"))), "((V [(f a)]) (f a))"},
        {P(A("`"), P(A("`"), A("x"))), "((V [`x]) ((V [x]) x))"},  // the outer text is the unexpanded inner quote
        {P(A("g"), P(A("`"), A("+"))), "(g ((V [+]) +))"},
        {P(A("f"), A("`")), "(f `)"},
    };
    for (const Case& c : cases) EXPECT_EQ(TreeNotation(quote_expansion(c.body)), c.expected);
}

// Only reports cut long texts: a quote's text is whole up to the size limit texts have, and
// past it "Z", as a builtin answers for a text too large to build.
TEST(Translate, QuoteTextIsWholeOrZ) {
    CellRef source = A("f");
    for (int i = 0; i < 4; ++i) source = P(source, A("ab"));  // printed "(f ab ab ab ab)": 15 bytes
    struct Case {
        size_t limit;
        const char* expected;
    } cases[] = {
        {15, "((V [(f ab ab ab ab)]) ((((f ab) ab) ab) ab))"},
        {14, "((V Z) ((((f ab) ab) ab) ab))"},
    };
    for (const Case& c : cases) {
        QuoteTexts texts(c.limit);
        EXPECT_EQ(TreeNotation(texts.write(texts.expand(P(A("`"), source)))), c.expected) << c.limit;
    }
    std::string long_name(kPrintLimit + 10, 'n');
    CellRef written = quote_expansion(P(A("`"), P(A("f"), A(long_name))));
    EXPECT_EQ(TreeNotation(written), "((V [(f " + long_name + ")]) (f " + long_name + "))");
}

TEST(Translate, PairPatternsBindBothComponents) {
    struct Case {
        CellRef body;
        const char* expected;
    } cases[] = {
        {Wing(P(A("p"), A("q")), A("v"), A("b")), "((({ q) v) ((({ p) (q K)) ((({ q) (q H)) b)))"},
        {Wing(P(A("p"), A("[+]")), A("v"), A("b")), "((({ [+]) v) ((({ p) (+ K)) ((({ [+]) (+ H)) b)))"},
        {Wing(P(A("p"), A("1")), A("v"), A("b")), "((({ (p 1)) v) b)"},
        {Wing(P(P(A("p"), A("q")), A("r")), A("v"), A("b")), "((({ ((p q) r)) v) b)"},
        {Lambda("x", Wing(P(A("p"), A("q")), A("x"), A("p"))),
         "((\\ x) ((({ q) x) ((({ p) (q K)) ((({ q) (q H)) p))))"},
    };
    for (const Case& c : cases) EXPECT_EQ(TreeNotation(pair_pattern_expansion(c.body)), c.expected);
}

TEST(Translate, BindersPlacesAndReferences) {
    // acc is bound twice and listed once; a and b are letters; the references skip marks,
    // letters, numerals, literals and mixed words.
    CellRef body = Lambda(
        "acc",
        Lambda("a", Wing(A("acc"), A("12"), Wing(A("_"), A("b"), P(P(A("plus"), A("acc")), P(A("Kx"), A("[q]")))))));
    Binders binders = collect_binders(body);
    EXPECT_EQ(binders.places, (NameSet{"_", "acc"}));
    EXPECT_EQ(binders.letters, NameSet{"a"});
    EXPECT_EQ(reference_names(body), (NameSet{"_", "acc", "plus"}));
    CellRef odd = P(P(A("\x01"), A("K")), P(A("+"), P(A("\xff"), A("a"))));
    EXPECT_EQ(reference_names(odd), (NameSet{"\x01", "+", "K", "\xff"}));  // bytewise: \xff sorts last
}

TEST(Translate, RenameIgnoresScopes) {
    CellRef body = Lambda("acc", P(P(A("plus"), A("acc")), Lambda("acc", A("acc"))));
    EXPECT_EQ(TreeNotation(rename_all(body, Renaming{{"acc", A("c")}})), "((\\ c) ((plus c) ((\\ c) c)))");
    Renaming both{{"[+]", A("a")}, {"+", A("a")}, {"zz", A("b")}};
    EXPECT_EQ(TreeNotation(rename_all(P(P(A("+"), A("zz")), A("[+]")), both)), "((a b) a)");
    CellRef untouched = P(A("f"), A("g"));
    EXPECT_TRUE(rename_all(untouched, Renaming{{"acc", A("c")}}).same(untouched));
}

TEST(Share, EqualSubexpressionsBecomeOneCell) {
    empty_sharing_set();
    CellRef first = P(A("f"), P(A("g"), A("a")));
    CellRef second = P(A("h"), P(A("g"), A("a")));
    CellRef shared_first = share(first);
    CellRef shared_second = share(second);
    EXPECT_TRUE(shared_first.same(first));  // nothing equal was there: the cell itself joins
    EXPECT_TRUE(shared_second.right().same(shared_first.right()));
    EXPECT_TRUE(share(P(A("f"), P(A("g"), A("a")))).same(first));
    EXPECT_EQ(sharing_set().size(), 7u);  // f g a h (g a) (f (g a)) (h (g a))
    empty_sharing_set();
    EXPECT_TRUE(sharing_set().empty());
}

TEST(Share, PruningKeepsDataAndValuesWaitingForArguments) {
    LoadPrelude();
    empty_sharing_set();
    CellRef redex = P(P(A("K"), A("x")), A("y"));
    CellRef lambda = Lambda("x", redex);
    share(P(A("I"), A("[q]")));
    CellRef shared_lambda = share(lambda);
    share(P(A("[q]"), A("[r]")));
    prune_sharing_set();
    std::vector<std::string> kept;
    for (const CellRef& member : sharing_set()) kept.push_back(TreeNotation(member));
    EXPECT_EQ(kept, (std::vector<std::string>{"I", "K", "[q]", "[r]", "\\", "x", "y", "(K x)", "([q] [r])", "(\\ x)",
                                              "((\\ x) ((K x) y))"}));
    // A pruned part of a kept member is not entered again when the member is found whole.
    CellRef copy = Lambda("x", P(P(A("K"), A("x")), A("y")));
    EXPECT_TRUE(share(copy).same(shared_lambda));
    EXPECT_EQ(sharing_set().size(), kept.size());
}

// Quadratic work in the depth would not finish here.
TEST(Translate, MillionDeepBodiesPass) {
    constexpr int kDepth = 1'000'000;
    CellRef chain = A("fn");
    CellRef x = A("acc");
    for (int i = 0; i < kDepth; ++i) chain = P(std::move(chain), i % 2 ? x : A("[q]"));
    CellRef body = Lambda("acc", std::move(chain));
    EXPECT_TRUE(quote_expansion(body).same(body));
    EXPECT_TRUE(pair_pattern_expansion(body).same(body));
    EXPECT_EQ(collect_binders(body).places.size(), 1u);
    EXPECT_EQ(reference_names(body).size(), 2u);
    CellRef renamed = rename_all(body, Renaming{{"acc", A("c")}});
    EXPECT_EQ(reference_names(renamed), NameSet{"fn"});
    empty_sharing_set();
    CellRef shared = share(renamed);
    EXPECT_TRUE(share(rename_all(body, Renaming{{"acc", A("c")}})).same(shared));
    CellRef half = A("fn");
    for (int i = 0; i < kDepth / 2; ++i) half = P(std::move(half), A(i % 2 ? "c" : "[q]"));
    CellRef inner = shared.right();
    for (int i = 0; i < kDepth / 2; ++i) inner = inner.left();
    EXPECT_TRUE(share(half).same(inner));
    empty_sharing_set();
}

}  // namespace
