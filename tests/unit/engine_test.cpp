// Classification and reduction on graphs built directly over the Prelude's definitions.
#include <pthread.h>

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "core/classify.h"
#include "core/tables.h"
#include "engine/reducer.h"
#include "front/loader.h"
#include "front/parser.h"

namespace {

CellRef A(const char* s) { return CellRef::atom(s); }
CellRef P(CellRef f, CellRef x) { return apply(std::move(f), std::move(x)); }
CellRef lambda(const char* v, CellRef body) { return P(P(A("\\"), A(v)), std::move(body)); }

class Engine : public ::testing::Test {
protected:
    void SetUp() override { LoadPrelude(); }
    void define(const char* name, CellRef body) { set_definition(name, std::move(body)); }
    // Parses a normalised expression of the language.
    static CellRef parse(const char* text) { return ParseExpression(text); }
};

TEST_F(Engine, ClassifiesAtoms) {
    struct Case {
        const char* atom;
        uint8_t top;
        uint32_t extent;
    } cases[] = {
        {")", 0xB5, 0},                                   // cycle mark: arity 1, reduced
        {"]x", 0xB5, 0},                                  // settle mark
        {"[]", 0xC0, 2},                                  // data, length kept
        {"[ab]", 0xC0, 4},    {"K", 0x80 | 54, 0},        // two leading lambdas
        {"I", 0x80 | 53, 0},  {"c", 0x80 | 63, 1u << 2},  // lambda variable: ceiling arity, itself free
        {"17", 0x80 | 53, 2},                             // numeral: arity 1, length kept
    };
    for (const Case& c : cases) {
        CellRef a = A(c.atom);
        classify(a.get());
        EXPECT_EQ(top_byte(a.get()), c.top) << c.atom;
        EXPECT_EQ(extent_of(a.get()), c.extent) << c.atom;
    }
}

TEST_F(Engine, ClassifiesPairs) {
    CellRef k = A("K");
    EXPECT_EQ(arity(P(A("K"), A("a")).get()), 1);
    EXPECT_EQ(arity(P(P(A("K"), A("a")), A("b")).get()), 0);
    EXPECT_EQ(arity(P(P(P(A("K"), A("a")), A("b")), A("c")).get()), -1);
    CellRef data = P(A("[a]"), A("[]"));
    EXPECT_TRUE(is_data(data.get()));
    EXPECT_EQ(extent_of(data.get()), 5u);
    CellRef mixed = P(A("[a]"), A("5"));
    EXPECT_FALSE(is_data(mixed.get()));
    EXPECT_EQ(arity(mixed.get()), 0);
    CellRef lam = lambda("c", A("c"));
    EXPECT_EQ(arity(lam.get()), 1);
    EXPECT_EQ(free_variables(lam.get()), 0u);
    EXPECT_TRUE(is_normal_form(lam.get()));
    // An argument that is a redex makes the application unreduced even when it wants more.
    CellRef pending = P(A("K"), P(P(A("K"), A("I")), A("I")));
    EXPECT_EQ(arity(pending.get()), 1);
    EXPECT_FALSE(is_normal_form(pending.get()));
    // Binding node: free(B) plus free(R) without v.
    CellRef wing = P(P(P(A("{"), A("v")), A("b")), P(A("v"), A("c")));
    EXPECT_EQ(free_variables(wing.get()), (1u << 1) | (1u << 2));
    EXPECT_EQ(arity(wing.get()), 0);
}

TEST_F(Engine, ArityHasACeilingOfEleven) {
    CellRef body = A("Z");
    for (int i = 0; i < 12; ++i) body = lambda("a", std::move(body));
    define("twelve", body);
    CellRef name = A("twelve");
    EXPECT_EQ(arity(name.get()), 11);
    EXPECT_EQ(arity(P(name, A("K")).get()), 11);
}

TEST_F(Engine, ClassifiesDeepChainsWithoutRecursion) {
    CellRef chain = A("[]");
    for (int i = 0; i < 1'000'000; ++i) chain = P(std::move(chain), A("[a]"));
    EXPECT_TRUE(is_data(chain.get()));
}

TEST_F(Engine, LazyHeadIsNeverForcedForUnusedArguments) {
    define("loop", A("loop"));  // demands itself
    CellRef result = evaluate(P(P(A("K"), A("5")), A("loop")));
    EXPECT_EQ(result.bytes(), "5");
}

TEST_F(Engine, StrictHeadEvaluatesItsFirstArgumentFirst) {
    define("plus", lambda("a", lambda("b", A("Z"))));  // the builtin's placeholder
    define("first", A("first"));
    define("second", A("second"));
    CellRef result = evaluate(P(P(A("plus"), A("first")), A("second")));
    EXPECT_EQ(result.bytes(), ")first");
}

TEST_F(Engine, OverAppliedDefinitionIsEvaluatedThenApplied) {
    define("f", lambda("x", A("x")));
    CellRef result = evaluate(P(P(A("f"), A("I")), A("7")));
    EXPECT_EQ(result.bytes(), "7");
}

TEST_F(Engine, NumeralsTextsAndRealsAsTrees) {
    CellRef zero = evaluate(P(A("0"), A("5")));
    ASSERT_TRUE(zero.is_pair());
    EXPECT_EQ(zero.left().bytes(), "K");
    EXPECT_EQ(zero.right().bytes(), "5");

    // One byte: ((V lo) hi) with I for 1 bits and H for 0 bits; "A" is 0x41.
    CellRef byte = evaluate(P(make_counted_text("A"), A("K")));
    ASSERT_TRUE(byte.is_pair());
    CellRef lo = byte.left().right();                          // (J (J b0 b1) (J b2 b3))
    EXPECT_EQ(lo.left().right().left().right().bytes(), "I");  // bit 0
    EXPECT_EQ(lo.left().right().right().bytes(), "H");         // bit 1
    CellRef hi = byte.right();
    EXPECT_EQ(hi.right().left().right().bytes(), "I");         // bit 6
    EXPECT_EQ(hi.left().right().left().right().bytes(), "H");  // bit 4

    CellRef split = evaluate(P(make_counted_text("abcde"), A("K")));
    EXPECT_EQ(counted_payload(split.left().right().get()), "abcd");
    EXPECT_EQ(counted_payload(split.right().get()), "e");

    CellRef empty = evaluate(P(make_counted_text(""), A("K")));
    EXPECT_EQ(empty.bytes(), "Z");
}

TEST_F(Engine, RealTreeHasSixtyFourLeaves) {
    double v = -0.0;  // only the sign bit is set
    std::string real = " " + std::string(reinterpret_cast<const char*>(&v), 8);
    CellRef tree = evaluate(P(CellRef::atom(std::string_view(real)), A("H")));
    // H selects the upper half, bits 32..63; its upper half again holds bit 63.
    CellRef node = tree;
    for (int i = 0; i < 5; ++i) node = node.right();
    EXPECT_EQ(node.bytes(), "K");
    CellRef lowest = tree;
    for (int i = 0; i < 5; ++i) lowest = lowest.left().right();
    EXPECT_EQ(lowest.bytes(), "H");  // bit 32
}

TEST_F(Engine, ParameterlessDefinitionsSettleOnce) {
    define("loop", P(A("I"), A("loop")));
    EXPECT_EQ(evaluate(A("loop")).bytes(), ")loop");

    define("once", P(P(A("K"), A("3")), A("4")));
    EXPECT_EQ(evaluate(A("once")).bytes(), "3");
    EXPECT_EQ(find_definition("once")->bytes(), "3");
    EXPECT_EQ(definition_state("once"), DefinitionState::Settled);

    define("fn", P(A("I"), lambda("x", A("x"))));
    CellRef value = evaluate(A("fn"));
    EXPECT_EQ(shape(value.get()), Shape::Lambda);
    EXPECT_EQ(find_definition("fn")->left().bytes(), "I");
    EXPECT_EQ(arity(A("fn").get()), 0);
}

TEST_F(Engine, SubstitutionCopiesOnlyPathsToTheVariable) {
    CellRef untouched = P(A("K"), A("I"));
    CellRef body = P(untouched, A("x"));
    CellRef result = substitute(body, A("5"), 'x');
    EXPECT_TRUE(result.left().same(untouched));
    EXPECT_EQ(result.right().bytes(), "5");
    // A binding of the same variable hides the body but not the bound value.
    CellRef wing = P(P(P(A("{"), A("x")), A("x")), A("x"));
    CellRef bound = substitute(wing, A("5"), 'x');
    EXPECT_EQ(bound.left().right().bytes(), "5");
    EXPECT_EQ(bound.right().bytes(), "x");
}

// Runs work to its end on a thread whose stack is only 1 MiB.
void on_small_stack(const std::function<void()>& work) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, size_t{1} << 20), 0);
    pthread_t thread;
    auto run = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST_F(Engine, SubstitutionIntoAMillionDeepBodyKeepsTheNativeStackFlat) {
    constexpr int kDepth = 1000000;
    // The variable at the bottom, reached alternately through left and right parts and binders.
    CellRef body = A("x");
    for (int i = 0; i < kDepth; ++i) {
        if (i % 3 == 0)
            body = P(std::move(body), A("K"));
        else if (i % 3 == 1)
            body = P(A("K"), std::move(body));
        else
            body = lambda("y", std::move(body));
    }
    classify(body.get());
    CellRef result;
    on_small_stack([&] { result = substitute(body, A("5"), 'x'); });
    ASSERT_TRUE(result);
    EXPECT_EQ(free_variables(result.get()), 0u);
    Cell* c = result.get();
    int depth = 0;
    for (; is_pair(c); ++depth) c = depth % 3 == 0 ? left_of(c) : right_of(c);
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(atom_bytes(c), "5");
}

// A list literal nested deep and applied converts in one pass: the machine's steps and the
// cells it makes grow with the depth, never faster.
TEST_F(Engine, DeepListAppliedConvertsWithLinearWork) {
    struct Work {
        uint64_t steps, bytes;
    };
    auto work_to_apply = [](size_t depth) {
        Work before{reduction_steps(), cell_bytes_allocated()};
        CellRef literal = CellRef::atom(std::string(depth, '[') + std::string(depth, ']'));
        CellRef result = evaluate(P(literal, A("I")));
        EXPECT_TRUE(result.is_pair()) << depth;
        return Work{reduction_steps() - before.steps, cell_bytes_allocated() - before.bytes};
    };
    const size_t depth = 100000;
    Work single = work_to_apply(depth / 2);
    Work twice = work_to_apply(depth);
    EXPECT_LE(twice.steps, single.steps * 21 / 10) << single.steps << " then " << twice.steps;
    EXPECT_LE(twice.bytes, single.bytes * 21 / 10) << single.bytes << " then " << twice.bytes;
}

}  // namespace
