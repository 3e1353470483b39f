// The boot image in its text form: the library's Zel sources (sources.h)
// loaded into blocks of the root block.
//
// Each source is "Zel [header]" followed by its code. Loading it scans the
// text, keeps the values after the header as one block at the tail of the
// root block (so it lives as long as the process), and flags that block and
// every block, paren and path inside it as library code (SERIES_LIBRARY).
//
// The word-with-value records come first: the datatype words
// (boot/base/datatypes.zel, the type names in id order), then the natives
// and the actions (records `word: make native! [[spec] number]`), each word
// set to the value made from its record without evaluating code. The
// typesets are records too (`number!: make typeset! [...]`), defined later
// by the boot environment.
//
// A source that is missing or does not load is a damaged image: the process
// ends at once with the message "Error: Not a valid boot image: <path>" and
// the status BAD_IMAGE_STATUS.
//
// Relies on: the lexer, the root block, contexts and words, the action
// entries (make), the evaluator (running a loaded block).
#pragma once

#include "boot/sources.h"
#include "core/cell.h"

namespace zel::boot::image {

constexpr int BAD_IMAGE_STATUS = 1;

constexpr const char* DATATYPES = "boot/base/datatypes.zel";
constexpr const char* NATIVES = "boot/base/natives.zel";
constexpr const char* ACTIONS = "boot/base/actions.zel";
constexpr const char* TYPESETS = "boot/base/typesets.zel";

// The run-time init's load: the datatype words, the natives and the actions.
void load_records(Sources sources);
// The records of one more source (the typesets: made before `make` can be
// called, since the specs of the actions name them).
void define_records(Sources sources, const char* path);
// The code of a source (after its header) as a library block kept in the
// root block.
Cell load(Sources sources, const char* path);
// Flags the block, and every block, paren and path inside it, as library code.
void mark_library(const Cell* block);
// Evaluates a loaded block on empty stacks, with no catch above it (an
// error is reported and ends the process); answers its value.
Cell run(const Cell& block);

[[noreturn]] void fail(const char* path);

}  // namespace zel::boot::image
