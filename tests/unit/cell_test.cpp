// Cell header bits, reference counts and byte reading by atom kind.
#include "core/cell.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(Cell, FreshHeadersAndCounts) {
    CellRef a = CellRef::atom("abc");
    EXPECT_EQ(top_byte(a.get()), 0x80);
    EXPECT_EQ(ref_count(a.get()), 1u);
    EXPECT_EQ(extent_of(a.get()), 0u);  // names get no extent until classified
    CellRef p = CellRef::pair(a, a);
    EXPECT_EQ(top_byte(p.get()), 0x00);
    EXPECT_EQ(ref_count(a.get()), 3u);
    {
        CellRef copy = p;
        EXPECT_EQ(ref_count(p.get()), 2u);
    }
    EXPECT_EQ(ref_count(p.get()), 1u);
    p = p;  // self-assignment keeps the count
    EXPECT_EQ(ref_count(p.get()), 1u);
}

TEST(Cell, HeaderFieldsAreWhereProgramsReadThem) {
    CellRef n = CellRef::atom("12345");
    uint64_t h = n.get()->header;
    EXPECT_EQ(h & 0x3FFFFFFF, 1u);         // count
    EXPECT_EQ((h >> 30) & 0x3FFFFFF, 5u);  // extent: numeral length
    EXPECT_EQ(h >> 63, 1u);                // atom
    CellRef name = CellRef::atom("abc");
    set_extent(name.get(), 0x3FFFFFF);
    EXPECT_EQ(name.get()->header & 0x3FFFFFFF, 1u);  // count untouched
    EXPECT_EQ(top_byte(name.get()), 0x80);           // top byte untouched
    set_top_byte(name.get(), 0xF5);
    EXPECT_EQ((name.get()->header >> 30) & 0x3FFFFFF, 0x3FFFFFFu);
    EXPECT_EQ((name.get()->header >> 56) & 0x3F, 0x35u);  // arity bits: 1 + 52
    EXPECT_EQ(CellRef::atom("[ab]").get()->header >> 30 & 0x3FFFFFF, 4u);
}

TEST(Cell, ReadsBytesByKind) {
    struct Case {
        std::string stored;
        size_t expected_length;
    } cases[] = {
        {"()", 2},
        {std::string("(b)xy") + "junk", 5},
        {"(~)" + std::string(63, 'q'), 66},
        {"(a_)" + std::string(64, 'q'), 68},
        {"12345", 5},
        {"[a[b]]", 6},
        {"plus", 4},
    };
    for (const Case& c : cases) {
        CellRef a = CellRef::atom(std::string_view(c.stored));
        EXPECT_EQ(a.bytes().size(), c.expected_length) << c.stored;
    }
    double d;
    uint64_t bits = 0x0000000100000000ull;  // a double whose bytes hold NULs
    std::memcpy(&d, &bits, 8);
    std::string real = " " + std::string(reinterpret_cast<const char*>(&d), 8);
    EXPECT_EQ(CellRef::atom(std::string_view(real)).bytes(), real);
}

TEST(Cell, CountedTextPrefixUsesFewestDigits) {
    EXPECT_EQ(counted_prefix(0), "()");
    EXPECT_EQ(counted_prefix(2), "(b)");
    EXPECT_EQ(counted_prefix(63), "(~)");
    EXPECT_EQ(counted_prefix(64), "(a_)");
    CellRef t = make_counted_text(std::string_view("a\0b", 3));
    EXPECT_EQ(counted_length(t.get()), 3u);
    EXPECT_EQ(counted_payload(t.get()), std::string_view("a\0b", 3));
}

TEST(Cell, ReleasesLongChainsWithoutRecursion) {
    size_t before = live_cells();
    {
        CellRef chain = CellRef::atom("K");
        for (int i = 0; i < 10'000'000; ++i) chain = CellRef::pair(std::move(chain), CellRef::atom("x"));
    }
    EXPECT_EQ(live_cells(), before);
}

TEST(CellDeath, LeftOfAnAtomAborts) {
    CellRef a = CellRef::atom("a");
    EXPECT_DEATH(a.left(), "ASSERTION FAILED:b:");
}

}  // namespace

namespace {

TEST(Cell, AppendsInPlaceOnlyForTheSoleOwner) {
    // Growing past the pooled sizes: the sole owner's text moves rarely, as its block doubles.
    CellRef text = make_counted_text(std::string(300, 'a'));
    int moves = 0;
    for (int i = 0; i < 1000; ++i) {
        CellRef grown = append_counted_text(text.get(), true, "b");
        moves += !grown.same(text);
        text = std::move(grown);
    }
    EXPECT_LE(moves, 3);
    EXPECT_EQ(counted_payload(text.get()), std::string(300, 'a') + std::string(1000, 'b'));

    // A shared text is never changed.
    CellRef shared = make_counted_text("xyz");
    CellRef other = shared;
    CellRef joined = append_counted_text(shared.get(), false, "!");
    EXPECT_FALSE(joined.same(shared));
    EXPECT_EQ(counted_payload(shared.get()), "xyz");
    EXPECT_EQ(counted_payload(joined.get()), "xyz!");

    // The length prefix gaining a digit moves the payload.
    CellRef edge = make_counted_text(std::string(63, 'q'));
    CellRef longer = append_counted_text(edge.get(), true, "r");
    EXPECT_EQ(atom_bytes(longer.get()).substr(0, 4), "(a_)");
    EXPECT_EQ(counted_payload(longer.get()), std::string(63, 'q') + "r");
}

}  // namespace
