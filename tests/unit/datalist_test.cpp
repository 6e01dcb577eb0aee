// Data lists: last-element scanning, front and last of both representations, flattening.
#include "core/datalist.h"

#include <gtest/gtest.h>

#include "core/chars.h"
#include "core/tables.h"
#include "front/loader.h"

namespace {

CellRef A(std::string bytes) { return CellRef::atom(std::move(bytes)); }
std::string code_of(const char* display) { return *character_table_find(display); }

class DataList : public ::testing::Test {
protected:
    void SetUp() override { LoadPrelude(); }
    void TearDown() override { reset_process_state(); }
};

TEST(ListLiteral, LastElement) {
    struct Case {
        const char* text;
        size_t start;
        const char* front;
    } cases[] = {
        {"[abc]", 3, "[ab]"},
        {"[a[b[c]]]", 2, "[a]"},
        {"[x[]]", 2, "[x]"},
        {"[[]]", 1, "[]"},
        {"[a]", 1, "[]"},
        // brackets that do not balance stay inside the text
        {"[]]]", 1, "[]"},
        {"[]", 1, "[]"},
        {"[", 1, "[]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LastElementStart(c.text), c.start) << c.text;
        EXPECT_EQ(LiteralFront(c.text), c.front) << c.text;
    }
    EXPECT_EQ(LiteralLast("[x[]]"), "[]");
    EXPECT_EQ(LiteralLast("[a[b[c]]]"), "[b[c]]");
    EXPECT_EQ(LiteralLast("[ab]"), code_of("b"));
    EXPECT_EQ(LiteralLast("[a ]"), code_of(" "));
}

TEST(ListLiteral, AppendWritesDisplayCharacters) {
    EXPECT_EQ(AppendElement("[a]", code_of("b")), "[ab]");
    EXPECT_EQ(AppendElement("[]", "[xy]"), "[[xy]]");
    EXPECT_EQ(AppendElement("[a]", "[]"), "[a[]]");
    EXPECT_EQ(AppendElement("[a]", "[b]"), "[a[b]]");  // the list holding b, not b
    EXPECT_EQ(MakeListLiteral("ab").bytes(), "[ab]");
    EXPECT_EQ(MakeListLiteral("").bytes(), "[]");
}

// A line feed has no tree code: it is the list holding that byte, and is written back bare.
TEST(ListLiteral, ByteWithoutTreeCode) {
    ASSERT_EQ(character_table_find("\n"), nullptr);
    EXPECT_EQ(LiteralLast("[a\n]"), "[\n]");
    EXPECT_EQ(AppendElement("[a]", "[\n]"), "[a\n]");
}

TEST_F(DataList, FrontAndLastOfBothRepresentations) {
    CellRef pair = apply(A("[a]"), A("[]"));
    EXPECT_EQ(DataFront(pair.get()).bytes(), "[a]");
    EXPECT_EQ(DataLast(pair.get()).bytes(), "[]");
    EXPECT_EQ(FlattenData(pair.get()).bytes(), "[a[]]");
    CellRef literal = A("[a[b[c]]]");
    EXPECT_EQ(DataFront(literal.get()).bytes(), "[a]");
    EXPECT_EQ(DataLast(literal.get()).bytes(), "[b[c]]");
    EXPECT_TRUE(FlattenData(literal.get()).same(literal));
    EXPECT_TRUE(IsEmptyData(A("[]").get()));
    EXPECT_FALSE(IsEmptyData(A("[a]").get()));
    EXPECT_FALSE(IsEmptyData(pair.get()));
}

TEST_F(DataList, ElementText) {
    EXPECT_EQ(ElementText(A("[]").get()), "");
    EXPECT_EQ(ElementText(A("[ab]").get()), "ab");
    EXPECT_EQ(ElementText(apply(apply(A("[]"), A(code_of("x"))), A("[y[]]")).get()), "x[y[]]");
}

// Taking a literal apart element by element and building it again as data pairs flattens back to
// the same bytes.
TEST_F(DataList, TakingApartAndFlatteningRoundTrips) {
    for (const char* text : {"[ab]", "[a[b[c]]]", "[x[]]", "[a b]", "[\n]", "[a\nb]", "[[a][]c[[d]]]"}) {
        std::vector<CellRef> elements;
        CellRef rest = A(text);
        while (!IsEmptyData(rest.get())) {
            elements.push_back(DataLast(rest.get()));
            rest = DataFront(rest.get());
        }
        CellRef rebuilt = A("[]");
        for (auto it = elements.rbegin(); it != elements.rend(); ++it) rebuilt = apply(rebuilt, *it);
        EXPECT_EQ(FlattenData(rebuilt.get()).bytes(), text);
    }
}

// The length is counted exactly, abbreviated elements included: a list exactly at the limit is
// built, one byte over it is not.
TEST_F(DataList, FlatTextWithinItsLimit) {
    for (const char* text : {"[ab]", "[a[b[c]]]", "[x[]]", "[\n]", "[a\nb]", "[[a][]c[[d]]]"}) {
        CellRef list = A("[]");
        CellRef rest = A(text);
        std::vector<CellRef> elements;
        for (; !IsEmptyData(rest.get()); rest = DataFront(rest.get())) elements.push_back(DataLast(rest.get()));
        for (auto it = elements.rbegin(); it != elements.rend(); ++it) list = apply(list, *it);
        size_t length = std::string_view(text).size();
        EXPECT_EQ(flat_text_within(list.get(), length), text);
        EXPECT_EQ(flat_text_within(list.get(), length - 1), std::nullopt) << text;
    }
}

// Forty doublings of one shared half stand for a list of 2^42 bytes in a graph of forty pairs:
// the limit is found without unfolding it.
TEST_F(DataList, SharedHalvesAreCountedNotUnfolded) {
    CellRef list = A("[ab]");
    for (int i = 0; i < 40; ++i) list = apply(list, list);
    uint64_t before = flatten_tasks_run();
    EXPECT_EQ(flat_text_within(list.get(), size_t{1} << 28), std::nullopt);
    // only the elements short enough to be abbreviated are flattened, to see whether they are
    EXPECT_LE(flatten_tasks_run() - before, 100u);

    CellRef small = A("[ab]");
    for (int i = 0; i < 8; ++i) small = apply(small, small);
    std::optional<std::string> text = flat_text_within(small.get(), 1024);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, FlattenData(small.get()).bytes());
    EXPECT_EQ(text->size(), 1024u);
}

// The chain [] a [] a ... of n elements, each applied to the list before it.
CellRef LeftNestedChain(size_t n) {
    CellRef list = A("[]");
    CellRef a = A(code_of("a"));
    CellRef empty = A("[]");
    for (size_t i = 0; i < n; ++i) list = apply(list, i % 2 ? a : empty);
    return list;
}

TEST_F(DataList, LongLeftNestedChainFlattensWithLinearWork) {
    const size_t n = 1000000;
    uint64_t before = flatten_tasks_run();
    std::string text = ElementText(LeftNestedChain(n / 2).get());
    uint64_t single = flatten_tasks_run() - before;
    ASSERT_EQ(text.size(), n / 4 * 3);

    before = flatten_tasks_run();
    text = ElementText(LeftNestedChain(n).get());
    uint64_t twice = flatten_tasks_run() - before;
    ASSERT_EQ(text.size(), n / 2 * 3);
    EXPECT_EQ(text.substr(0, 6), "[]a[]a");
    EXPECT_LE(twice, single * 21 / 10) << single << " then " << twice;
}

}  // namespace
