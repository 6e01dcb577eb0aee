// The two printers: expressions for messages and quoting, results for the Range report.
#pragma once

#include <cstddef>
#include <string>

#include "core/cell.h"

// Printed text longer than this is cut to this many bytes and ends in "...": shared
// subgraphs print once per path, so a small graph can stand for an astronomically long text.
constexpr size_t kPrintLimit = size_t{1} << 20;

std::string printExpression(const CellRef& e);
std::string printResult(const CellRef& e);
// NUL and line feed exchanged, every other byte kept.
std::string display_form(std::string_view text);
