// The two printers: expressions for messages and quoting, results for the Range report.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/cell.h"

// The printers for messages cut a longer text to this many bytes and end it in "...": shared
// subgraphs print once per path, so a small graph can stand for an astronomically long text.
constexpr size_t kPrintLimit = size_t{1} << 20;

std::string printExpression(const CellRef& e);
std::string printResult(const CellRef& e);
// The whole text of printExpression, or nothing when it would pass `limit` bytes.
std::optional<std::string> print_expression_within(const CellRef& e, size_t limit);
// NUL and line feed exchanged, every other byte kept.
std::string display_form(std::string_view text);
