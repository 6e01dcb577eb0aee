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
        // integers beyond a word: in binary until a numeral is needed, and back to words
        "a\\fa 9223372036854775807 9223372036854775807\n,fa\\x\\y\\(x*y<x+y)(x-y)(x*y-x*y+1)",
        "a\\fa 9999999999999999999 09999999999999999999\n,fa\\x\\y\\(x+y=0)(x*y)[differ]",
        "a\\fa 18446744073709551616 03\n,fa\\x\\y\\(x*x/y)-(x*x%y)",
        "a\\fa 018446744073709551616 3\n,fa\\x\\y\\(x*x*y%x)+(x/y)+(x*y/02)",
        "a\\fa 100000000000000000000 0\n,fa\\x\\y\\x*x/y",
        "a\\fa 100000000000000000000 7\n,fa\\x\\y\\(x*x>x)(rank(x*x)+cmpr(x*x)(x+y))(x#y)",
        "a\\fa 100000000000000000000 7\n,fa\\x\\y\\(x*x=x*x)(x*x+y)0",
        "a\\fa 100000000000000000000 7\n,fa\\x\\y\\(x*x<[a])(x*x+real 1)(x*x+init[a])",
        "a\\fa 100000000000000000000 0010\n,fa\\x\\y\\(x*x+y)",
        "a\\fa 100000000000000000000\n,fa\\x\\ga(x*x)\n,ga\\x\\y\\y-x",
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
        // partial applications and closures as values: identity, sharing, lazy arguments, surplus
        // arguments and what is handed over
        "a\\fa 1\n,fa\\x\\ga (cons x) (cons x)\n,ga\\p\\q\\(p=p)(p=q)9\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\p\\(p 2=p 2)[same][differ]\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\p\\q{p 2}(q=q)[same][differ]\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (y\\x+y)\n,ga\\p\\(p=p)(p 4)[differ]",
        "a\\fa 1\n,fa\\x\\ga (y\\x+y) (y\\x+y)\n,ga\\p\\q\\(p=q)(p 4)[differ]",
        "a\\fa 1\n,fa\\x\\cons (x+1) x 5\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\cons 5 (x+1)\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\cons (2+3) x\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (y\\z\\x+y*z)\n,ga\\f\\f 2 3",
        "a\\fa 1\n,fa\\x\\ga (y\\z\\x+y*z)\n,ga\\f\\f 2",
        "a\\fa 1\n,fa\\x\\ga (y\\z\\x+y*z)\n,ga\\f\\f (puts[a]) 3",
        "a\\fa 1\n,fa\\x\\ga (y\\K x)\n,ga\\f\\f 2 3",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\f\\f 2 3 (h\\t\\h+t)\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\f\\f 2 3 (h\\t\\h+t) 7\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\f\\f (puts[b]) 3 (h\\t\\h+t)\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons x)\n,ga\\f\\f 2 (puts[c])\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\ga (cons (puts[d]))\n,ga\\f\\f 2\n,cons\\h\\t\\n\\c\\c h t",
        "a\\down 3 nil\n,cons\\h\\t\\n\\c\\c h t\n,nil\\n\\c\\n\n,down\\i\\l\\(i<1) l (down (i-1) (cons i l))",
        "a\\fa 1\n,fa\\x\\ga(y\\x{y+1}z\\z*x)\n,ga\\f\\f 3 4",
        // over-application: results applied again, partial applications past saturation, values
        // that cannot be applied, a closure the reducer must apply
        "a\\fa 1 2 3\n,fa\\x\\ga x\n,ga\\x\\y\\z\\w\\x+y*z+w",
        "a\\fa 1 2\n,fa\\x\\y\\z\\x",
        "a\\fa 1 2 3 4\n,fa\\x\\(y\\z\\x*y+z)",
        "a\\fa 1\n,fa\\x\\ga (cons x) 2 (h\\t\\h+t)\n,ga\\f\\f\n,cons\\h\\t\\n\\c\\c h t",
        "a\\fa 1\n,fa\\x\\(y\\z\\x+y*z) (ga 0) 3\n,ga\\x\\x+2",
        "a\\fa 1\n,fa\\x\\ga x (x+1) (x+2)\n,ga\\x\\y\\(z\\q{z}w\\x+y+q+w)",
        "a\\fa 3\n,fa\\x\\ga x 5\n,ga\\x\\y\\[text]",
        "a\\fa 3\n,fa\\x\\(y\\z\\(K x) z) 1 2",
        // functions holding more values than fit inline, and closures applied to three arguments
        "a\\fa 1\n,fa\\x\\seven x 2 3 4 5 6\n,seven\\a\\b\\c\\d\\e\\f\\g\\a+b*c+d*e+f*g",
        "a\\fa 1\n,fa\\x\\ga (seven x 2 3 4 5)\n,ga\\p\\q{p 6}(q=q)(q 7+p 6 8)[differ]\n"
        ",seven\\a\\b\\c\\d\\e\\f\\g\\a+b*c+d*e+f*g",
        "a\\fa 1 2 3 4 5\n,fa\\a\\b\\c\\d\\e\\ga(x\\y\\z\\a+b+c+d+e+x*y*z)\n,ga\\f\\f 2 3 4+f 1 1 1",
        "a\\fa 1 2\n,fa\\a\\b\\ga(x\\y\\z\\a*z+b)(x\\y\\z\\y)\n,ga\\f\\g\\f 2 (g 5 6 7) 4",
        "a\\fa 1 2\n,fa\\a\\b\\ga(x\\y\\z\\w\\a*w+b*x)\n,ga\\f\\f 2 3 4",
        // functions of several sizes made and freed in turn, each reused only for its own size
        "a\\fa 1 2 3 4 5 6 7 8 9\n,fa\\a\\b\\c\\d\\e\\f\\g\\h\\i\\ga(x\\a+b+c+d+e+f+g+h+i*x)(y\\a*i+y)\n"
        ",ga\\f\\g\\(f 10)+(g 2)",
        "a\\loop 50 0\n,loop\\n\\s\\(n<1) s (loop (n-1) (ap (addt n s) (x\\y\\z\\x+y*z+n) 1))\n"
        ",ap\\f\\g\\x\\y{f x}g y x x\n,addt\\a\\b\\c\\a+b+c",
        // parameterless definitions read again once settled (a text, a partial application, a
        // lambda kept behind I) and builtins without arguments
        "a\\fa 3\n,fa\\n\\(n<1)(strlen(blank))(strlen(blank)+fa(n-1))\n,blank\\init[ab]+init[c]",
        "a\\fa 1\n,fa\\x\\(pp=pp)(pp x)[differ]\n,pp\\ga 1\n,ga\\x\\y\\x+y",
        "a\\fa 2\n,fa\\n\\(n<1)(inc 5)(inc n+fa(n-1))\n,inc\\I(x\\x+1)",
        "a\\fa 1\n,fa\\x\\(fopen(init[/no/such/file],init[r])=0)(errno+rand_max*x)9",
        // C bindings called on words: codes that refuse a word (a negative count, an address in
        // the lowest page, a null string), answers that are not integers, words mixed with texts
        "a\\fa 05\n,fa\\n\\b{malloc 8}r{memchr(b,0,n)}z{free b}r",
        "a\\fa 100\n,fa\\n\\feof n",
        "a\\fa 0\n,fa\\n\\strlen n",
        "a\\fa 65\n,fa\\n\\isupper n",
        "a\\fa 65\n,fa\\n\\isupper(n+32) 1 2",
        "a\\fa 1\n,fa\\n\\atof(init[2.5])",
        "a\\fa 0\n,fa\\n\\free n",
        "a\\fa 10\n,fa\\n\\s{init[abcdef]}strnlen(s,n)+toascii(n+300)+strchr(s,99)-strchr(s,97)",
        // a cycle demanded from inside compiled calls
        "a\\fa 5\n,fa\\n\\(n<1)(0+loop)(n+fa(n-1))\n,loop\\1+loop",
    };
    for (const char* program : programs) {
        ASSERT_EQ(Load(program), "") << program;
        EXPECT_EQ(Result(program, Engine::Fast), Result(program, Engine::Exact)) << program;
    }
}

// The counters show what ran compiled: nfib n is the number of calls it makes; a product is
// written as a numeral only when its text is read, not at every step; the conses of a list are
// partial applications and its continuations closures, applied without hand-overs (but for nil, a
// plain cell, at the end).
TEST(FastTier, CountersShowTheWorkDone) {
    struct Case {
        const char* program;
        const char* result;
        uint64_t calls, numerals, handovers;
    } cases[] = {
        {"a\\nfib 15\n,nfib\\n\\(n<2) 1 (nfib(n-1)+nfib(n-2)+1)", "1973", 1973, 0, 0},
        {"a\\rank(fact 300 1)\n,fact\\n\\p\\(n<2) p (fact (n-1) (p*n))", "615", 300, 1, 0},
        // nil named alone is a function value of the tier, applied like the others
        {"a\\sum (down 1000 nil) 0\n,cons\\h\\t\\n\\c\\c h t\n,nil\\n\\c\\n\n"
         ",down\\i\\l\\(i<1) l (down (i-1) (cons i l))\n,sum\\l\\s\\l s (h\\t\\sum t (s+h))",
         "500500", 4003, 0, 0},
        // over-applied calls and function values applied to calls: no hand-over, not even for the
        // closed lambda that is zero, whose outer lambda answers its inner one with no call
        {"a\\church 4 (church 2) (n\\n+1) 0\n,church\\n\\(n<1) (f\\x\\x) (succ (church (n-1)))\n"
         ",succ\\n\\f\\x\\f (n f x)",
         "16", 90, 0, 0},
        {"a\\count 100 0\n,count\\n\\s\\(n<1) s (count (n-1) (s+strlen(blank)))\n,blank\\init[ab]+init[c]", "300",
         101, 0, 1},
    };
    for (const Case& c : cases) {
        FastCounters before = fast_counters();
        EXPECT_EQ(Result(c.program, Engine::Fast), c.result) << c.program;
        EXPECT_EQ(fast_counters().calls - before.calls, c.calls) << c.program;
        EXPECT_EQ(fast_counters().numerals - before.numerals, c.numerals) << c.program;
        EXPECT_EQ(fast_counters().handovers - before.handovers, c.handovers) << c.program;
    }
}

// A long list of partial applications would overflow the native stack if its cells were made, or
// its objects released, by recursion.
TEST(FastTier, LongListsOfFunctionValuesNeedNoDeepRecursion) {
    const char* program =
        "a\\rank(lisp(down 200000 nil))\n,cons\\h\\t\\n\\c\\c h t\n,nil\\n\\c\\n\n"
        ",down\\i\\l\\(i<1) l (down (i-1) (cons i l))";
    EXPECT_EQ(Result(program, Engine::Fast), Result(program, Engine::Exact));
}

// Depth is bounded by memory, not by the native stack: calls, applications of function values
// and lists built on the way back all stay on the tier, far deeper than a native stack would go.
TEST(FastTier, DeepRecursionStaysOnTheTier) {
    struct Case {
        const char* program;
        const char* result;
    } cases[] = {
        {"a\\deep 300000\n,deep\\n\\(n<1)0(1+deep(n-1))", "300000"},
        {"a\\walk walk 300000\n,walk\\f\\n\\(n<1)0(1+(f f (n-1)))", "300000"},
        {"a\\sum(range 1 300000)\n,cons\\h\\t\\n\\c\\c h t\n,nil\\n\\c\\n\n"
         ",range\\i\\n\\(n<i) nil (cons i (range (i+1) n))\n,sum\\l\\l 0 (h\\t\\h+(sum t))",
         "45000150000"},
    };
    for (const Case& c : cases) {
        FastCounters before = fast_counters();
        EXPECT_EQ(Result(c.program, Engine::Fast), c.result) << c.program;
        EXPECT_EQ(fast_counters().handovers - before.handovers, 0u) << c.program;
    }
}

// A lazy head takes its arguments unevaluated: its calls run compiled as the reducer's contraction
// leaves them, and a chooser that comes from a definition drops the argument it does not choose
// without evaluating it. Pairs the contraction builds are new at each one, as `same` sees; a
// closure runs compiled unless the reducer would share a pair of its body between applications.
TEST(FastTier, LazyHeadsAndClosuresRunCompiled) {
    struct Case {
        const char* program;
        uint64_t handovers;
    } cases[] = {
        // a list of J and K, taken apart by applying it
        {"a\\sum (down 1000 K) 0\n,down\\i\\l\\(i<1) l (down (i-1) (J i l))\n,sum\\l\\s\\l s (h\\t\\sum t (s+h))", 0},
        // K or H from a definition of |; the argument dropped reads the slot the chosen one reads
        {"a\\count 100 0 K\n,count\\n\\w\\s\\(n<1) w (count (n-1) (s (w+1) w) (odd n))\n,odd\\n\\(n%2=1)|(n=0)", 0},
        {"a\\walk 1000 0\n,walk\\n\\s\\(n<1) s (walk (n-1) ((small n) (s+1) (s+2)))\n,small\\n\\(n<10)&(n>2)", 0},
        // an operator bound to a partial application (! is V H K) rebuilt around its value; the
        // branch a test chooses applied to further arguments, evaluated with them waiting
        {"a\\walk 100 K 0\n,walk\\n\\s\\c\\(n<1) c (walk (n-1) (!s) (c+(((n%3=0)|!s) 1 2)))", 0},
        // a test answering neither K nor H, its branches and further arguments handed over
        {"a\\(plus 0 0) Z H 20 (0^64)", 1},
        // closures over captured values whose own pairs all hold the parameter: Church numerals
        // added, and a recursion made by Y
        {"a\\power 10 (n\\n+1) 0\n,power\\n\\(n<1) (f\\x\\f x) (p{power(n-1)}add p p)\n,add\\m\\n\\f\\x\\m f (n f x)", 0},
        {"a\\Y(f\\n\\(n<2) 1 (f(n-1)+f(n-2)+1)) 15", 0},
        // a closure whose body holds a pair of captured values alone: the reducer's, which shares it
        {"a\\g{mk 5}(same (g 1) (g 2)) 1 0\n,mk\\y\\(x\\(J y x) 0 (h\\t\\t))", 2},
        // an argument inlined to fewer reads than its subterm holds (H drops mult o): o stays in
        // its slot past the head's call, for the application handed over
        {"a\\fb 0 0\n,fa\\n\\o\\0 n 0\n,fb\\n\\o\\K ((fa 6 o)|(fa 0 fa(2,(V (mult o) 0 H 01)))) 0", 1},
        // N & n builds K H anew each time: two of them are not the same cell
        {"a\\(same (mk 1) (mk 1)) 1 0\n,mk\\n\\(N)&n", 1},
    };
    for (const Case& c : cases) {
        std::string exact = Result(c.program, Engine::Exact);
        FastCounters before = fast_counters();
        EXPECT_EQ(Result(c.program, Engine::Fast), exact) << c.program;
        EXPECT_EQ(fast_counters().handovers - before.handovers, c.handovers) << c.program;
    }
}

}  // namespace
