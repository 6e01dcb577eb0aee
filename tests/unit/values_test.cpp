// Value kinds, integer conversions, the numeral notation with its bit images, and numb values.
#include "core/values.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "core/numbers.h"
#include "core/tables.h"
#include "front/loader.h"

namespace {

CellRef A(std::string bytes) { return CellRef::atom(std::move(bytes)); }
// The bit-list form ((J s) r).
CellRef bits(const char* s, CellRef rest) { return apply(apply(A("J"), A(s)), std::move(rest)); }

class Values : public ::testing::Test {
protected:
    void SetUp() override { LoadPrelude(); }
    void TearDown() override { reset_process_state(); }
};

TEST_F(Values, KindOfEachShape) {
    struct Case {
        CellRef cell;
        Kind kind;
    } cases[] = {
        {A("017"), Kind::Hint},
        {A("0"), Kind::Hint},
        {A("007"), Kind::Numb},
        {A("00"), Kind::Numb},
        {A("K"), Kind::Void},  // counts as zero where an integer is wanted, but is no hint
        {A("plus"), Kind::Void},
        {make_real(1.5), Kind::Real},
        {A("()"), Kind::Post},
        {A("[ab]"), Kind::Zits},
        {apply(A("[a]"), A("[]")), Kind::Zits},
        {bits("K", A("5")), Kind::Hint},
        {bits("H", A("5")), Kind::Numb},
        {bits("I", A("5")), Kind::Void},
        {apply(A("I"), A("5")), Kind::Void},
    };
    for (Case& c : cases) EXPECT_EQ(kind_of(c.cell.get()), c.kind) << atom_bytes(c.cell.get());
    EXPECT_STREQ(type_name(Kind::Hint), "[hint]");
    EXPECT_STREQ(type_name(Kind::Zits), "[zits]");
    EXPECT_STREQ(type_name(Kind::Void), "[void]");
}

TEST_F(Values, IntegerArguments) {
    struct Case {
        CellRef cell;
        bool integer;
    } cases[] = {
        {A("K"), true},
        {A("0"), true},
        {A("5"), true},
        {A("05"), true},
        {A("00"), false},
        {A("007"), false},
        {make_real(1.0), false},
        {A("()"), false},
        {A("plus"), false},
        {bits("H", A("plus")), true},  // any rest
        {bits("K", A("K")), true},
        {bits("K", A("5")), true},
        {bits("K", A("05")), true},
        {bits("K", A("007")), false},
        {bits("K", bits("H", A("K"))), true},
        {bits("K", bits("K", A("K"))), false},
    };
    for (Case& c : cases) EXPECT_EQ(is_integer_arg(c.cell.get()), c.integer) << atom_bytes(c.cell.get());
}

TEST_F(Values, SignOfNumeralsAndBitListForms) {
    struct Case {
        CellRef cell;
        bool non_negative;
    } cases[] = {
        {A("0"), true},
        {A("5"), true},
        {A("017"), false},
        {A("007"), true},
        {bits("K", A("K")), true},              // 1: spells "0"
        {bits("K", A("5")), true},              // 1,1,1,1,0: spells 11
        {bits("K", bits("H", A("K"))), false},  // 1,0: spells "01"
        {bits("K", A("007")), false},
        {bits("H", A("5")), true},
    };
    for (Case& c : cases) EXPECT_EQ(is_non_negative(c.cell.get()), c.non_negative);
}

TEST_F(Values, MakeInteger) {
    struct Case {
        int64_t n;
        const char* text;
    } cases[] = {
        {-5, "05"}, {0, "0"}, {10, "10"}, {INT64_MAX, "9223372036854775807"}, {INT64_MIN, "09223372036854775808"},
    };
    for (const Case& c : cases) EXPECT_EQ(make_integer(c.n).bytes(), c.text);
}

TEST_F(Values, ToInt64IsModuloTwoToThe64) {
    struct Case {
        CellRef cell;
        int64_t signed_value;
        uint64_t unsigned_value;
    } cases[] = {
        {A("17"), 17, 17},
        {A("017"), -17, 17},
        {A("0"), 0, 0},
        {A("K"), 0, 0},
        {A("9223372036854775808"), INT64_MIN, uint64_t{1} << 63},
        {A("18446744073709551617"), 1, 1},
        {A("018446744073709551617"), -1, 1},
        {A("36893488147419103232"), 0, 0},
        {A("340282366920938463463374607431768211457"), 1, 1},  // 2^128 + 1
        {bits("K", A("5")), 11, 11},
        {bits("K", bits("H", A("K"))), -1, 1},
        {A("()"), 0, 0},
    };
    for (Case& c : cases) {
        EXPECT_EQ(to_int64(c.cell.get()), c.signed_value) << atom_bytes(c.cell.get());
        EXPECT_EQ(to_uint64(c.cell.get()), c.unsigned_value) << atom_bytes(c.cell.get());
    }
}

TEST_F(Values, RealsKeepAllNineBytes) {
    for (double d : {0.0, -0.0, 1.0, 2.5, std::numeric_limits<double>::infinity()}) {
        CellRef r = make_real(d);
        ASSERT_EQ(r.bytes().size(), 9u);
        EXPECT_EQ(r.tag(), ' ');
        double back = real_of(r.get());
        EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0);
    }
}

TEST(Notation, ImagesOfNumerals) {
    struct Case {
        const char* numeral;
        unsigned image;
    } cases[] = {
        {"0", 0b11},    {"1", 0b111},   {"01", 0b101},   {"5", 0b10111},   {"05", 0b10101},  {"00", 0b10},
        {"000", 0b100}, {"001", 0b110}, {"002", 0b1010}, {"0001", 0b1100}, {"0000", 0b1000},
    };
    for (const Case& c : cases) {
        BitImage image = bit_image_of_numeral(c.numeral);
        ASSERT_EQ(image.size(), 1u) << c.numeral;
        EXPECT_EQ(static_cast<unsigned char>(image[0]), c.image) << c.numeral;
        EXPECT_EQ(numeral_of_bit_image(image), c.numeral);
    }
    EXPECT_EQ(numeral_of_bit_image(BitImage("\x01", 1)), "");           // the empty sequence: K
    EXPECT_EQ(numeral_of_bit_image(BitImage("\x03\x00\x00", 3)), "0");  // trailing zero bytes
    EXPECT_EQ(bit_image_of_numeral("12a"), "");
}

// Every image names exactly one numeral and back, hints and numbs alike.
TEST(Notation, NumeralsAndImagesAreOneToOne) {
    std::set<std::string> seen;
    for (unsigned i = 2; i < 20000; ++i) {
        std::string numeral = numeral_of_image(mpz_class(i));
        ASSERT_TRUE(seen.insert(numeral).second) << numeral;
        std::optional<mpz_class> image = image_of_numeral(numeral);
        ASSERT_TRUE(image) << numeral;
        EXPECT_EQ(image->get_str(), std::to_string(i)) << numeral;
        EXPECT_EQ(i % 2 == 0, numeral.rfind("00", 0) == 0) << numeral;
    }
}

TEST(Notation, NumbValues) {
    struct Case {
        const char* numeral;
        int64_t value;
    } cases[] = {
        {"00", 0}, {"007", 7}, {"0010", 10}, {"000", -1}, {"0000", -2}, {"00000", -4}, {"0001", -3}, {"0003", -7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(numb_numeral(Integer(c.value)), c.numeral);
        std::optional<mpz_class> image = image_of_numeral(c.numeral);
        ASSERT_TRUE(image);
        EXPECT_EQ(value_of_image(*image), Integer(c.value)) << c.numeral;
    }
    for (int64_t v = -2000; v <= 2000; ++v)
        ASSERT_EQ(value_of_image(*image_of_numeral(numb_numeral(Integer(v)))), Integer(v)) << v;
}

TEST(Notation, NumeralRemainder) {
    struct Case {
        const char* numeral;
        const char* rest;
    } cases[] = {
        {"5", "2"},   {"1", "0"},    {"0", "K"},   {"2", "01"}, {"3", "1"},    {"4", "02"},
        {"01", "00"}, {"02", "000"}, {"001", "0"}, {"00", "K"}, {"000", "00"},
    };
    for (const Case& c : cases) EXPECT_EQ(numeral_remainder(c.numeral).bytes(), c.rest) << c.numeral;
    // The quick path for hints agrees with dropping the first bit of the image.
    for (unsigned i = 3; i < 5000; ++i) {
        std::string numeral = numeral_of_image(mpz_class(i));
        std::string rest = numeral_of_image(mpz_class(i >> 1));
        EXPECT_EQ(numeral_remainder(numeral).bytes(), rest.empty() ? "K" : rest) << numeral;
    }
    std::string big = "1" + std::string(40, '0') + "1";  // odd: the rest is half of it
    EXPECT_EQ(numeral_remainder(big).bytes(), "5" + std::string(40, '0'));
}

TEST_F(Values, BitListFormsSpellNumerals) {
    EXPECT_EQ(numeral_text(bits("K", A("5")).get()), "11");
    EXPECT_EQ(numeral_text(bits("K", A("K")).get()), "0");
    EXPECT_EQ(numeral_text(A("017").get()), "017");
    EXPECT_EQ(numeral_text(bits("H", A("K")).get()), "00");
    EXPECT_EQ(numeral_text(bits("H", bits("K", A("K"))).get()), "001");
    EXPECT_EQ(numeral_text(bits("K", A("plus")).get()), "");  // no numeral at the end
}

TEST_F(Values, LongBitListChainsNeedNoDeepRecursion) {
    // 1,000,001 ones: the hint bit, the sign bit, and the 999,999 bits of 2^1000000 - 1 below its top.
    CellRef chain = A("K");
    for (int i = 0; i < 1000001; ++i) chain = bits("K", std::move(chain));
    std::optional<Integer> v = integer_of(chain.get());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bit_length(), 1000000u);
    EXPECT_EQ(to_int64(chain.get()), -1);  // low 64 bits all set
}

}  // namespace

// The size check of powers decides from the base and exponent what the exact result would show.
TEST(Powers, SizeCheckAgreesWithTheExactBitLength) {
    const char* bases[] = {"2", "-2", "3", "-3", "4", "5", "7", "255", "256", "257", "18446744073709551617"};
    for (const char* digits : bases) {
        Integer base{mpz_class(digits)};
        for (size_t limit : {64u, 1000u, 4097u}) {
            // Exponents around the one where the result reaches the limit.
            uint64_t middle = static_cast<uint64_t>(limit / std::log2(std::fabs(mpz_class(digits).get_d())));
            for (uint64_t e = middle > 3 ? middle - 3 : 1; e <= middle + 3; ++e) {
                mpz_class exact;
                mpz_pow_ui(exact.get_mpz_t(), base.to_mpz().get_mpz_t(), e);
                bool over = mpz_sizeinbase(exact.get_mpz_t(), 2) > limit;
                EXPECT_EQ(power_exceeds(base, e, limit), over) << digits << "^" << e << " limit " << limit;
            }
        }
    }
}

// At the real limit only the cheap cases run: powers of two just under and over, and a base of
// two bits whose result the old lower bound let through (3^e has about 1.58 e bits).
TEST(Powers, LimitOfTwoToThe28Bits) {
    std::optional<Integer> under = power(Integer(2), Integer(int64_t{kMaxPowerBits - 1}));
    ASSERT_TRUE(under);
    EXPECT_EQ(under->bit_length(), kMaxPowerBits);
    std::optional<Integer> negative = power(Integer(-4), Integer(int64_t{kMaxPowerBits / 2 - 1}));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->sign(), -1);
    EXPECT_EQ(negative->bit_length(), kMaxPowerBits - 1);
    EXPECT_FALSE(power(Integer(2), Integer(int64_t{kMaxPowerBits})));
    EXPECT_FALSE(power(Integer(-4), Integer(int64_t{kMaxPowerBits / 2})));
    EXPECT_FALSE(power(Integer(3), Integer(int64_t{169363917})));  // 2^28 + 1.4 bits
    EXPECT_FALSE(power(Integer(3), Integer(int64_t{kMaxPowerBits})));
    EXPECT_TRUE(power_exceeds(Integer(3), 169363917, kMaxPowerBits));
    EXPECT_FALSE(power_exceeds(Integer(3), 169363916, kMaxPowerBits));  // 2^28 - 0.16 bits
}
