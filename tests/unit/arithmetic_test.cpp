// The operator builtins called the way the reducer calls them, by kind and edge case.
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "builtin_call.h"
#include "core/tables.h"
#include "core/values.h"
#include "front/loader.h"
#include "library/registry.h"

namespace {

CellRef A(std::string bytes) { return CellRef::atom(std::move(bytes)); }
CellRef T(std::string_view payload) { return make_counted_text(payload); }
CellRef R(double d) { return make_real(d); }
CellRef bits(const char* s, CellRef rest) { return apply(apply(A("J"), A(s)), std::move(rest)); }
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <typename... Args>
CellRef call(const char* name, Args... args) {
    return call_builtin(name, std::move(args)...);
}

// A result as text: reals as "real:" and the number, other atoms as their bytes.
std::string shown(const CellRef& r) {
    if (r.tag() == ' ') {
        char buf[40];
        std::snprintf(buf, sizeof buf, "real:%g", real_of(r.get()));
        return buf;
    }
    if (r.is_pair()) return "pair";
    return std::string(r.bytes());
}

struct Binary {
    const char* op;
    CellRef a;
    CellRef b;
    std::string expected;
};

class Arithmetic : public ::testing::Test {
protected:
    void SetUp() override { LoadPrelude(); }
    void TearDown() override { reset_process_state(); }

    static void check(std::initializer_list<Binary> cases) {
        for (const Binary& c : cases)
            EXPECT_EQ(shown(call(c.op, c.a, c.b)), c.expected) << c.op << " " << shown(c.a) << " " << shown(c.b);
    }
};

TEST_F(Arithmetic, JoiningTextsAndLists) {
    check({
        {"plus", T(""), T("ab"), "(b)ab"},
        {"plus", T("ab"), T("cd"), "(d)abcd"},
        {"plus", A("[a[b]]"), A("[c]"), "[a[b]c]"},
        {"plus", apply(A("[a]"), A("[]")), A("[]"), "[a[]]"},
        {"plus", T("ab"), A("1"), "Z"},
        {"plus", A("[a]"), T("a"), "Z"},
        {"plus", T("ab"), A("[a]"), "Z"},
        {"plus", A("plus"), A("1"), "Z"},
        {"dash", A("[a]"), A("[b]"), "pair"},
    });
}

TEST_F(Arithmetic, CuttingCountsBytes) {
    check({
        {"dash", T("abcde"), A("2"), "(c)cde"},
        {"dash", T("abcde"), A("02"), "(c)abc"},
        {"dash", T("abcde"), A("5"), "()"},
        {"dash", T("abcde"), A("05"), "()"},
        {"dash", T("abcde"), A("6"), "Z"},
        {"dash", T("abcde"), A("0"), "(e)abcde"},
        {"dash", T("abcde"), A("100000000000000000000000000"), "Z"},
        {"dash", T("abcde"), A("2.5"), "Z"},  // no numeral
        {"dash", A("[abcde]"), A("2"), "[cde]"},
        {"dash", A("[abcde]"), A("02"), "[abc]"},
        {"dash", A("[a[bc]d]"), A("1"), "[[bc]d]"},
        {"dash", A("[a[bc]d]"), A("01"), "[a[bc]]"},
        // a cut inside a nested list would break its brackets
        {"dash", A("[a[bc]d]"), A("2"), "Z"},
        {"dash", A("[a[bc]d]"), A("02"), "Z"},
        {"dash", A("[ab]"), A("2"), "[]"},
    });
}

TEST_F(Arithmetic, RepeatingByDoubling) {
    check({
        {"mult", T("ab"), A("3"), "(f)ababab"},
        {"mult", T("ab"), A("0"), "()"},
        {"mult", T("ab"), A("01"), "Z"},
        {"mult", A("3"), T("ab"), "Z"},
        {"mult", T(""), A("100000000000000000000000"), "()"},
        {"mult", T("ab"), A("100000000000000000000000"), "Z"},
        {"mult", A("[a[b]]"), A("2"), "[a[b]a[b]]"},
        {"mult", A("[a]"), A("0"), "[]"},
    });
    EXPECT_EQ(counted_payload(call("mult", T("xyz"), A("1000")).get()).size(), 3000u);
    std::string payload(counted_payload(call("mult", T("ab"), A("13")).get()));
    EXPECT_EQ(payload.size(), 26u);
    EXPECT_EQ(payload.find("ba"), 1u);
    EXPECT_EQ(payload.find("aa"), std::string::npos);
}

TEST_F(Arithmetic, ExactIntegers) {
    check({
        {"plus", A("2"), A("3"), "5"},
        {"plus", A("2"), A("05"), "03"},
        {"plus", A("9223372036854775807"), A("1"), "9223372036854775808"},
        {"dash", A("09223372036854775808"), A("1"), "09223372036854775809"},
        {"dash", A("3"), A("5"), "02"},
        {"dash", A("5"), A("5"), "0"},
        {"mult", A("4294967296"), A("4294967296"), "18446744073709551616"},
        {"mult", A("07"), A("6"), "042"},
        {"plus", bits("K", A("5")), A("1"), "12"},  // the bit-list form spells 11
        {"plus", bits("K", A("I")), A("1"), "Z"},
        {"powa", A("2"), A("200"), "1606938044258990275541962092341162602522202993782792835301376"},
        {"powa", A("2"), A("10"), "1024"},
        {"powa", A("02"), A("3"), "08"},
        {"powa", A("0"), A("0"), "1"},
        {"powa", A("0"), A("5"), "0"},
        {"powa", A("1"), A("0100"), "1"},
        {"powa", A("01"), A("03"), "01"},
        {"powa", A("2"), A("01"), "Z"},            // no integer
        {"powa", A("2"), A("100000000000"), "Z"},  // far too large
        {"powa", A("3"), A("40"), "12157665459056928801"},
    });
}

TEST_F(Arithmetic, FloorQuotientAndNeverNegativeRemainder) {
    check({
        {"over", A("7"), A("0"), "Z"},
        {"over", A("7"), bits("K", A("K")), "Z"},  // spells zero
        {"cent", A("7"), A("0"), "Z"},
        {"over", A("7"), A("2"), "3"},
        {"over", A("07"), A("2"), "04"},
        {"over", A("7"), A("02"), "04"},
        {"over", A("07"), A("02"), "3"},
        {"over", A("06"), A("2"), "03"},
        {"over", A("09223372036854775808"), A("01"), "9223372036854775808"},
        {"cent", A("7"), A("2"), "1"},
        {"cent", A("07"), A("2"), "1"},
        {"cent", A("7"), A("02"), "1"},
        {"cent", A("07"), A("02"), "1"},
        {"cent", A("06"), A("2"), "0"},
        {"cent", A("5"), A("03"), "1"},
        {"cent", A("05"), A("03"), "2"},
        {"cent", A("09223372036854775808"), A("3"), "1"},
    });
}

TEST_F(Arithmetic, SixtyDigitDivisionInEverySignCombination) {
    const std::string a = "123456789012345678901234567890123456789012345678901234567891";
    const std::string b = "987654321098765432109876543210987654321";
    struct Case {
        std::string a, b, quotient, remainder;
    } cases[] = {
        {a, b, "124999998860937500014", "235339506023533950614699073961469907397"},
        {a, "0" + b, "0124999998860937500015", "752314815075231481495177469249517746924"},
        {"0" + a, b, "0124999998860937500015", "752314815075231481495177469249517746924"},
        {"0" + a, "0" + b, "124999998860937500014", "235339506023533950614699073961469907397"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(call("over", A(c.a), A(c.b)).bytes(), c.quotient);
        EXPECT_EQ(call("cent", A(c.a), A(c.b)).bytes(), c.remainder);
    }
}

TEST_F(Arithmetic, HundredFactorial) {
    CellRef product = A("1");
    for (int i = 2; i <= 100; ++i) product = call("mult", product, make_integer(i));
    EXPECT_EQ(product.bytes(),
              "93326215443944152681699238856266700490715968264381621468592963895217599993229915608941463976"
              "156518286253697920827223758251185210916864000000000000000000000000");
    for (int i = 100; i >= 2; --i) product = call("over", product, make_integer(i));
    EXPECT_EQ(product.bytes(), "1");
}

TEST_F(Arithmetic, RealsAndMixedKinds) {
    check({
        {"over", R(7.0), R(0.0), "real:inf"},
        {"over", A("1"), R(2.0), "real:0.5"},
        {"plus", R(1.5), A("02"), "real:-0.5"},
        {"plus", A("007"), R(0.5), "real:7.5"},
        {"cent", R(7.5), R(2.0), "real:1.5"},
        {"powa", R(2.0), R(0.5), "real:1.41421"},
        {"powa", A("2"), R(3.0), "real:8"},
        {"mult", R(2.0), T("a"), "Z"},
        {"dash", R(2.0), A("[a]"), "Z"},
        {"plus", R(1.0), A("K"), "Z"},  // K is no hint here
        {"plus", A("1" + std::string(400, '0')), R(1.0), "real:inf"},
    });
}

// Numbs: "00" is 0, "00" before the digits of m is m, other spellings the negative values.
TEST_F(Arithmetic, NumbsNeverAbort) {
    check({
        {"plus", A("007"), A("003"), "0010"},
        {"dash", A("003"), A("007"), "00000"},  // -4
        {"mult", A("007"), A("000"), "0003"},   // -7
        {"cent", A("007"), A("003"), "001"},
        {"plus", A("007"), A("3"), "0010"},  // a hint meets a numb: numb arithmetic
        {"plus", A("3"), A("007"), "0010"},
        {"dash", A("3"), A("007"), "00000"},   // -4 again, now from a hint and a numb
        {"mult", A("02"), A("007"), "00003"},  // -14
        {"cent", A("7"), A("00"), "Z"},
        {"over", A("007"), A("003"), "Z"},
        {"over", A("7"), A("002"), "real:3.5"},
        {"over", A("002"), A("4"), "real:0.5"},
        {"powa", A("007"), A("2"), "0049"},
        {"powa", A("00"), A("3"), "00"},
        {"powa", A("007"), A("01"), "Z"},
        {"powa", A("007"), A("007"), "Z"},
        {"powa", A("2"), A("003"), "real:8"},
        {"plus", bits("H", A("K")), A("007"), "007"},  // ((J H) K) is the numb zero
    });
}

TEST_F(Arithmetic, OrderingByKindThenValue) {
    check({
        {"less", R(2.5), A("1"), "K"},
        {"less", A("1"), R(2.5), "H"},
        {"less", A("1"), A("2"), "K"},
        {"less", A("02"), A("01"), "K"},
        {"less", A("100000000000000000000"), A("99999999999999999999"), "H"},
        {"gteq", A("2"), A("2"), "K"},
        {"gteq", A("2"), A("3"), "H"},
        {"less", T("zz"), R(0.0), "K"},
        {"less", A("99"), A("000"), "K"},
        {"less", A("000"), A("[]"), "K"},
        {"gteq", A("[]"), T(""), "K"},
        {"less", A("000"), A("00"), "K"},  // -1 < 0
        {"less", T("ab"), T("abc"), "K"},
        {"less", T("b"), T("abc"), "H"},
        {"less", T("\xff"), T("a"), "H"},  // bytes compare unsigned
        {"less", A("[ab]"), apply(A("[ab]"), A("[]")), "K"},
        {"less", R(kNaN), R(1.0), "H"},
        {"gteq", R(kNaN), R(1.0), "H"},
        {"less", A("plus"), A("1"), "Z"},
    });
}

TEST_F(Arithmetic, Equality) {
    CellRef function = A("plus");
    CellRef nan = R(kNaN);
    EXPECT_EQ(call("same", function, function).bytes(), "K");
    EXPECT_EQ(call("diff", function, function).bytes(), "H");
    EXPECT_EQ(call("same", nan, nan).bytes(), "K");  // one cell is itself
    check({
        {"same", R(1.0), A("1"), "H"},
        {"diff", R(1.0), A("1"), "K"},
        {"same", A("plus"), A("dash"), "Z"},
        {"diff", A("plus"), A("dash"), "Z"},
        {"same", R(kNaN), R(kNaN), "H"},
        {"diff", R(kNaN), R(kNaN), "K"},
        {"same", R(0.0), R(-0.0), "K"},
        {"same", A("11"), bits("K", A("5")), "K"},
        {"same", A("17"), A("017"), "H"},
        {"same", A("007"), A("007"), "K"},
        {"same", T("ab"), T("ab"), "K"},
        {"same", T("ab"), T("abc"), "H"},
        {"same", A("[a[]]"), apply(A("[a]"), A("[]")), "K"},
        {"diff", A("[a]"), A("[b]"), "K"},
    });
}

TEST_F(Arithmetic, StructuralOrder) {
    check({
        {"cmpr", A("a"), A("b"), "1"},
        {"cmpr", A("b"), A("a"), "01"},
        {"cmpr", A("a"), apply(A("a"), A("a")), "1"},
        {"cmpr", A("ab"), A("a"), "01"},
        {"cmpr", apply(A("f"), A("x")), apply(A("f"), A("x")), "0"},
        {"cmpr", apply(A("f"), A("x")), apply(A("f"), A("y")), "1"},
    });
}

TEST_F(Arithmetic, BuckByKind) {
    struct Case {
        CellRef a;
        std::string expected;
    } cases[] = {
        {R(-0.0), "H"},        {R(2.5), "K"},
        {R(-kNaN), "H"},       {A("017"), "H"},
        {A("0"), "K"},         {bits("K", A("5")), "K"},
        {A("00"), "K"},        {A("000"), "H"},
        {T("abc"), "[a]"},     {T("\nx"), "[[p]]"},
        {T("[x"), "[[q]]"},    {T("]x"), "[[r]]"},
        {T(""), "Z"},          {A("[abc]"), "[ab]"},
        {A("[a[bc]]"), "[a]"}, {apply(A("[ab]"), A("[c]")), "[ab]"},
        {A("[]"), "Z"},        {A("plus"), "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(shown(call("buck", c.a)), c.expected) << shown(c.a);
}

TEST_F(Arithmetic, WaveByKind) {
    struct Case {
        CellRef a;
        std::string expected;
    } cases[] = {
        {R(2.5), "real:-2.5"},
        {A("5"), "05"},
        {A("05"), "5"},
        {A("0"), "0"},
        {A("12345678901234567890123"), "012345678901234567890123"},
        {bits("K", A("5")), "011"},
        {bits("K", bits("H", A("K"))), "1"},
        {A("007"), "0003"},
        {A("00"), "00"},
        {T(""), "Z"},
        {T("abc"), "(b)bc"},
        {A("[a[bc]]"), "[bc]"},
        {apply(A("[ab]"), A("[c]")), "[c]"},
        {A("[]"), "Z"},
        {A("K"), "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(shown(call("wave", c.a)), c.expected) << shown(c.a);
}

TEST_F(Arithmetic, RealConversion) {
    struct Case {
        CellRef a;
        std::string expected;
    } cases[] = {
        {A("5"), "real:5"},
        {A("017"), "real:-17"},
        {A("007"), "real:7"},
        {A("000"), "real:-1"},
        {R(2.5), "real:2.5"},
        {T("2.5"), "real:2.5"},
        {T("-1e3"), "real:-1000"},
        {T("2.5x"), "Z"},
        {T(std::string("2\0", 2)), "Z"},
        {T(""), "Z"},
        {A("[1]"), "Z"},
        {A("plus"), "Z"},
        {A("1" + std::string(400, '0')), "real:inf"},
    };
    for (Case& c : cases) EXPECT_EQ(shown(call("real", c.a)), c.expected) << shown(c.a);
}

}  // namespace
