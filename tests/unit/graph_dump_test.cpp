// The canonical form of result graphs: structure, sharing by back-reference, atoms as values.
#include "core/graph_dump.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::string canonical(const CellRef& root) {
    std::FILE* f = std::tmpfile();
    write_canonical_graph(f, root.get());
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), f), text.size());
    std::fclose(f);
    return text;
}

TEST(GraphDump, SharingShowsAndAtomsAreValues) {
    CellRef k = CellRef::atom("K");
    CellRef shared = apply(k, CellRef::atom("1"));
    struct Case {
        const char* what;
        CellRef graph;
        const char* form;
    } cases[] = {
        {"an atom", CellRef::atom("12"), "\"12\"\n"},
        {"bytes beyond printable ASCII", CellRef::atom(std::string_view("a\"\\\n\x80", 5)), "\"a\\22\\5c\\0a\\80\"\n"},
        {"a shared pair", apply(shared, shared), "#0 (\n#1 (\n\"K\"\n\"1\"\n^1\n"},
        {"equal pairs made apart", apply(apply(k, CellRef::atom("1")), apply(k, CellRef::atom("1"))),
         "#0 (\n#1 (\n\"K\"\n\"1\"\n#2 (\n\"K\"\n\"1\"\n"},
        {"one atom twice", apply(k, k), "#0 (\n\"K\"\n\"K\"\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(canonical(c.graph), c.form) << c.what;
}

TEST(GraphDump, MillionDeepSpineWalksWithoutRecursion) {
    CellRef g = CellRef::atom("0");
    CellRef leaf = CellRef::atom("x");
    constexpr int kDepth = 1000000;
    for (int i = 0; i < kDepth; ++i) g = apply(std::move(g), leaf);
    std::string text = canonical(g);
    EXPECT_TRUE(text.starts_with("#0 (\n#1 ("));
    // The innermost pair, then the right children from the inside out.
    EXPECT_EQ(text.size(), text.find("#999999 (\n\"0\"\n") + 14 + kDepth * 4);
}

}  // namespace
