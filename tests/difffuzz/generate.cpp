// Generates random quib programs that pass the checks, for comparing the two engines.
// The same seed always gives the same program; no program reads its argument-vector address.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// splitmix64: tiny, and the same sequence on every platform and standard library.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<int>(items.size()))];
    }

private:
    uint64_t state_;
};

// A name the program defines, with the number of parameters it takes (0: a value).
struct Definition {
    std::string name;
    int arity = 0;
    std::string text;  // the whole definition, name included
};

struct Combinator {
    char letter;
    int arity;
};

// The Prelude's combinators with the arguments each takes before it rewrites.
const std::vector<Combinator> kCombinators = {{'A', 1}, {'B', 3}, {'C', 3}, {'D', 4}, {'E', 5}, {'F', 2}, {'G', 1},
                                              {'H', 1}, {'I', 1}, {'J', 3}, {'K', 2}, {'L', 1}, {'M', 1}, {'N', 1},
                                              {'O', 2}, {'P', 1}, {'Q', 1}, {'R', 1}, {'S', 3}, {'T', 2}, {'U', 2},
                                              {'V', 3}, {'W', 2}, {'X', 4}, {'Y', 2}, {'Z', 1}};

// Builtins that neither touch raw memory nor reveal addresses, with their arity.
const std::vector<std::pair<std::string, int>> kBuiltins = {
    {"plus", 2}, {"dash", 2}, {"mult", 2}, {"over", 2},  {"cent", 2}, {"less", 2},
    {"gteq", 2}, {"same", 2}, {"diff", 2}, {"buck", 1},  {"wave", 1}, {"lisp", 1},
    {"real", 1}, {"abs", 1},  {"powa", 2}, {"floor", 1}, {"sqrt", 1}};

const std::vector<std::string> kBinaryOperators = {"+", "-", "*", "/", "%", "<", ">",
                                                   "=", "#", "&", "|", "@", ".", ";"};
const std::vector<std::string> kArithmetic = {"+", "+", "-", "-", "*", "*", "/", "%"};
const std::vector<std::string> kComparisons = {"<", ">", "=", "#"};

// Replacements whose bodies use only names that are never redefined, so no loop is made by accident.
const std::vector<std::string> kRedefinitions = {
    "[+]\\x\\y\\mult x y",  "[+]\\x\\y\\x",         "[-]\\x\\y\\dash y x",  "[*]\\x\\y\\over x y",
    "[<]\\x\\y\\gteq x y",  "[=]\\x\\y\\diff x y",  "[@]\\x\\y\\x",         "[&]\\q\\r\\q r K",
    "[%]\\x\\y\\cent y x",  "plus\\x\\y\\over x y", "mult\\x\\y\\cent x y", "less\\x\\y\\gteq x y",
    "K\\x\\y\\y",           "K\\x\\y\\x",           "H\\x\\y\\x",           "I\\x\\x",
    "S\\f\\g\\x\\g x(f x)", "B\\f\\g\\x\\g(f x)",   "C\\f\\x\\y\\f x y",    "T\\x\\f\\f(f x)",
    "V\\x\\y\\f\\f y x",    "W\\f\\x\\f x",         "Y\\f\\x\\f x",         "[!]\\x\\x K H"};

std::string paren(const std::string& s) { return "(" + s + ")"; }

class Generator {
public:
    explicit Generator(uint64_t seed) : random_(seed) {}

    std::string program() {
        shaped_ = random_.chance(35);
        lean_fast_ = shaped_ || random_.chance(80);
        plan_definitions();
        for (size_t i = 0; i < functions_.size(); ++i) functions_[i].text = function_text(i);
        for (size_t i = 0; i < values_.size(); ++i) values_[i].text = value_text(i);
        std::string text = main_expression();
        for (const auto& d : functions_) text += ",\n" + d.text;
        for (const auto& d : values_) text += ",\n" + d.text;
        for (const auto& r : redefinitions_) text += ",\n" + r;
        if (identity_tester_) text += ",\n" + identity_tester_text();
        if (!fold_operator_.empty()) text += ",\nfo\\[" + fold_operator_ + "]\\x\\y\\x" + fold_operator_ + "y";
        if (function_makers_) text += ",\n" + std::string(kFunctionMakers);
        if (higher_order_) text += ",\n" + std::string(kHigherOrder);
        text += library_text();
        if (!main_definition_.empty()) text += ",\n" + main_definition_;
        return text + "\n";
    }

private:
    Random random_;
    std::vector<Definition> functions_;
    std::vector<Definition> values_;
    std::vector<std::string> redefinitions_;
    bool k_redefined_ = false;
    size_t recursive_ = 0;  // functions_[0, recursive_) count down their first parameter
    std::vector<char> scope_;
    std::string fold_operator_;  // the operator fo takes as its parameter, once something calls it
    // Most programs lean on what the fast tier compiles: a one-parameter main, saturated calls of
    // recursive definitions, word arithmetic and tests; the rest keep the older, wilder mix.
    bool lean_fast_ = false;
    bool shaped_ = false;           // the main expression is built around shapes (see shape)
    std::string main_definition_;   // the definition main, when the main expression is that name
    std::vector<bool> tail_;        // per counting function: its recursive call is in tail position
    // Per counting function: it may be given a deep count, so its recursive calls pass on only what
    // the counter makes. One that carries its own parameters on may square them every round, and the
    // digits would double while the steps stay few, so it gets a few rounds only.
    std::vector<bool> deep_;
    bool identity_tester_ = false;  // the definition ft, which compares its two parameters
    bool function_makers_ = false;  // the definitions of kFunctionMakers, once something calls them
    bool higher_order_ = false;     // the definitions of kHigherOrder, once something calls them
    int next_tag_ = 0;              // what the next argument with output prints, so that order shows

    void plan_definitions() {
        const int functions = lean_fast_ ? 1 + random_.below(5) : random_.below(5);
        recursive_ = static_cast<size_t>(lean_fast_ ? 1 + random_.below(functions) : random_.below(functions + 1));
        for (size_t i = 0; i < recursive_; ++i) tail_.push_back(lean_fast_ && random_.chance(40));
        identity_tester_ = lean_fast_ && random_.chance(25);
        for (int i = 0; i < functions; ++i) {
            int arity = 1 + random_.below(3);
            if (random_.chance(3)) arity = 10;
            functions_.push_back({std::string("f") + static_cast<char>('a' + i), arity, ""});
        }
        for (size_t i = 0; i < recursive_; ++i) deep_.push_back(functions_[i].arity == 1 || random_.chance(50));
        const int values = random_.below(4);
        for (int i = 0; i < values; ++i) values_.push_back({std::string("v") + static_cast<char>('a' + i), 0, ""});
        if (random_.chance(shaped_ ? 10 : lean_fast_ ? 25 : 20)) {
            const int count = 1 + random_.below(2);
            for (int i = 0; i < count; ++i) {
                const std::string& r = random_.pick(kRedefinitions);
                redefinitions_.push_back(r);
                if (r[0] == 'K') k_redefined_ = true;
            }
        }
    }

    // The main expression ignores the argument-vector address. Now and then it answers functions, so
    // that the result's graph, with its sharing, is what the engines are compared on.
    std::string main_expression() {
        std::string body = shaped_ ? shaped_driver() : lean_fast_ ? driver() : mostly_numeric(5, SIZE_MAX, SIZE_MAX);
        if (random_.chance(shaped_ ? 10 : 30)) {
            function_makers_ = true;  // fp
            const std::string f =
                random_.chance(50) ? function_value(2, SIZE_MAX, SIZE_MAX) : unary_function(2, SIZE_MAX, SIZE_MAX);
            body = random_.chance(50) ? paren("fp " + f + " " + body) : paren("g{" + f + "}fp g(fp g " + body + ")");
        }
        if (shaped_) {
            switch (random_.below(10)) {
                case 0:
                case 1: main_definition_ = "main\\a\\" + body; return "main";
                case 2:
                    if (k_redefined_) break;
                    main_definition_ = "main\\K" + paren(body);
                    return "main";
                case 3:
                case 4:
                case 5:
                    if (!k_redefined_) return "K" + paren(body);
                    break;
                default: break;
            }
            return "a\\" + body;
        }
        if (!k_redefined_ && random_.chance(lean_fast_ ? 5 : 50)) return "K" + paren(body);
        return "a\\" + body;
    }

    // Calls of the counting functions combined by arithmetic, tests, bindings and output.
    std::string driver() {
        std::string s = counted_call();
        const int more = random_.below(4);
        for (int i = 0; i < more; ++i) {
            switch (random_.below(5)) {
                case 0: s = paren(s + random_.pick(kArithmetic) + counted_call()); break;
                case 1:
                    s = paren(paren(s + random_.pick(kComparisons) + counted_call()) + " " +
                              numeric(2, SIZE_MAX, SIZE_MAX) + " " + numeric(2, SIZE_MAX, SIZE_MAX));
                    break;
                case 2: {
                    scope_.push_back('t');
                    s = paren("t{" + s + "}" + numeric(3, SIZE_MAX, SIZE_MAX));
                    scope_.pop_back();
                    break;
                }
                case 3: s = paren("w{" + output(2, SIZE_MAX, SIZE_MAX) + "}" + s); break;
                default: s = paren(s + random_.pick(kArithmetic) + numeric(3, SIZE_MAX, SIZE_MAX)); break;
            }
        }
        return s;
    }

    // Counting functions stop at zero, so calls that shrink the first argument terminate;
    // the others may call only functions defined before them, or themselves when meant to loop.
    std::string function_text(size_t index) {
        const Definition& d = functions_[index];
        std::vector<char> params;
        for (int i = 0; i < d.arity; ++i) params.push_back(static_cast<char>('n' + i));
        std::string head = d.name;
        for (char p : params) head += std::string("\\") + p;
        scope_ = params;
        std::string body;
        if (index < recursive_) {
            std::string base = mostly_numeric(2, index, SIZE_MAX);
            std::string step = tail_[index] ? counting_call(index, params[0]) : recursive_step(index, params[0]);
            body = base_case(params[0], base, step);
        } else if (random_.chance(4)) {
            body = d.name + paren(std::string(1, params[0]) + "+1") + rest_arguments(d.arity - 1);
        } else {
            body = mostly_numeric(3, index, SIZE_MAX);
        }
        scope_.clear();
        return head + "\\" + body;
    }

    // The test that ends a count at zero, in one of the spellings that mean it. The space after it
    // keeps a call list f(a,b) that follows from binding to the test as a word without spaces.
    std::string base_case(char counter, const std::string& base, const std::string& step) {
        const std::string n(1, counter);
        switch (lean_fast_ ? random_.below(4) : 0) {
            case 1: return "(1>" + n + ") " + base + " " + step;
            case 2: return "(" + n + ">0) " + step + " " + base;
            case 3: return "(less " + n + " 1) " + base + " " + step;
            default: return "(" + n + "<1) " + base + " " + step;
        }
    }

    // A call of a counting function with the counter one smaller; in a tail function, the
    // further arguments carry what is accumulated. Callees are the caller or counting functions
    // defined before it, and the further arguments call only those before it, so that no count
    // starts again from a constant.
    // A deep count goes on only to deep callees, with further arguments that read no parameter
    // but the counter.
    std::string counting_call(size_t caller, char counter) {
        std::vector<size_t> callees;
        for (size_t i = 0; i < (lean_fast_ ? caller + 1 : recursive_); ++i)
            if (!deep_[caller] || deep_[i]) callees.push_back(i);
        const Definition& callee = functions_[callees[random_.below(static_cast<int>(callees.size()))]];
        std::vector<std::string> args{paren(std::string(1, counter) + "-1")};
        const std::vector<char> outer = scope_;
        if (deep_[caller]) scope_ = {counter};
        for (int i = 1; i < callee.arity; ++i)
            args.push_back(lean_fast_ ? numeric(2, caller, SIZE_MAX) : expression(1));
        scope_ = outer;
        return call_text(callee.name, args);
    }

    std::string recursive_step(size_t index, char counter) {
        auto call = [&] { return counting_call(index, counter); };
        switch (random_.below(4)) {
            case 0: return paren(call() + "+" + mostly_numeric(2, index, SIZE_MAX));
            case 1: return paren(call() + "*" + call());
            case 2: return paren("w{" + output(2, index, SIZE_MAX) + "}" + call());
            default: return paren(expression(1, index) + random_.pick(kBinaryOperators) + call());
        }
    }

    std::string rest_arguments(int count) {
        std::string s;
        for (int i = 0; i < count; ++i) s += " " + expression(1);
        return s;
    }

    // A saturated call of a counting function from the main expression.
    std::string counted_call() {
        const size_t index = static_cast<size_t>(random_.below(static_cast<int>(recursive_)));
        const Definition& f = functions_[index];
        std::vector<std::string> args{count_for(index)};
        for (int i = 1; i < f.arity; ++i) args.push_back(numeric(2, SIZE_MAX, SIZE_MAX));
        return call_text(f.name, args);
    }

    // Mostly small, now and then long enough to go deep (and past the step limit when the count branches).
    std::string counter() {
        return random_.chance(93) ? std::to_string(random_.below(7)) : std::to_string(20 + random_.below(300));
    }
    std::string count_for(size_t index) { return deep_[index] ? counter() : std::to_string(random_.below(7)); }

    // f a b, or now and then the call list f(a,b).
    std::string call_text(const std::string& name, const std::vector<std::string>& args) {
        if (!args.empty() && random_.chance(30)) {
            std::string s = name + "(" + args[0];
            for (size_t i = 1; i < args.size(); ++i) s += "," + args[i];
            return s + ")";
        }
        std::string s = name;
        for (const auto& a : args) s += " " + a;
        return paren(s);
    }

    // Compares its parameters: cells for functions and reals, values for numbers.
    std::string identity_tester_text() {
        static const std::vector<std::string> kBodies = {"(n=m)1 0", "same n m", "n#m", "(diff n m)5(n=n)"};
        return "ft\\n\\m\\" + random_.pick(kBodies);
    }

    // Values are computed once; a few demand themselves or each other (a Cycle report).
    std::string value_text(size_t index) {
        const Definition& d = values_[index];
        std::string name = d.name;
        if (random_.chance(10)) name += "()";
        if (random_.chance(8)) {
            const std::string& demanded = values_[random_.below(static_cast<int>(values_.size()))].name;
            if (!functions_.empty() && random_.chance(50))
                return name + "\\" + paren(random_.pick(functions_).name + " " + demanded) + "+1";
            return name + "\\" + demanded + "+1";
        }
        return name + "\\" + mostly_numeric(3, functions_.size(), index);
    }

    using Production = std::string (Generator::*)(int, size_t, size_t);
    struct Weighted {
        int weight;
        Production make;
    };

    // One of the productions, chosen by weight.
    std::string choose(const std::vector<Weighted>& table, int d, size_t callable, size_t readable) {
        int total = 0;
        for (const auto& w : table) total += w.weight;
        int x = random_.below(total);
        for (const auto& w : table) {
            if (x < w.weight) return (this->*w.make)(d, callable, readable);
            x -= w.weight;
        }
        return "0";  // not reached: x < total
    }

    // callable: functions with an index below it may be called (all when SIZE_MAX);
    // readable: the same for values.
    std::string expression(int depth, size_t callable = SIZE_MAX, size_t readable = SIZE_MAX) {
        static const std::vector<Weighted> kLeaves = {
            {11, &Generator::number_leaf}, {8, &Generator::variable}, {2, &Generator::value},
            {1, &Generator::text},         {1, &Generator::list},     {1, &Generator::real_number},
            {1, &Generator::combinator},   {1, &Generator::builtin},  {1, &Generator::function}};
        static const std::vector<Weighted> kCompounds = {{4, &Generator::binary_operation},
                                                         {1, &Generator::unary_operation},
                                                         {1, &Generator::power},
                                                         {2, &Generator::choice},
                                                         {2, &Generator::spine},
                                                         {2, &Generator::call},
                                                         {1, &Generator::builtin_call},
                                                         {2, &Generator::lambda},
                                                         {1, &Generator::binding},
                                                         {3, &Generator::with_output},
                                                         {1, &Generator::identity},
                                                         {1, &Generator::recursion_by_y},
                                                         {1, &Generator::function_value},
                                                         {1, &Generator::function_identity},
                                                         {1, &Generator::big_measure},
                                                         {2, &Generator::applied_function},
                                                         {1, &Generator::shape},
                                                         {1, &Generator::rare}};
        static const std::vector<Weighted> kLeanCompounds = {{4, &Generator::binary_operation},
                                                             {1, &Generator::unary_operation},
                                                             {1, &Generator::power},
                                                             {3, &Generator::choice},
                                                             {1, &Generator::spine},
                                                             {5, &Generator::call},
                                                             {1, &Generator::builtin_call},
                                                             {2, &Generator::word_builtin},
                                                             {1, &Generator::lambda},
                                                             {2, &Generator::binding},
                                                             {3, &Generator::with_output},
                                                             {2, &Generator::identity},
                                                             {1, &Generator::recursion_by_y},
                                                             {2, &Generator::function_value},
                                                             {1, &Generator::function_identity},
                                                             {1, &Generator::big_measure},
                                                             {3, &Generator::applied_function},
                                                             {3, &Generator::shape},
                                                             {1, &Generator::rare}};
        callable = std::min(callable, functions_.size());
        readable = std::min(readable, values_.size());
        if (depth <= 0 || random_.chance(15)) return choose(kLeaves, 0, callable, readable);
        return choose(lean_fast_ ? kLeanCompounds : kCompounds, depth - 1, callable, readable);
    }

    // Mostly integers, so that arithmetic goes on instead of every path ending in Z.
    std::string numeric(int depth, size_t callable, size_t readable) {
        static const std::vector<Weighted> kLeaves = {{1, &Generator::number_leaf}, {1, &Generator::variable}};
        static const std::vector<Weighted> kCompounds = {
            {7, &Generator::arithmetic}, {2, &Generator::choice},          {2, &Generator::call},
            {1, &Generator::binding},    {1, &Generator::with_output},     {1, &Generator::negation},
            {2, &Generator::anything},   {1, &Generator::applied_function}};
        static const std::vector<Weighted> kLeanCompounds = {
            {6, &Generator::arithmetic},       {3, &Generator::choice},      {5, &Generator::call},
            {2, &Generator::binding},          {2, &Generator::with_output}, {1, &Generator::negation},
            {2, &Generator::word_builtin},     {1, &Generator::anything},    {1, &Generator::big_measure},
            {2, &Generator::applied_function}, {2, &Generator::shape}};
        callable = std::min(callable, functions_.size());
        readable = std::min(readable, values_.size());
        if (depth <= 0 || random_.chance(20)) return choose(kLeaves, 0, callable, readable);
        return choose(lean_fast_ ? kLeanCompounds : kCompounds, depth - 1, callable, readable);
    }

    // An integer, or now and then anything.
    std::string mostly_numeric(int d, size_t callable, size_t readable) {
        return random_.chance(92) ? numeric(d, callable, readable) : expression(d, callable, readable);
    }
    std::string anything(int d, size_t callable, size_t readable) { return expression(d + 1, callable, readable); }

    // Leaves.
    std::string number_leaf(int, size_t, size_t) { return number(); }
    std::string variable(int, size_t, size_t) {
        return scope_.empty() ? small_number() : std::string(1, random_.pick(scope_));
    }
    std::string value(int, size_t, size_t readable) {
        return readable ? values_[random_.below(static_cast<int>(readable))].name : small_number();
    }
    std::string text(int, size_t, size_t) { return paren("init" + list_literal()); }
    std::string list(int, size_t, size_t) { return list_literal(); }
    std::string real_number(int, size_t, size_t) {
        return random_.chance(50) ? paren("real " + number()) : "(atof(init[2.5]))";
    }
    std::string combinator(int, size_t, size_t) { return std::string(1, random_.pick(kCombinators).letter); }
    std::string builtin(int, size_t, size_t) { return random_.pick(kBuiltins).first; }
    std::string function(int, size_t, size_t) {
        return functions_.empty() ? small_number() : random_.pick(functions_).name;
    }

    // Operators.
    std::string binary_operation(int d, size_t callable, size_t readable) {
        return paren(mostly_numeric(d, callable, readable) + random_.pick(kBinaryOperators) +
                     mostly_numeric(d, callable, readable));
    }
    std::string arithmetic(int d, size_t callable, size_t readable) {
        return paren(numeric(d, callable, readable) + random_.pick(kArithmetic) + numeric(d, callable, readable));
    }
    std::string unary_operation(int d, size_t callable, size_t readable) {
        return paren(std::string(1, "~!$"[random_.below(3)]) + expression(d, callable, readable));
    }
    // The builtins with a machine-word path, named directly; a test may choose between two branches.
    std::string word_builtin(int d, size_t callable, size_t readable) {
        static const std::vector<std::string> kArithmeticNames = {"plus", "dash", "mult"};
        static const std::vector<std::string> kTestNames = {"less", "gteq", "same", "diff"};
        const bool test = random_.chance(50);
        const std::string call = (test ? random_.pick(kTestNames) : random_.pick(kArithmeticNames)) + " " +
                                 numeric(d, callable, readable) + " " + numeric(d, callable, readable);
        if (!test || random_.chance(50)) return paren(call);
        return paren(paren(call) + " " + numeric(d, callable, readable) + " " + numeric(d, callable, readable));
    }
    std::string negation(int d, size_t callable, size_t readable) {
        return paren("~" + numeric(d, callable, readable));
    }
    std::string power(int, size_t, size_t) {
        static const std::vector<std::string> kExponents = {"0", "1", "2", "3", "10", "62", "63", "64", "70"};
        return paren(small_number() + "^" + random_.pick(kExponents));
    }

    // A comparison choosing between two expressions; only the chosen one is computed.
    std::string choice(int d, size_t callable, size_t readable) {
        return paren(paren(mostly_numeric(d, callable, readable) + random_.pick(kComparisons) +
                           mostly_numeric(d, callable, readable)) +
                     " " + mostly_numeric(d, callable, readable) + " " + mostly_numeric(d, callable, readable));
    }

    std::string small_number() { return std::to_string(random_.below(21)); }

    // Digits near 2^61 to 2^64, 10^18 to 10^20 and the roots of a word's limit.
    std::string large_digits() {
        static const std::vector<std::string> kLarge = {"4611686018427387904",
                                                        "4611686018427387903",
                                                        "9223372036854775807",
                                                        "9223372036854775808",
                                                        "18446744073709551615",
                                                        "18446744073709551616",
                                                        "100000000000000000000",
                                                        "99999999999999999999",
                                                        "1000000000000000000",
                                                        "2305843009213693951",
                                                        "10000000000000000000",
                                                        "9999999999999999999",
                                                        "3037000499",
                                                        "3037000500",
                                                        "4294967296",
                                                        "9223372036854775806",
                                                        "2305843009213693952",
                                                        "2305843009213693953",
                                                        "9223372036854775809",
                                                        "18446744073709551617",
                                                        "999999999999999999",
                                                        "1000000000000000001",
                                                        "10000000000000000001",
                                                        "100000000000000000001"};
        return random_.pick(kLarge);
    }

    // Integers near the machine word limits and 10^20; a leading 0 makes a numeral negative.
    std::string number() {
        std::string digits = random_.chance(70) ? std::to_string(1 + random_.below(20)) : large_digits();
        if (random_.chance(10)) return random_.chance(80) ? "0" : random_.pick(std::vector<std::string>{"00", "007"});
        if (random_.chance(25)) return "0" + digits;
        if (random_.chance(5)) return paren("~" + digits);
        return digits;
    }

    std::string list_literal() {
        static const std::vector<std::string> kWords = {"", "a", "ab", "hello", "x y", "42", "[ab]c", "q r s"};
        return "[" + random_.pick(kWords) + "]";
    }

    char fresh_letter() {
        // Any letter, bound again or not: shadowing is part of what is compared.
        return static_cast<char>('a' + random_.below(26));
    }

    // A combinator with too few, enough or too many arguments.
    std::string spine(int d, size_t callable, size_t readable) {
        const Combinator& c = random_.pick(kCombinators);
        const int count = std::max(0, c.arity + random_.below(5) - 2);
        std::string s(1, c.letter);
        for (int i = 0; i < count; ++i) s += " " + expression(d, callable, readable);
        return paren(s);
    }

    std::string call(int d, size_t callable, size_t readable) {
        if (callable == 0) return spine(d, callable, readable);
        const size_t index = static_cast<size_t>(random_.below(static_cast<int>(callable)));
        const Definition& f = functions_[index];
        int count = f.arity;
        if (random_.chance(lean_fast_ ? 8 : 25)) count = std::max(0, count + random_.below(5) - 2);
        // A counting function mostly gets a count it finishes soon; one that is not deep, always.
        const bool counted = lean_fast_ && index < recursive_;
        const bool shallow = index < recursive_ && !deep_[index];
        std::vector<std::string> args;
        for (int i = 0; i < count; ++i) {
            if (i == 0 && (shallow || random_.chance(counted ? 85 : 60)))
                args.push_back(counted || shallow ? count_for(index) : small_number());
            else
                args.push_back(mostly_numeric(d, callable, readable));
        }
        return call_text(f.name, args);
    }

    std::string builtin_call(int d, size_t callable, size_t readable) {
        const auto& [name, arity] = random_.pick(kBuiltins);
        int count = arity;
        if (random_.chance(20)) count = std::max(0, count + random_.below(3) - 1);
        std::string s = name;
        for (int i = 0; i < count; ++i) s += " " + expression(d, callable, readable);
        return paren(s);
    }

    // A lambda of one to three parameters applied to none, some, all or more arguments.
    std::string lambda(int d, size_t callable, size_t readable) {
        const int params = 1 + random_.below(3);
        const size_t mark = scope_.size();
        std::string s;
        for (int i = 0; i < params; ++i) {
            const char v = fresh_letter();
            scope_.push_back(v);
            s += std::string(1, v) + "\\";
        }
        s += mostly_numeric(d, callable, readable);
        scope_.resize(mark);
        s = paren(s);
        const int args = random_.below(params + 2);
        for (int i = 0; i < args; ++i) s += " " + expression(d, callable, readable);
        return args ? paren(s) : s;
    }

    std::string binding(int d, size_t callable, size_t readable) {
        const std::string value = mostly_numeric(d, callable, readable);
        const size_t mark = scope_.size();
        std::string key;
        if (random_.chance(25)) {
            const char p = fresh_letter(), q = fresh_letter();
            key = paren(std::string(1, p) + " " + std::string(1, q));
            scope_.push_back(p);
            scope_.push_back(q);
        } else {
            const char v = fresh_letter();
            key = std::string(1, v);
            scope_.push_back(v);
        }
        std::string body = mostly_numeric(d, callable, readable);
        scope_.resize(mark);
        return paren(key + "{" + value + "}" + body);
    }

    // Printing of a value's form, a text or a byte.
    std::string output(int d, size_t callable, size_t readable) {
        switch (random_.below(10)) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4: return "puts(init(lisp " + expression(d, callable, readable) + "))";
            case 5:
            case 6: return "puts(init" + list_literal() + ")";
            case 7: return "puts(init " + expression(d, callable, readable) + ")";
            default: return "putchar(" + std::to_string(97 + random_.below(26)) + ")";
        }
    }

    // Output in wings, inside strict arguments and in branches that are thrown away.
    std::string with_output(int d, size_t callable, size_t readable) {
        const std::string out = output(d, callable, readable);
        const std::string rest = mostly_numeric(d, callable, readable);
        switch (random_.below(5)) {
            case 0: return paren("w{" + out + "}" + rest);
            case 1: return paren(paren(out) + "*0+" + rest);
            case 2: return paren("K " + rest + " " + paren(out));
            case 3: return paren("H " + paren(out) + " " + rest);
            default:
                return paren(paren(mostly_numeric(d, callable, readable) + "<" + small_number()) + " " + rest + " " +
                             paren(out));
        }
    }

    // Equality of functions and reals compares cells, so sharing is observable here.
    std::string identity(int d, size_t callable, size_t readable) {
        static const std::vector<std::string> kFunctions = {"(x\\x)", "(plus 1)",  "(K 1)",    "I",
                                                            "(S K)",  "(x\\y\\x)", "(real 2)", "(atof(init[nan]))"};
        const std::string op = random_.chance(50) ? "=" : "#";
        if (identity_tester_ && random_.chance(60)) return tested_identity();
        switch (random_.below(3)) {
            case 0: return paren(random_.pick(kFunctions) + op + random_.pick(kFunctions));
            case 1: {
                const std::string f = random_.pick(kFunctions);
                return paren("g{" + f + "}g" + op + "g");
            }
            default: {
                const std::string e = expression(d, callable, readable);
                return paren("g{" + e + "}" + paren("h\\g") + " 1" + op + "g");
            }
        }
    }

    // Functions and reals handed to a definition that compares them: the tier must pass the cells
    // the reducer would pass, shared where it shares them.
    std::string tested_identity() {
        static const std::vector<std::string> kValues = {
            "(x\\x)", "(plus 1)", "(K 1)", "I", "(real 2)", "(atof(init[nan]))", "(real 00)", "(x\\y\\x)", "7", "0"};
        const std::string f = random_.pick(kValues);
        switch (random_.below(3)) {
            case 0: return paren("ft " + f + " " + random_.pick(kValues));
            case 1: return paren("g{" + f + "}ft g g");
            default: return paren("g{" + f + "}ft(g,(h\\g)1)");
        }
    }

    // fp pairs two values as a partial application; fq takes three; fr and fs answer closures that
    // make closures and partial applications in their bodies from a bound value.
    static constexpr const char* kFunctionMakers =
        "fp\\x\\y\\z\\z x y,\nfq\\n\\m\\k\\V n m k,\nfr\\n\\q{n+1}(y\\z\\V(K q)y z),\nfs\\n\\q{n}(y\\fq(K q)y)";

    // Partial applications and closures built in the ways the fast tier keeps as objects: a prefix
    // extended, the same value twice, closed subterms in the template, closures made in closures.
    std::string function_value(int d, size_t callable, size_t readable) {
        function_makers_ = true;
        auto e = [&] { return mostly_numeric(d, callable, readable); };
        switch (random_.below(10)) {
            case 0: return paren("fq " + e());
            case 1: return paren("fq " + e() + " " + e());
            case 2: return paren("fq(K 1)" + e());
            case 3: return paren("g{fq " + e() + "}fp g(g " + e() + ")");
            case 4: return paren("g{fr " + e() + "}fp g(g " + e() + ")");
            case 5: return paren("g{fr " + e() + "}fp g(g " + e() + " " + e() + ")");
            case 6: return paren("g{fs " + e() + "}fp g(g " + e() + ")");
            case 7: return paren("g{fq " + e() + "}fp(fq g g)g");
            case 8: return paren("(fr " + e() + ")" + e());
            default: {
                const char v = fresh_letter();
                const std::string bound = e();
                scope_.push_back(v);
                const std::string body = "fq " + std::string(1, v) + " " + e();
                scope_.pop_back();
                return paren(std::string(1, v) + "\\" + body) + (random_.chance(50) ? "" : " " + paren(bound));
            }
        }
    }

    // Church numerals in the strict style, twice, thrice and composition; hv counts up and prints
    // what it counts; ha to he take one to three parameters and answer closures or partial
    // applications, so that calls with more arguments apply the answer to the rest.
    static constexpr const char* kHigherOrder =
        "hs\\n\\f\\x\\f(n f x),\nhz\\f\\x\\x,\nht\\f\\x\\f(f x),\nhh\\f\\x\\f(f(f x)),\n"
        "hc\\f\\g\\x\\f(g x),\nhv\\x\\w{puts(init(lisp x))}x+1,\nha\\n\\(y\\z\\n+y*z),\n"
        "hb\\n\\m\\plus(n-m),\nhk\\n\\m\\k\\(y\\n*y+m-k),\nhd\\n\\hk n,\nhe\\n\\m\\q{n*m}(y\\z\\q-y+z)";

    // An argument that needs work: now and then one that prints first, or a number near a word's
    // limit or past it for closures to capture.
    std::string work_argument(int d, size_t callable, size_t readable) {
        switch (random_.below(10)) {
            case 0:
            case 1:
                return paren("w{puts(init[" + std::to_string(next_tag_++) + "])}" +
                             mostly_numeric(d, callable, readable));
            case 2: return number();
            default: return mostly_numeric(d, callable, readable);
        }
    }

    // The numeral 0 to 3, spelt as successors of zero or as twice or thrice the successor.
    std::string church_numeral() {
        switch (random_.below(6)) {
            case 0: return "hz";
            case 1: return "(hs hz)";
            case 2: return "(hs(hs hz))";
            case 3: return "(ht hs hz)";
            case 4: return "(hh hs hz)";
            default: return "(hs(hs(hs hz)))";
        }
    }

    // A function of one integer made in one of the ways the engines hold functions: a definition,
    // a builtin or definition partly applied, a lambda literal, a closure, a composition, a numeral
    // applied to a function, one picked by a test or out of a pair.
    std::string unary_function(int d, size_t callable, size_t readable) {
        higher_order_ = true;
        auto a = [&] { return work_argument(d, callable, readable); };
        auto f = [&] { return unary_function(d - 1, callable, readable); };
        switch (random_.below(d > 0 ? 13 : 4)) {
            case 0: return "hv";
            case 1: return paren(random_.pick(std::vector<std::string>{"plus", "dash", "mult"}) + " " + a());
            case 2: return "(x\\x+1)";
            case 3: {
                const char v = fresh_letter();
                scope_.push_back(v);
                const std::string body = mostly_numeric(d, callable, readable);
                scope_.pop_back();
                return paren(std::string(1, v) + "\\" + std::string(1, v) + "*3+" + paren(body));
            }
            case 4: return paren("hb " + a() + " " + a());
            case 5: return paren("ha " + a() + " " + a());
            case 6: return paren(random_.pick(std::vector<std::string>{"hk ", "hd "}) + a() + " " + a() + " " + a());
            case 7: return paren("he " + a() + " " + a() + " " + a());
            case 8: return paren(random_.pick(std::vector<std::string>{"ht ", "hh "}) + f());
            case 9: return paren("hc " + f() + " " + f());
            case 10: return paren(church_numeral() + " " + f());
            case 11:
                return paren(paren(mostly_numeric(d, callable, readable) + random_.pick(kComparisons) +
                                   mostly_numeric(d, callable, readable)) +
                             " " + f() + " " + f());
            default: return paren("V " + f() + " " + f() + " " + random_.pick(std::vector<std::string>{"K", "H"}));
        }
    }

    // Function values applied to arguments that need work, to more arguments than they take, and
    // their answers applied again.
    std::string applied_function(int d, size_t callable, size_t readable) {
        higher_order_ = true;
        auto a = [&] { return work_argument(d, callable, readable); };
        // Nested compositions multiply the calls, so they stay shallow.
        auto f = [&] { return unary_function(std::min(d, 2), callable, readable); };
        switch (random_.below(9)) {
            case 0: return paren(f() + " " + a());
            case 1: {
                const std::string g =
                    random_.pick(std::vector<std::string>{"(ha " + a() + ")", "(hk " + a() + " " + a() + ")",
                                                          "(x\\y\\x*y+1)", "plus", "(hd " + a() + " " + a() + ")"});
                return paren(g + " " + a() + " " + a());
            }
            case 2:
                switch (random_.below(5)) {
                    case 0: return paren("ha " + a() + " " + a() + " " + a());
                    case 1: return paren("hb " + a() + " " + a() + " " + a());
                    case 2: return paren("hk " + a() + " " + a() + " " + a() + " " + a());
                    case 3: return paren("hd " + a() + " " + a() + " " + a() + " " + a());
                    default: return paren("he " + a() + " " + a() + " " + a() + " " + a());
                }
            case 3: return paren(church_numeral() + " " + f() + " " + a());
            case 4: return paren(church_numeral() + " " + church_numeral() + " " + f() + " " + a());
            case 5: return paren("g{" + f() + "}g(g " + a() + ")");
            case 6:
                return paren("g{hk " + a() + "}" + paren("g " + a() + " " + a() + " " + a()) + "-" +
                             paren("g " + a() + " " + a() + " " + a()));
            case 7:
                return paren("V " + f() + " " + f() + " " + random_.pick(std::vector<std::string>{"K", "H"}) + " " +
                             a());
            default: return paren(random_.pick(std::vector<std::string>{"ht ", "hh "}) + f() + " " + a());
        }
    }

    // `=` and `#` on such functions, where they compare cells: the same object, or equal ones built apart.
    std::string function_identity(int d, size_t callable, size_t readable) {
        const std::string op = random_.chance(50) ? "=" : "#";
        const std::string f = function_value(d, callable, readable);
        switch (random_.below(4)) {
            case 0: return paren(f + op + function_value(d, callable, readable));
            case 1: return paren("g{" + f + "}g" + op + "g");
            case 2: return paren("g{" + f + "}fp g g K" + op + "g");
            default: return paren(paren(f + op + f) + " 1 0");
        }
    }

    // rank and cmpr of sums and products that pass a word: their numerals must be written exactly.
    std::string big_measure(int d, size_t callable, size_t readable) {
        auto big = [&] {
            auto operand = [&] { return random_.chance(25) ? "0" + large_digits() : large_digits(); };
            return paren(operand() + random_.pick(std::vector<std::string>{"+", "-", "*"}) + operand());
        };
        auto either = [&] { return random_.chance(75) ? big() : numeric(d, callable, readable); };
        if (random_.chance(50)) return paren("rank " + either());
        return paren("cmpr " + either() + " " + either());
    }

    std::string recursion_by_y(int d, size_t callable, size_t readable) {
        const size_t mark = scope_.size();
        scope_.push_back('n');
        std::string base = mostly_numeric(d, callable, readable);
        std::string extra = mostly_numeric(d, callable, readable);
        scope_.resize(mark);
        return paren("Y(r\\n\\(n<1)" + base + " (" + extra + "+r(n-1))) " + small_number());
    }

    // A parameter written as an operator rebinds it in the body (the definition fo).
    std::string operator_parameter(int d, size_t callable, size_t readable) {
        if (fold_operator_.empty()) fold_operator_ = random_.pick(std::vector<std::string>{"+", "-", "*", "<", "="});
        const std::string f = random_.pick(std::vector<std::string>{"mult", "plus", "dash", "K", "H", "(x\\y\\y)"});
        return paren("fo " + f + " " + expression(d, callable, readable) + " " + expression(d, callable, readable));
    }

    // Program shapes the fast tier compiles: recursion over lists, loops, Church arithmetic,
    // combinator spines, functions passed by name, texts and buffers, choosers and lazy heads.
    // Each makes an integer with bounded work: counts stay small, so most finish far below the
    // step limit. The definitions they call come from kLibrary, each group written out once used.
    enum Library : int {
        kJoinLists,  // lists made with J and K and taken apart by applying them or with L, Q, R
        kDataLists,
        kNamed,  // small definitions that are passed by name
        kLoops,
        kChurch,
        kTrees,
        kMutual,
        kTexts,
        kBuffers,
        kQuickText,  // a text that lives as long as the program, read byte by byte through its address
        kChoosers,
        kLazy,
        kLibraryCount
    };
    static constexpr const char* kLibrary[kLibraryCount] = {
        R"q(jr\n\(n<1) K (J n (jr (n-1))),
ju\i\n\(i>n) K (J i (ju (i+1) n)),
jm\f\l\(L l) K (J (f (Q l)) (jm f (R l))),
jl\f\l\(L l) K ((f (Q l)) (J (Q l) (jl f (R l))) (jl f (R l))),
jf\f\z\l\l z (h\t\f h (jf f z t)),
ja\l\m\(L l) m (J (Q l) (ja (R l) m)),
js\l\(L l) 0 ((Q l)+(js (R l))),
jn\l\l 0 (h\t\1+(jn t)),
jg\f\a\l\(L l) a (jg f (f a (Q l)) (R l)))q",
        R"q(dr\n\(n<1) [] ((dr (n-1)) (lisp n)),
dm\f\l\(l=[]) [] ((dm f ($l)) (lisp (f (atoi (init (~l)))))),
dk\f\l\(l=[]) [] ((f (atoi (init (~l)))) ((dk f ($l)) (~l)) (dk f ($l))),
ds\l\(l=[]) 0 ((atoi (init (~l)))+(ds ($l))),
dg\f\a\l\(l=[]) a (dg f (f a (atoi (init (~l)))) ($l)))q",
        R"q(sq\x\x*x,
ad\x\y\x+y,
am\k\x\y\k*x+y,
ov\n\m\(x\n*x+m),
sf\f\n\(n<1) 0 (n+(f f (n-1))))q",
        R"q(la\i\n\a\(i>n) a (la (i+1) n (a+i*i)),
lb\n\a\(n<1) a (lb (n-1) (a*3%1000+n)))q",
        R"q(cd\m\f\x\m f (m f x),
cp\m\n\f\x\m f (n f x),
cx\m\n\f\m (n f),
ce\m\n\n m)q",
        R"q(fi\n\(n<2) n ((fi (n-1))+(fi (n-2))),
tb\d\v\(d<1) v (V (tb (d-1) (v*2)) (tb (d-1) (v*2+1))),
tt\d\t\(d<1) t ((tt (d-1) (t K))+(tt (d-1) (t H))),
bc\n\k\((k<1)|(k=n)) 1 ((bc (n-1) (k-1))+(bc (n-1) k)))q",
        R"q(ev\n\(n<1) K (od (n-1)),
od\n\(n<1) H (ev (n-1)),
ma\n\a\(n<1) a (mb (n-1) (a+n)),
mb\n\a\(n<1) a (ma (n-1) (a*2%1000)),
mc\n\(n<1) 1 ((md (n-1))+n),
md\n\(n<1) 0 ((mc (n-1))*2))q",
        R"q(tx\n\(n<1) (init []) ((tx (n-1))+(init (lisp n))),
ty\n\t\(n<1) t (ty (n-1) ((init (97+n%26))+t)),
tc\t\(t=(init [])) 0 (1+(tc (~t))),
lt\n\t\(n<1) t (lt (n-1) (t+(init (lisp n)))))q",
        R"q(bf\b\i\n\(i<n) (x{setx (b+i) (97+(i*7)%26)}bf b (i+1) n) 0,
bs\b\n\(n<1) 0 ((getx b)+(bs (b+1) (n-1))),
bt\b\n\a\(n<1) a (bt (b+1) (n-1) ((a*31+(getx b))%65521)),
bu\b\n\(n<1) 0 (x{setx b (toupper (getx b))}bu (b+1) (n-1)))q",
        R"q(tw\init[quick brown fox])q",
        R"q(ie\i\i%2=0,
ip\n\(n>3) K H,
ik\x\K,
ih\x\H,
cz\i\n\a\(i>n) a (cz (i+1) n ((ie i) (a+i) (a*2%1000))))q",
        R"q(lo\n\lo n,
lz\n\K n (lo n),
pu\n\m\k\(n<2) (n+m) k)q"};
    bool uses_[kLibraryCount] = {};
    std::string loop_text_;    // lc, an accumulator loop with a generated step, once something calls it
    bool shapes_off_ = false;  // while lc's step is made: a shape there could call lc and never end

    std::string use(Library group, std::string text) {
        uses_[group] = true;
        return text;
    }
    std::string count(int most) { return std::to_string(random_.below(most + 1)); }
    // A length or a number of rounds: mostly small, now and then deep enough that frames pile up.
    std::string length(int most) { return random_.chance(10) ? std::to_string(20 + random_.below(50)) : count(most); }
    std::string digit() { return std::to_string(1 + random_.below(9)); }

    // A value for a shape to carry: mostly a small number, now and then one that needs work or
    // prints when it is computed, so that the order of evaluation shows.
    std::string payload(int d, size_t callable, size_t readable) {
        switch (random_.below(10)) {
            case 0:
            case 1:
            case 2:
            case 3: return count(9);
            case 4:
            case 5: return numeric(std::min(d, 2), callable, readable);
            case 6: return paren("w{puts(init[" + std::to_string(next_tag_++) + "])}" + count(9));
            case 7: return variable(0, callable, readable);
            case 8: return paren(count(9) + random_.pick(kArithmetic) + digit());
            default: return number();
        }
    }

    // Functions of one integer, named, partly applied or built from combinators.
    // Without squaring, for a function applied many times in a row.
    std::string element_function(bool squaring = true) {
        const int pick = random_.below(13);
        if (!squaring && (pick == 0 || pick == 3 || pick == 7 || pick == 10)) return paren("plus " + digit());
        switch (pick) {
            case 0: return use(kNamed, "sq");
            case 11: return use(kNamed, paren("ov " + digit() + " " + digit()));
            case 12: return paren("K " + digit());
            case 1: return paren("plus " + digit());
            case 2: return paren("mult " + digit());
            case 3: return paren("x\\x*x+" + digit());
            case 4: return use(kNamed, paren("ad " + digit()));
            case 5: return use(kNamed, paren("am " + digit() + " " + digit()));
            case 6: return paren("B (plus " + digit() + ") (mult " + digit() + ")");
            case 7: return "(S mult I)";
            case 8: return paren("C dash " + digit());
            case 9: return "(W plus)";
            default: return use(kNamed, paren("D plus " + digit() + " sq"));
        }
    }
    // Functions answering K or H.
    std::string predicate() {
        switch (random_.below(9)) {
            case 0: return use(kChoosers, "ie");
            case 1: return use(kChoosers, "ip");
            case 2: return "(x\\x%3=0)";
            case 3: return paren("less " + digit());
            case 4: return paren("C less " + digit());
            case 5: return use(kMutual, random_.chance(50) ? "ev" : "od");
            case 6: return use(kChoosers, paren("x\\(ie x)|(x>" + digit() + ")"));
            case 7: return use(kChoosers, "(x\\!(ie x))");
            default: return use(kChoosers, paren("x\\(x>" + digit() + ")&(ip x)"));
        }
    }
    // Functions of two integers, for the folds.
    std::string binary_function() {
        switch (random_.below(10)) {
            case 0: return "plus";
            case 1: return "mult";
            case 8: return use(kNamed, paren("ov " + digit()));
            case 9: return use(kNamed, paren("C ov " + digit()));
            case 2: return use(kNamed, "ad");
            case 3: return use(kNamed, paren("am " + digit()));
            case 4: return "(x\\y\\x+y*2)";
            case 5: return "dash";
            case 6: return "(C dash)";
            default: return "(x\\y\\y)";
        }
    }

    std::string join_list_source() {
        use(kJoinLists, "");
        switch (random_.below(5)) {
            case 0:
            case 1: return paren("jr " + length(8));
            case 2: return paren("ju " + count(3) + " " + length(8));
            case 3: return paren("ja (jr " + count(4) + ") (ju 1 " + count(4) + ")");
            default: return paren("J " + digit() + " (jr " + count(5) + ")");
        }
    }
    std::string join_list_sink(const std::string& list) {
        switch (random_.below(6)) {
            case 0:
            case 1: return paren("js " + list);
            case 2: return paren("jn " + list);
            case 3: return paren("jf " + binary_function() + " " + digit() + " " + list);
            case 4: return paren("jg " + binary_function() + " " + count(3) + " " + list);
            default: return paren("g{" + list + "}(L g) " + count(9) + " (Q g)+(jn (R g))");
        }
    }
    std::string join_list_stages(std::string list, int stages) {
        for (int i = 0; i < stages; ++i)
            list = random_.chance(55) ? paren("jm " + element_function() + " " + list)
                                      : paren("jl " + predicate() + " " + list);
        return list;
    }
    std::string data_list_source() {
        use(kDataLists, "");
        switch (random_.below(4)) {
            case 0:
            case 1: return paren("dr " + length(7));
            case 2: return paren("(dr " + count(4) + ") (lisp " + digit() + ")");
            default: return "[]";
        }
    }
    std::string data_list_sink(const std::string& list) {
        switch (random_.below(3)) {
            case 0: return paren("ds " + list);
            case 1: return paren("dg " + binary_function() + " " + count(3) + " " + list);
            default: return paren("g{" + list + "}(g=[]) " + count(9) + " (atoi (init (~g)))");
        }
    }
    std::string data_list_stages(std::string list, int stages) {
        for (int i = 0; i < stages; ++i)
            list = random_.chance(55) ? paren("dm " + element_function() + " " + list)
                                      : paren("dk " + predicate() + " " + list);
        return list;
    }

    // Non-tail recursion: a list built, joined and consumed by definitions that recurse under an
    // operator or a constructor.
    std::string list_recursion(int, size_t, size_t) {
        if (random_.chance(30)) return data_list_sink(data_list_source());
        return join_list_sink(join_list_source());
    }

    // Loops that carry what they have so far in a parameter.
    std::string accumulator_loop(int d, size_t callable, size_t readable) {
        switch (random_.below(5)) {
            case 0:
                return use(kLoops, paren("la " + count(3) + " " + length(9) + " " + payload(d, callable, readable)));
            case 1: return use(kLoops, paren("lb " + length(9) + " " + payload(d, callable, readable)));
            case 2:
                return use(kJoinLists, paren("jg plus " + payload(d, callable, readable) + " (ju 1 " + count(9) + ")"));
            case 3: return use(kMutual, paren("ma " + length(9) + " " + payload(d, callable, readable)));
            default: {
                if (loop_text_.empty()) {
                    const std::vector<char> outer = scope_;
                    scope_ = {'i', 'n', 'a'};
                    loop_text_ = "lc\\i\\n\\a\\(i>n) a (lc (i+1) n ((" + loop_step(2) + ")%1000003))";
                    scope_ = outer;
                }
                return paren("lc " + count(3) + " " + length(9) + " " + payload(d, callable, readable));
            }
        }
    }

    // The step of lc: arithmetic on its counter i, its bound n and what it has so far, a, with
    // now and then a choice or something the generator makes at large.
    std::string loop_step(int d) {
        auto operand = [&] { return d > 0 ? loop_step(d - 1) : std::string(1, "inaa"[random_.below(4)]); };
        switch (random_.below(d > 0 ? 7 : 3)) {
            case 0: return std::string(1, "ia"[random_.below(2)]);
            case 1: return digit();
            case 2: return "a";
            case 3: return paren(operand() + random_.pick(std::vector<std::string>{"+", "-", "*"}) + operand());
            case 4: return paren(operand() + random_.pick(std::vector<std::string>{"%", "/"}) + digit());
            case 5:
                return paren(paren(operand() + random_.pick(kComparisons) + operand()) + " " + operand() + " " +
                             operand());
            default: {
                shapes_off_ = true;
                const std::string e = numeric(1, 0, 0);
                shapes_off_ = false;
                return e;
            }
        }
    }

    // Functions given more arguments than they take, the extra ones unevaluated expressions.
    std::string over_application(int d, size_t callable, size_t readable) {
        auto p = [&] { return payload(d, callable, readable); };
        switch (random_.below(7)) {
            case 0: return use(kNamed, paren("ov " + p() + " " + p() + " " + p()));
            case 1: return use(kNamed, paren("B ov sq " + digit() + " " + p() + " " + p()));
            case 2: return use(kNamed, paren("C ov " + digit() + " " + digit() + " " + p()));
            case 3: return use(kLazy, paren("K " + element_function() + " (lo 0) " + p()));
            case 4: return use(kNamed, paren("T " + digit() + " ov " + p() + " " + p()));
            case 5: higher_order_ = true; return paren("ha " + p() + " " + p() + " " + p());
            default: return use(kNamed, paren("am " + digit() + " " + p() + " " + p()));
        }
    }

    // A Church numeral with its value, kept small so that using it stays cheap.
    std::pair<std::string, int> numeral(int d) {
        static const std::vector<std::pair<std::string, int>> kBase = {
            {"hz", 0},         {"(K I)", 0},      {"(hs hz)", 1},         {"(S B (K I))", 1}, {"(S B (S B (K I)))", 2},
            {"(ht hs hz)", 2}, {"(hh hs hz)", 3}, {"(hs (S B (K I)))", 2}};
        higher_order_ = true;
        if (d <= 0 || random_.chance(35)) return random_.pick(kBase);
        auto [m, v] = numeral(d - 1);
        uses_[kChurch] = true;
        switch (random_.below(6)) {
            case 0: return {paren("hs " + m), v + 1};
            case 1: return {paren("S B " + m), v + 1};
            case 2: return {paren("cd " + m), 2 * v};
            default: {
                auto [n, w] = numeral(d - 1);
                const int op = random_.below(3);
                if (op == 0) return {paren("cp " + m + " " + n), v + w};
                if (op == 1 || w > 3 || v > 4) return {paren("cx " + m + " " + n), v * w};
                int power = 1;
                for (int i = 0; i < w; ++i) power *= v;
                return {paren("ce " + m + " " + n), power};
            }
        }
    }

    // Church arithmetic read back as an integer, sometimes through operations given their
    // numerals and the function and start at once.
    std::string church(int d, size_t callable, size_t readable) {
        auto [m, v] = numeral(2);
        if (v > 60) return paren(m + " (plus 1) 0");
        switch (random_.below(7)) {
            case 0: return paren(m + " (plus 1) 0");
            case 1: return paren(m + " (x\\x+" + digit() + ") " + payload(d, callable, readable));
            case 2: return paren(m + " (mult 2) 1");
            case 3: return v <= 6 ? paren(m + " hv " + count(5)) : paren(m + " (plus 1) 0");
            case 4: {
                auto [n, w] = numeral(1);
                return use(kChurch, paren("cx " + m + " " + n + " " + element_function(v * w <= 4) + " " +
                                          payload(d, callable, readable)));
            }
            case 5: {
                auto [n, w] = numeral(1);
                return use(kChurch, paren("cp " + m + " " + n + " (plus " + paren(digit() + "*" + digit()) + ") " +
                                          payload(d, callable, readable)));
            }
            default: return use(kChurch, paren("cd " + m + " (x\\x+1) " + payload(d, callable, readable)));
        }
    }

    // A function of one integer made of combinators alone.
    std::string combinator_function(int d) {
        if (d <= 0 || random_.chance(35)) {
            switch (random_.below(7)) {
                case 0: return paren("plus " + digit());
                case 1: return paren("mult " + digit());
                case 2: return paren("C dash " + digit());
                case 3: return "I";
                case 4: return "(S K K)";
                case 5: return "(W plus)";
                default: return use(kNamed, "sq");
            }
        }
        auto f = [&] { return combinator_function(d - 1); };
        switch (random_.below(5)) {
            case 0: return paren("B " + f() + " " + f());
            case 1: return paren("S (K " + f() + ") " + f());
            case 2: return paren("S (S (K plus) " + f() + ") " + f());
            case 3: return paren("S mult " + f());
            default: return paren("D plus " + digit() + " " + f());
        }
    }

    // S, K, B, I, C and T spines applied to an integer, one of them passing over a loop.
    std::string combinator_code(int d, size_t callable, size_t readable) {
        const std::string f = combinator_function(random_.below(4));
        const std::string x = payload(d, callable, readable);
        switch (random_.below(6)) {
            case 0:
            case 1: return paren(f + " " + x);
            case 2: return paren("T " + x + " " + f);
            case 3: return paren("C T " + f + " " + x);
            case 4: return paren("I " + f + " " + x);
            default: return use(kLazy, paren("B I (K " + paren(f + " " + x) + ") (lo 0)"));
        }
    }

    // Recursion made with Y, and functions that receive themselves.
    std::string fixed_point(int d, size_t callable, size_t readable) {
        auto p = [&] { return payload(d, callable, readable); };
        switch (random_.below(7)) {
            case 0: return paren("Y (r\\n\\(n<1) " + p() + " (n+(r (n-1)))) " + count(9));
            case 1: return paren("Y (r\\n\\a\\(n<1) a (r (n-1) (a*2+n))) " + count(9) + " " + p());
            case 2: return use(kJoinLists, paren("js (Y (r\\n\\(n<1) K (J n (r (n-1)))) " + count(8) + ")"));
            case 3: return use(kNamed, paren("sf sf " + count(9)));
            case 4: return paren("M (f\\n\\(n<1) 1 (n*(f f (n-1)))) " + count(8));
            case 5: return paren("g{f\\n\\(n<1) " + p() + " (n+(f f (n-1)))}g g " + count(9));
            default: return paren("Y (r\\n\\(n<2) n ((r (n-1))+(r (n-2)))) " + count(9));
        }
    }

    // A definition of the program's own with this many parameters that a shape may call.
    const Definition* own_definition(int arity, size_t callable) {
        std::vector<const Definition*> found;
        for (size_t i = 0; i < std::min(callable, functions_.size()); ++i)
            if (functions_[i].arity == arity) found.push_back(&functions_[i]);
        return found.empty() ? nullptr : found[random_.below(static_cast<int>(found.size()))];
    }

    // Definitions and builtins passed by name, some given fewer arguments than they take.
    std::string named_values(int d, size_t callable, size_t readable) {
        use(kJoinLists, "");
        const std::string list = paren("jr " + count(5));
        switch (random_.below(8)) {
            case 0:
                return paren("jf " + random_.pick(std::vector<std::string>{"plus", "mult", "dash"}) + " " + digit() +
                             " " + list);
            case 1: return use(kNamed, paren("jg (am " + digit() + ") 0 (ju 1 " + count(6) + ")"));
            case 2: return use(kNamed, paren("js (jm sq " + list + ")"));
            case 3: return use(kNamed, paren("js (jm (ad " + payload(d, callable, readable) + ") " + list + ")"));
            case 4: return use(kNamed, paren("dg ad 0 " + use(kDataLists, paren("dr " + count(6)))));
            case 5: return use(kNamed, paren("B sq (ad " + digit() + ") " + payload(d, callable, readable)));
            case 6: return paren("jf (C dash) 0 " + list);
            default:
                if (const Definition* f = own_definition(1, callable))
                    return paren("js (jm " + f->name + " (jr " + count(3) + "))");
                if (const Definition* f = own_definition(2, callable))
                    return random_.chance(50)
                               ? paren("jg " + f->name + " " + count(3) + " (jr " + count(3) + ")")
                               : paren("js (jm (" + f->name + " " + count(3) + ") (jr " + count(3) + "))");
                if (const Definition* f = own_definition(3, callable))
                    return paren("jg (" + f->name + " " + count(3) + ") 0 (jr " + count(3) + ")");
                return paren("jf plus 0 " + list);
        }
    }

    // map, filter and fold stages between a list made and a list consumed.
    std::string pipeline(int, size_t, size_t) {
        const int stages = 1 + random_.below(2);
        if (random_.chance(35)) return data_list_sink(data_list_stages(data_list_source(), stages));
        return join_list_sink(join_list_stages(join_list_source(), stages));
    }

    // Recursion that branches, and definitions that call each other.
    std::string tree_or_mutual(int d, size_t callable, size_t readable) {
        auto p = [&] { return payload(d, callable, readable); };
        switch (random_.below(6)) {
            case 0: return use(kTrees, paren("fi " + count(11)));
            case 1: {
                const std::string depth = count(5);
                return use(kTrees, paren("tt " + depth + " (tb " + depth + " " + p() + ")"));
            }
            case 2: {
                const int n = random_.below(9);
                return use(kTrees, paren("bc " + std::to_string(n) + " " + count(n)));
            }
            case 3:
                return use(kMutual, paren("(" + random_.pick(std::vector<std::string>{"ev ", "od "}) + count(9) + ") " +
                                          p() + " " + p()));
            case 4: return use(kMutual, paren("ma " + count(9) + " " + p()));
            default: return use(kMutual, paren("mc " + count(9)));
        }
    }

    // Texts grown by joining and prepending, measured, compared and printed.
    std::string text_building(int d, size_t callable, size_t readable) {
        use(kTexts, "");
        const std::string n = length(9);
        switch (random_.below(7)) {
            case 0: return paren("strlen (tx " + n + ")");
            case 1: return paren("(puts (tx " + n + "))*0+" + digit());
            case 2: return paren("tc (ty " + n + " (init [abc]))");
            case 3: return paren("strcmp (tx " + n + ") (ty " + n + " (init []))");
            case 4: return paren("atoi (tx " + n + ")");
            case 5: return paren("t{ty " + n + " (init [x])}(puts t)*0+(strlen t)+" + payload(d, callable, readable));
            default: return paren("t{lt " + n + " (init [])}(puts t)*0+(tc t)");
        }
    }

    // Byte loops over a buffer the program allocates, a copy of a text, or a text that stays
    // alive and unchanged while it is read: no address is read outside what the program owns, and
    // no address reaches the result. A redefined operator could send one into a report, so those
    // programs build texts instead.
    std::string byte_loop(int d, size_t callable, size_t readable) {
        if (!redefinitions_.empty()) return text_building(d, callable, readable);
        use(kBuffers, "");
        const std::string n = length(9);
        switch (random_.below(5)) {
            case 0:
                return paren("b{malloc (" + n + "+1)}x{bf b 0 " + n + "}y{setx (b+" + n + ") 0}s{bs b " + n +
                             "}z{puts b}w{free b}s");
            case 1:
                return paren("b{calloc (" + n + "+1) 1}x{bf b 0 " + n + "}y{bu b " + n + "}z{puts b}s{bt b " + n +
                             " 0}w{free b}s");
            case 2:
                return use(kTexts,
                           paren("b{strdup (tx " + n + ")}s{bt b (strlen b) 0}x{bu b (strlen b)}z{puts b}w{free b}s"));
            case 3: return use(kQuickText, paren("p{strchr tw 113}bs p (strlen tw)"));
            default:
                return use(kTexts, paren("t{tx " + std::string(1, "123456789"[random_.below(9)]) +
                                         "}p{strchr t 49}s{bt p (strlen t) 0}s+(strlen t)*0"));
        }
    }

    std::string text_shape(int d, size_t callable, size_t readable) {
        return random_.chance(50) ? text_building(d, callable, readable) : byte_loop(d, callable, readable);
    }

    // A condition whose answer is known here, so that the branch not taken may be a loop.
    std::pair<std::string, bool> known_condition() {
        const int k = random_.below(10);
        const std::string n = std::to_string(k);
        switch (random_.below(8)) {
            case 0: return {use(kChoosers, paren("ie " + n)), k % 2 == 0};
            case 1: return {use(kChoosers, paren("ip " + n)), k > 3};
            case 2: return {use(kMutual, paren("ev " + n)), k % 2 == 0};
            case 3: return {use(kMutual, paren("od " + n)), k % 2 == 1};
            case 4: {
                const bool yes = random_.chance(50);
                return {use(kChoosers, paren(std::string(yes ? "ik " : "ih ") + digit())), yes};
            }
            case 5: {
                const int j = random_.below(10), e = random_.below(10);
                return {use(kChoosers, paren("(" + n + "<" + std::to_string(j) + ")&(ie " + std::to_string(e) + ")")),
                        k < j && e % 2 == 0};
            }
            case 6: {
                const int j = random_.below(10);
                return {use(kChoosers, paren("(ie " + n + ")|(" + std::to_string(j) + ">5)")), k % 2 == 0 || j >= 5};
            }
            default: return {use(kChoosers, paren("!(ip " + n + ")")), k <= 3};
        }
    }

    // Choices made by what definitions, & and | answer.
    std::string chooser(int d, size_t callable, size_t readable) {
        auto p = [&] { return payload(d, callable, readable); };
        if (random_.chance(20)) return use(kChoosers, paren("cz " + count(3) + " " + count(9) + " " + p()));
        if (random_.chance(25)) {
            const std::string c = random_.chance(50) ? paren(predicate() + " " + p())
                                                     : paren(paren(p() + "<" + digit()) +
                                                             random_.pick(std::vector<std::string>{"&", "|"}) +
                                                             paren(predicate() + " " + p()));
            return paren(c + " " + p() + " " + p());
        }
        auto [c, yes] = known_condition();
        std::string taken = p(), other = random_.chance(35) ? use(kLazy, "(lo 0)") : p();
        return paren(c + " " + (yes ? taken + " " + other : other + " " + taken));
    }

    // Lazy heads given an argument that must not be computed, and a definition that ignores one.
    std::string lazy_head(int d, size_t callable, size_t readable) {
        use(kLazy, "");
        auto p = [&] { return payload(d, callable, readable); };
        switch (random_.below(11)) {
            case 0: return paren("K " + p() + " (lo 0)");
            case 1: return paren("H (lo 0) " + p());
            case 2: return random_.chance(50) ? paren("V " + p() + " (lo 0) K") : paren("V (lo 0) " + p() + " H");
            case 3: return paren("K I (lo 0) " + p());
            case 4: return paren("J " + p() + " (lo 0) 0 K");
            case 5: return paren("lz " + p());
            case 6: return paren("N (lo 0) " + p() + " " + p());
            case 7: return paren("B (K " + p() + ") lo 0");
            case 8: return paren("pu " + count(3) + " " + p() + " " + p());
            case 9: return paren("C K (lo 0) " + p());
            default: return paren("T (lo 0) (K " + p() + ")");
        }
    }

    // One of the shapes, each class as likely as the others.
    std::string shape(int d, size_t callable, size_t readable) {
        if (shapes_off_) return count(9);
        static const std::vector<Weighted> kShapes = {
            {1, &Generator::list_recursion}, {1, &Generator::accumulator_loop}, {1, &Generator::over_application},
            {1, &Generator::church},         {1, &Generator::combinator_code},  {1, &Generator::fixed_point},
            {1, &Generator::named_values},   {1, &Generator::pipeline},         {1, &Generator::tree_or_mutual},
            {1, &Generator::text_shape},     {1, &Generator::chooser},          {1, &Generator::lazy_head}};
        return choose(kShapes, d, std::min(callable, functions_.size()), std::min(readable, values_.size()));
    }

    // The main expression of a program built around shapes: a few combined, with the counting
    // functions now and then.
    std::string shaped_driver() {
        std::string s = shape(2, SIZE_MAX, SIZE_MAX);
        const int more = random_.below(3);
        for (int i = 0; i < more; ++i) {
            switch (random_.below(5)) {
                case 0:
                case 1: s = paren(s + random_.pick(kArithmetic) + shape(2, SIZE_MAX, SIZE_MAX)); break;
                case 2: s = paren("w{puts(init(lisp " + shape(2, SIZE_MAX, SIZE_MAX) + "))}" + s); break;
                case 3: s = paren(s + random_.pick(kArithmetic) + counted_call()); break;
                default:
                    s = paren(paren(s + random_.pick(kComparisons) + shape(2, SIZE_MAX, SIZE_MAX)) + " " +
                              payload(2, SIZE_MAX, SIZE_MAX) + " " + payload(2, SIZE_MAX, SIZE_MAX));
                    break;
            }
        }
        return s;
    }

    std::string library_text() {
        std::string text;
        for (int i = 0; i < kLibraryCount; ++i)
            if (uses_[i]) text += ",\n" + std::string(kLibrary[i]);
        if (!loop_text_.empty()) text += ",\n" + loop_text_;
        return text;
    }

    std::string rare(int d, size_t callable, size_t readable) {
        static const std::vector<Weighted> kRare = {
            {1, &Generator::exit_early},       {3, &Generator::pair_pattern},     {2, &Generator::operator_parameter},
            {1, &Generator::quoted},           {1, &Generator::list_applied},     {1, &Generator::text_length},
            {1, &Generator::number_from_text}, {2, &Generator::self_application}, {2, &Generator::comma_group}};
        return choose(kRare, d, callable, readable);
    }
    // Commas in groups that are no plain call list of a name: after a wing, after a parenthesised
    // group, nested in parentheses, and a group whose head is a comma.
    std::string comma_group(int d, size_t callable, size_t readable) {
        const std::string x = expression(d, callable, readable);
        const std::string y = expression(d, callable, readable);
        switch (random_.below(5)) {
            case 0: return paren(paren(x + "," + y));
            case 1: {
                const char v = fresh_letter();
                scope_.push_back(v);
                const std::string z = expression(d, callable, readable);
                scope_.pop_back();
                return paren(std::string(1, v) + "{" + x + "}(" + std::string(1, v) + "," + z + ")");
            }
            case 2: return paren(paren(x) + "(" + x + "," + y + ")");
            case 3: return paren("q{(V," + x + "," + y + ")}q K");
            default: return paren("K" + paren(paren(x + "," + y)));
        }
    }
    std::string exit_early(int, size_t, size_t) { return paren("exit " + small_number()); }
    std::string pair_pattern(int d, size_t callable, size_t readable) {
        return paren("(p q){V " + expression(d, callable, readable) + " " + expression(d, callable, readable) + "}p" +
                     random_.pick(kBinaryOperators) + "q");
    }
    // The backquote gives the source text with the value; applied to K, the text.
    std::string quoted(int d, size_t callable, size_t readable) {
        return paren(paren("`" + expression(d, callable, readable)) + "K");
    }
    std::string list_applied(int, size_t, size_t) { return paren(list_literal() + " " + list_literal()); }
    std::string text_length(int d, size_t callable, size_t readable) {
        return paren("strlen(init " + expression(d, callable, readable) + ")");
    }
    std::string number_from_text(int, size_t, size_t) { return paren("atoi(init " + list_literal() + ")"); }
    std::string self_application(int, size_t, size_t) { return "(M M)"; }
};

int usage() {
    std::fprintf(stderr,
                 "Usage: quib_difffuzz_generate SEED [COUNT DIR]\n"
                 "  prints the program of SEED, or writes COUNT programs SEED.. as DIR/SEED.quib\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) return usage();
    char* end = nullptr;
    const uint64_t seed = std::strtoull(argv[1], &end, 10);
    if (*end != 0) return usage();
    if (argc == 2) {
        std::fputs(Generator(seed).program().c_str(), stdout);
        return 0;
    }
    const uint64_t count = std::strtoull(argv[2], &end, 10);
    if (*end != 0) return usage();
    for (uint64_t i = 0; i < count; ++i) {
        const std::string path = std::string(argv[3]) + "/" + std::to_string(seed + i) + ".quib";
        std::ofstream out(path, std::ios::binary);
        out << Generator(seed + i).program();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
