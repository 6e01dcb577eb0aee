// Data lists: list-literal atoms and data pairs, with front, last element and flattening.
#pragma once

#include <string>
#include <string_view>

#include "core/cell.h"

bool IsEmptyData(const Cell* d);
size_t LastElementStart(std::string_view text);
std::string LiteralFront(std::string_view text);
std::string LiteralLast(std::string_view text);
CellRef DataFront(Cell* d);
CellRef DataLast(Cell* d);
std::string AppendElement(std::string_view front, std::string_view element);
CellRef FlattenData(Cell* d);
std::string ElementText(Cell* d);
// Tasks flattening has run since the process started: its work, counted apart from the machine's speed.
uint64_t flatten_tasks_run();
CellRef MakeListLiteral(std::string_view text);
