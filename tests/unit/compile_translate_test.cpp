// Translation passes, name lists and the sharing set.
#include <gtest/gtest.h>

#include "compile/translate.h"
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
CellRef List(std::initializer_list<const char*> names) {
    NameSet set(names.begin(), names.end());
    return NameList(set);
}

TEST(Translate, LayoutText) {
    EXPECT_EQ(LayoutText(),
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
    for (const Case& c : cases) EXPECT_EQ(TreeNotation(QuoteExpansion(c.body)), c.expected);
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
    for (const Case& c : cases) EXPECT_EQ(TreeNotation(PairPatternExpansion(c.body)), c.expected);
}

TEST(Translate, BindersPlacesAndReferences) {
    // acc is bound twice and listed once; a and b are letters; the references skip marks,
    // letters, numerals, literals and mixed words.
    CellRef body = Lambda(
        "acc",
        Lambda("a", Wing(A("acc"), A("12"), Wing(A("_"), A("b"), P(P(A("plus"), A("acc")), P(A("Kx"), A("[q]")))))));
    EXPECT_EQ(TreeNotation(Places(body)), "(_ (acc ()))");
    EXPECT_EQ(TreeNotation(BoundLetters(body)), "(a ())");
    EXPECT_EQ(TreeNotation(References(body)), "(_ (acc (plus ())))");
    CellRef odd = P(P(A("\x01"), A("K")), P(A("+"), P(A("\xff"), A("a"))));
    EXPECT_EQ(TreeNotation(References(odd)), "(\x01 (+ (K (\xff ()))))");
}

TEST(Translate, RenameIgnoresScopes) {
    CellRef body = Lambda("acc", P(P(A("plus"), A("acc")), Lambda("acc", A("acc"))));
    EXPECT_EQ(TreeNotation(Rename(body, A("c"), "acc")), "((\\ c) ((plus c) ((\\ c) c)))");
    Renaming both{{"[+]", A("a")}, {"+", A("a")}, {"zz", A("b")}};
    EXPECT_EQ(TreeNotation(RenameAll(P(P(A("+"), A("zz")), A("[+]")), both)), "((a b) a)");
    CellRef untouched = P(A("f"), A("g"));
    EXPECT_TRUE(Rename(untouched, A("c"), "acc").same(untouched));
}

TEST(Translate, NameLists) {
    EXPECT_EQ(TreeNotation(ListSingleton(A("x"))), "(x ())");
    EXPECT_EQ(TreeNotation(ListMerge(List({"a", "c"}), List({"b", "c", "d"}))), "(a (b (c (d ()))))");
    EXPECT_EQ(TreeNotation(ListMerge(List({}), List({"b"}))), "(b ())");
    EXPECT_EQ(TreeNotation(ListInsert(List({"ab", "b"}), A("a"))), "(a (ab (b ())))");
    EXPECT_EQ(TreeNotation(ListInsert(List({"ab", "b"}), A("b"))), "(ab (b ()))");
    EXPECT_EQ(TreeNotation(ListMerge(List({"\xff"}), List({"z"}))), "(z (\xff ()))");  // bytes are unsigned
    EXPECT_TRUE(ListMember(List({"a", "b"}), "b"));
    EXPECT_FALSE(ListMember(List({"a", "b"}), "c"));
    EXPECT_EQ(ListCount(List({"a", "b", "c"})), 3u);
    EXPECT_EQ(ListCount(List({})), 0u);
}

TEST(Share, EqualSubexpressionsBecomeOneCell) {
    EmptySharingSet();
    CellRef first = P(A("f"), P(A("g"), A("a")));
    CellRef second = P(A("h"), P(A("g"), A("a")));
    CellRef shared_first = Share(first);
    CellRef shared_second = Share(second);
    EXPECT_TRUE(shared_first.same(first));  // nothing equal was there: the cell itself joins
    EXPECT_TRUE(shared_second.right().same(shared_first.right()));
    EXPECT_TRUE(Share(P(A("f"), P(A("g"), A("a")))).same(first));
    EXPECT_EQ(sharing_set().size(), 7u);  // f g a h (g a) (f (g a)) (h (g a))
    EmptySharingSet();
    EXPECT_TRUE(sharing_set().empty());
}

TEST(Share, PruningKeepsDataAndValuesWaitingForArguments) {
    LoadPrelude();
    EmptySharingSet();
    CellRef redex = P(P(A("K"), A("x")), A("y"));
    CellRef lambda = Lambda("x", redex);
    Share(P(A("I"), A("[q]")));
    CellRef shared_lambda = Share(lambda);
    Share(P(A("[q]"), A("[r]")));
    PruneSharingSet();
    std::vector<std::string> kept;
    for (const CellRef& member : sharing_set()) kept.push_back(TreeNotation(member));
    EXPECT_EQ(kept, (std::vector<std::string>{"I", "K", "[q]", "[r]", "\\", "x", "y", "(K x)", "([q] [r])", "(\\ x)",
                                              "((\\ x) ((K x) y))"}));
    // A pruned part of a kept member is not entered again when the member is found whole.
    CellRef copy = Lambda("x", P(P(A("K"), A("x")), A("y")));
    EXPECT_TRUE(Share(copy).same(shared_lambda));
    EXPECT_EQ(sharing_set().size(), kept.size());
}

// Quadratic work in the depth would not finish here.
TEST(Translate, MillionDeepBodiesPass) {
    constexpr int kDepth = 1'000'000;
    CellRef chain = A("fn");
    CellRef x = A("acc");
    for (int i = 0; i < kDepth; ++i) chain = P(std::move(chain), i % 2 ? x : A("[q]"));
    CellRef body = Lambda("acc", std::move(chain));
    EXPECT_TRUE(QuoteExpansion(body).same(body));
    EXPECT_TRUE(PairPatternExpansion(body).same(body));
    EXPECT_EQ(CollectBinders(body).places.size(), 1u);
    EXPECT_EQ(ReferenceNames(body).size(), 2u);
    CellRef renamed = Rename(body, A("c"), "acc");
    EXPECT_EQ(ReferenceNames(renamed), NameSet{"fn"});
    EmptySharingSet();
    CellRef shared = Share(renamed);
    EXPECT_TRUE(Share(Rename(body, A("c"), "acc")).same(shared));
    CellRef half = A("fn");
    for (int i = 0; i < kDepth / 2; ++i) half = P(std::move(half), A(i % 2 ? "c" : "[q]"));
    CellRef inner = shared.right();
    for (int i = 0; i < kDepth / 2; ++i) inner = inner.left();
    EXPECT_TRUE(Share(half).same(inner));
    EmptySharingSet();
}

}  // namespace
