// The fast tier against the exact reducer on whole programs, and the gate between them.
#include "engine/fast.h"

#include <gtest/gtest.h>

#include "compile/checks.h"
#include "core/printer.h"
#include "core/tables.h"
#include "core/values.h"
#include "engine/reducer.h"
#include "front/loader.h"

namespace {

// Loads and checks a program; the report's text when that fails.
std::string Load(std::string_view program) {
    LoadPrelude();
    ErrorRecord record;
    LoadProgram(record, program);
    if (IsEmpty(record)) prepareProgram(record);
    return IsEmpty(record) ? "" : record.Text;
}

// The printed result of (main 0) on one engine, the program loaded afresh.
std::string Result(std::string_view program, Engine engine) {
    std::string failure = Load(program);
    if (!failure.empty()) return failure;
    CellRef main = *find_definition("");
    CellRef r = engine == Engine::Fast ? fast_evaluate(main, make_integer(0))
                                       : evaluate(apply(CellRef::atom("I"), apply(main, make_integer(0))));
    return printResult(r);
}

TEST(FastTier, GateKeepsProgramsThatSeeCells) {
    struct Case {
        const char* program;
        Engine expected;
    } cases[] = {
        {"a\\leak a", Engine::Exact},
        {"a\\raws a", Engine::Exact},
        {"a\\tern a", Engine::Exact},
        {"a\\type a", Engine::Exact},
        {"a\\fa a\n,fa\\x\\ga x+1\n,ga\\x\\leak x", Engine::Exact},
        {"a\\fa a\n,fa\\x\\raws x", Engine::Exact},
        {"a\\fa a\n,fa\\x\\tern(x)", Engine::Exact},
        {"a\\fa a\n,fa\\x\\type(x)+1", Engine::Exact},
        // through an operator, a redefined combinator, a value, a lambda and a wing
        {"a\\a+1\n,[+]\\x\\y\\leak x", Engine::Exact},
        {"a\\K a 1\n,K\\x\\y\\raws x", Engine::Exact},
        {"a\\va+a\n,va\\tern 1", Engine::Exact},
        {"a\\(x\\type x) a", Engine::Exact},
        {"a\\y{a}leak y", Engine::Exact},
        {"a\\fa a\n,fa\\x\\x+getw(x)", Engine::Fast},
        {"a\\strlen(init[leak raws tern type])", Engine::Fast},  // only letters of a text
        {"a\\fa a\n,fa\\x\\x+1\n,ga\\x\\leak x", Engine::Fast},  // never reached: dropped
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(c.program), "");
        EXPECT_EQ(gate_choice(), c.expected) << c.program;
    }
}

TEST(FastTier, AgreesWithTheReducer) {
    const char* programs[] = {
        // values that are not integers, built where the reducer builds them
        "a\\fa 1\n,fa\\x\\ga x\n,ga\\x\\y\\x+y",
        "a\\fa 1\n,fa\\x\\ga x (ha 2)\n,ga\\x\\y\\z\\x\n,ha\\n\\n*2",
        "a\\fa 2\n,fa\\x\\y\\y*x",
        "a\\fa 1\n,fa\\x\\init[abc]",
        "a\\fa 1\n,fa\\x\\[ab]",
        // tests that answer neither K nor H, and redefined combinators and operators
        "a\\fa 3\n,fa\\n\\(n<[abc]) 1 2",
        "a\\fa 3\n,fa\\n\\(n<(x\\x)) 1 2",
        "a\\fa 3\n,fa\\n\\(n<2) 1 2\n,K\\a\\b\\b",
        "a\\fa 3\n,fa\\n\\(n<2) 1 2\n,H\\a\\K",
        "a\\fa 3\n,fa\\n\\(n<2) 1 2\n,I\\a\\a+1",
        "a\\fa 3\n,fa\\n\\(n<2) 1 2\n,K\\a\\a\\a",
        "a\\fa 3 4\n,fa\\x\\y\\x+y\n,[+]\\x\\y\\x*y",
        "a\\fa 3 4\n,fa\\x\\y\\plus x y\n,plus\\x\\y\\x-y",
        "a\\fa 3\n,fa\\n\\(n<2) 1 2\n,[<]\\gteq",
        // word arithmetic at its edges, numerals that are not canonical, K as zero
        "a\\fa 9223372036854775807 1\n,fa\\x\\y\\x+y",
        "a\\fa 09223372036854775808 1\n,fa\\x\\y\\x-y",
        "a\\fa 3037000500 3037000500\n,fa\\x\\y\\x*y",
        "a\\fa 0005 00\n,fa\\x\\y\\(x<y)(x+y)(y-x)",
        "a\\fa K 1\n,fa\\x\\y\\(x=y)[eq](x+y)",
        "a\\fa 100000000000000000000 05\n,fa\\x\\y\\(x<y)(x*y)(x/y)",
        // identity of functions and reals under same
        "a\\fa(x\\x)\n,fa\\x\\(x=x)[same][differ]",
        "a\\fa 1\n,fa\\n\\(ga n=ga n)[same][differ]\n,ga\\n\\K n",
        "a\\fa(real 0/real 0)\n,fa\\x\\(x=x)[same][differ]",
        // bindings, shadowing, parameterless definitions, over-application, lambdas
        "a\\fa 4\n,fa\\x\\x{x+1}y{x*2}x+y",
        "a\\fa 3\n,fa\\n\\n+cc+cc\n,cc\\5*5",
        "a\\fa 3\n,fa\\n\\ha n\n,ha\\(x\\x+1)",
        "a\\fa 1 2 3\n,fa\\x\\K",
        "a\\twice(x\\x*3)5\n,twice\\f\\x\\f(f x)",
        // values read for the last time leave their slot; values read again stay
        "a\\fa(init[a],40)\n,fa\\s\\n\\(n<1)(rank s)(fa(s+init[bc])(n-1))",
        "a\\fa(init[a],40)\n,fa\\s\\n\\(n<1)(rank s)(x{s+init[bc]}fa(x,n-1)+rank(s+s))",
        "a\\fa(init[a],3)\n,fa\\s\\n\\(n<1)(rank s)((s<init[b])(fa(s+s)(n-1))(y\\s))",
        // a cycle demanded from inside compiled calls
        "a\\fa 5\n,fa\\n\\(n<1)(0+loop)(n+fa(n-1))\n,loop\\1+loop",
    };
    for (const char* program : programs) {
        ASSERT_EQ(Load(program), "") << program;
        EXPECT_EQ(Result(program, Engine::Fast), Result(program, Engine::Exact)) << program;
    }
}

// nfib n is the number of calls it makes, so the count shows every call ran compiled.
TEST(FastTier, CompiledCallsNeedNoHandOver) {
    const char* program = "a\\nfib 15\n,nfib\\n\\(n<2) 1 (nfib(n-1)+nfib(n-2)+1)";
    FastCounters before = fast_counters();
    EXPECT_EQ(Result(program, Engine::Fast), "1973");
    EXPECT_EQ(fast_counters().calls - before.calls, 1973u);
    EXPECT_EQ(fast_counters().handovers, before.handovers);
}

TEST(FastTier, DeepRecursionContinuesOnTheReducer) {
    const char* program = "a\\deep 200000\n,deep\\n\\(n<1)0(1+deep(n-1))";
    FastCounters before = fast_counters();
    EXPECT_EQ(Result(program, Engine::Fast), "200000");
    EXPECT_GT(fast_counters().handovers, before.handovers);
}

}  // namespace
