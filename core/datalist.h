// Data lists: list-literal atoms and data pairs, with front, last element and flattening.
#pragma once

#include <optional>
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
// The bytes of FlattenData(d), or nothing when they would pass `limit`. Shared parts make a
// small graph stand for a huge list, so the length is counted over the graph before anything
// is built.
std::optional<std::string> flat_text_within(Cell* d, size_t limit);
// A list literal of 2^26 bytes or more keeps no length and is read up to its first NUL, so one
// that long holding a NUL cannot be stored faithfully.
bool literal_fits(std::string_view literal);
// Tasks flattening has run since the process started: its work, counted apart from the machine's speed.
uint64_t flatten_tasks_run();
CellRef MakeListLiteral(std::string_view text);
