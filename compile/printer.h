// The two printers: expressions for messages and quoting, results for the Range report.
#pragma once

#include <string>

#include "engine/cell.h"

std::string printExpression(const CellRef& e);
std::string printResult(const CellRef& e);
// NUL and line feed exchanged, every other byte kept.
std::string DisplayForm(std::string_view text);
