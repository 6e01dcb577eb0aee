// Position codes, report formatting, display codes, colouring and file-name escaping.
#include "core/report.h"

#include <gtest/gtest.h>

namespace {

TEST(Report, PositionCodes) {
    struct Case {
        int64_t position;
        const char* code;
    } cases[] = {
        {0, "_____"},
        {1, "____a"},
        {19, "____u"},
        {20, "____s"},
        {63, "____~"},
        {64, "___a_"},
        {(int64_t{1} << 30) - 1, "~~~~~"},
        {int64_t{1} << 30, "!!!!!"},
    };
    for (const Case& c : cases) EXPECT_EQ(PositionCode(c.position), c.code) << c.position;
    EXPECT_EQ(MakeErrorText(ReportType::Match, 7, "Doesn't fit."), "Match[____g]Doesn't fit.");
}

TEST(ReportDeath, PositionOutsideTheRangeAborts) {
    EXPECT_DEATH(PositionCode(-1), "ASSERTION FAILED:b:");
    EXPECT_DEATH(PositionCode((int64_t{1} << 30) + 1), "ASSERTION FAILED:b:");
}

TEST(Report, Formats) {
    EXPECT_EQ(FormatReport(ErrorRecord()), "No errors.\n");
    ErrorRecord named;
    named.Type = ReportType::Cycle;
    named.Name = "loop";
    named.Text = "Cycle detected on function [loop].";
    EXPECT_EQ(FormatReport(named), "Error.\n Type: Cycle\n Name: loop\nCycle detected on function [loop].\n\\/\n");
    ErrorRecord bare;
    bare.Type = ReportType::Local;
    EXPECT_EQ(FormatReport(bare), "Error.\n Type: Local\n\n\\/\n");
}

TEST(Report, DisplayCodes) {
    struct Case {
        int kind;
        unsigned char c;
        unsigned char code;
    } cases[] = {
        {3, 'a', 'a'}, {1, '!', 161}, {1, '~', 254}, {2, 'a', 1},   {2, 'Z', 26},    {2, 'j', 0},
        {2, 'J', 0},   {2, ',', 10},  {2, '(', 27},  {2, ']', 255}, {2, '_', 32},    {2, '~', 127},
        {2, '?', 150}, {2, '0', 151}, {2, '9', 160}, {2, ' ', ' '}, {1, '\n', '\n'},
    };
    for (const Case& c : cases) EXPECT_EQ(DisplayCode(c.kind, c.c), c.code) << c.kind << " " << c.c;
}

TEST(Report, ColoursOnlyOnAChangeOfClass) {
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"", ""},
        {"plain\n", "plain\n"},
        {"a\x01\x02z", "a\x1b[32mAB\x1b[mz"},  // a run of codes costs one switch
        {"x\xa1\xa2", "x\x1b[31m!\"\x1b[m"},   // ends red: one final reset
        {std::string("\x7f\x9f\xff\x00", 4), "\x1b[32m~8]J\x1b[m"},
        {"\x1b", "\x1b[32m(\x1b[m"},
        {"\xa1\x01", "\x1b[31m!\x1b[32mA\x1b[m"},
        {"\xa0", "\x1b[31m \x1b[m"},  // 160 shows as the space it stands above
    };
    for (const Case& c : cases) EXPECT_EQ(ColourReport(c.text), c.shown);
}

TEST(Report, EscapesFileNames) {
    EXPECT_EQ(EscapeName("no[such"), "no[5B]such");
    EXPECT_EQ(EscapeName("a]b\x7f\x01\xe9 ok"), "a[5D]b[7F][01][E9] ok");
}

}  // namespace
