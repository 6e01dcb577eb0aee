// Program checks and run control over whole loaded programs.
#include <gtest/gtest.h>

#include "compile/checks.h"
#include "compile/run.h"
#include "core/tables.h"
#include "driver/pipeline.h"
#include "front/loader.h"
#include "tree_notation.h"

namespace {

ErrorRecord Prepare(std::string_view program) {
    LoadPrelude();
    ErrorRecord record;
    LoadProgram(record, program);
    EXPECT_TRUE(IsEmpty(record)) << record.Text;
    prepareProgram(record);
    return record;
}

ErrorRecord RunWhole(std::string_view program) { return load_and_run(program, 0); }

std::string Body(std::string_view name) {
    const CellRef* body = find_definition(name);
    return body ? TreeNotation(*body) : "(none)";
}

TEST(Checks, FailuresNameTheirDefinition) {
    std::string letters = "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z";
    struct Case {
        std::string program;
        const char* type;
        const char* name;
        const char* text;
    } cases[] = {
        // renaming runs over every definition, reached or not
        {"a\\3,unused\\" + letters + "\\acc\\a", "Place", "unused", "Place error in function unused."},
        // the referrer named is the last one found before the missing name was taken
        {"a\\foo(bar 1),bar\\x\\zed x,foo\\x\\zed x", "Alive", "zed",
         "Alive [zed] referenced by [foo] but not defined."},
        {"a\\\x01", "Alive", "\x01", "Alive [\x01] referenced by [TOP] but not defined."},
        {"a\\foo a,foo\\x\\(b 1){x}b", "Funky", "", "Funky key in expression ({ (b 1) x b) in function foo."},
        {"a\\foo a,foo\\x\\1\\x", "Funky", "", "Funky key in expression (\\1 x) in function foo."},
        {"a\\foo a,foo\\x\\y\\z", "Local", "foo", "Local variable z unbound in function [foo]."},
        {"a\\foo a b,foo\\x\\y\\b c", "Local", "", "Local variable b unbound."},
    };
    for (const Case& c : cases) {
        ErrorRecord record = Prepare(c.program);
        EXPECT_STREQ(report_type_name(record.Type), c.type) << c.program;
        EXPECT_EQ(record.Name, c.name) << c.program;
        EXPECT_EQ(record.Text, c.text) << c.program;
        EXPECT_EQ(record.Position, -1);
    }
}

TEST(Checks, PlacesGetLettersNotBoundElsewhere) {
    ASSERT_TRUE(IsEmpty(Prepare("a\\foo 1 2 3,foo\\a\\b\\acc\\plus acc (plus a b)")));
    EXPECT_EQ(Body("foo"), "((\\ a) ((\\ b) ((\\ c) ((plus c) ((plus a) b)))))");
    // An operator parameter takes its short spelling along: "+" in the body is the parameter.
    ASSERT_TRUE(IsEmpty(Prepare("a\\op 1 2,op\\x\\[+]\\x+2")));
    EXPECT_EQ(Body("op"), "((\\ x) ((\\ a) ((a x) 2)))");
    // A quote's text keeps the source's spelling of the place.
    ASSERT_TRUE(IsEmpty(Prepare("a\\op 1,op\\acc\\`(acc 1)")));
    EXPECT_EQ(Body("op"), "((\\ a) ((V [(acc 1)]) (a 1)))");
}

// Cell bytes spent loading and checking a program whose "Q" stands for depth nested quotes.
uint64_t BytesToReject(const std::string& shape, size_t depth, const char* type) {
    std::string program = shape;
    program.replace(program.find('Q'), 1, std::string(depth, '`'));
    uint64_t before = cell_bytes_allocated();
    ErrorRecord record = Prepare(program);
    EXPECT_STREQ(report_type_name(record.Type), type) << shape;
    return cell_bytes_allocated() - before;
}

// Each quote holds the text of all inside it, and writing them all is quadratic in the depth:
// a rejected program needs none of them but what its trace line and report show.
TEST(Checks, DeepQuotesAreRejectedInLinearWork) {
    struct Case {
        const char* shape;
        const char* type;
    } cases[] = {
        {"a\\rank(lisp(Q7))+missing", "Alive"},
        {"a\\rank(lisp(Q7))+b", "Local"},
        {"a\\rank(lisp(Q7)+x{1}(1\\2))", "Funky"},  // found while renaming
        {"a\\rank(lisp(Q7)+(b 1){1}2)", "Funky"},
        {"a\\traced 1,traced\\acc\\rank(lisp(Q7))+missing", "Alive"},  // traced with its quotes
    };
    for (const Case& c : cases) {
        uint64_t single = BytesToReject(c.shape, 5000, c.type);
        uint64_t twice = BytesToReject(c.shape, 10000, c.type);
        EXPECT_LE(twice, single * 22 / 10) << c.shape << ": " << single << " then " << twice;
    }
}

// A quote's text is written whole when the program passes: one long quote costs bytes in
// proportion to its source.
TEST(Checks, LongQuoteIsWrittenInLinearWork) {
    auto bytes_to_prepare = [](size_t names) {
        std::string program = "a\\rank((`(K";
        for (size_t i = 0; i < names; ++i) program += " ab";
        program += ")) K),ab\\1";
        uint64_t before = cell_bytes_allocated();
        ErrorRecord record = Prepare(program);
        EXPECT_TRUE(IsEmpty(record)) << record.Text;
        // the text "[(K ab ... ab)]" is whole, far past the cut of reports
        EXPECT_NE(Body("").find(" ab ab)]"), std::string::npos);
        return cell_bytes_allocated() - before;
    };
    uint64_t single = bytes_to_prepare(500000);
    uint64_t twice = bytes_to_prepare(1000000);
    EXPECT_LE(twice, single * 22 / 10) << single << " then " << twice;
}

TEST(Run, IntegerResultsReplaceTheMainProgram) {
    struct Case {
        const char* program;
        const char* result;
    } cases[] = {
        {"a\\3", "3"},
        {"a\\(p q){V 3 4}plus p q", "7"},
        {"a\\foo 5,foo\\acc\\plus acc 1", "6"},
        {"a\\K 5 `(plus 1)", "5"},
    };
    for (const Case& c : cases) {
        ErrorRecord record = RunWhole(c.program);
        EXPECT_TRUE(IsEmpty(record)) << c.program << ": " << record.Text;
        EXPECT_EQ(Body(""), c.result) << c.program;
    }
}

TEST(Run, CyclesAndNonIntegers) {
    ErrorRecord cycle = RunWhole("a\\loop,loop\\plus loop 1");
    EXPECT_EQ(cycle.Type, ReportType::Cycle);
    EXPECT_EQ(cycle.Name, "loop");
    EXPECT_EQ(cycle.Text, "Cycle detected on function [loop].");

    std::string prefix = "The program must return an integer. Instead we encountered:\n";
    struct Case {
        std::string program;
        std::string name;
        std::string printed;
    } cases[] = {
        {"a\\K 3", "K3", "K3"},
        {"a\\[]", "9193", "9193"},
        {"a\\`(plus 1)", "(V 914011210811711532494193 (plus 1))", "(V 914011210811711532494193 (plus 1))"},
        {"a\\K " + std::string(52, 'n') + "," + std::string(52, 'n') + "\\x\\x", "(K " + std::string(52, 'n') + ")",
         "(K " + std::string(52, 'n') + ")"},
        {"a\\K " + std::string(53, 'n') + "," + std::string(53, 'n') + "\\x\\x", "(K " + std::string(50, 'n') + "...",
         "(K " + std::string(53, 'n') + ")"},
    };
    for (const Case& c : cases) {
        ErrorRecord record = RunWhole(c.program);
        EXPECT_EQ(record.Type, ReportType::Range) << c.program;
        EXPECT_EQ(record.Name, c.name) << c.program;
        EXPECT_EQ(record.Text, prefix + c.printed) << c.program;
    }
}

}  // namespace
