// The definition records of the boot sources: boot/base/natives.zel and
// actions.zel hold `word: make type! argument` records, which are data: the
// host tool that writes the boot image defines them without evaluating code
// and writes them as word-with-value records.
//
// Relies on: the lexer (the sources' text), contexts and words, the make
// action, op!.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/cell.h"

namespace zel::boot {

// The values of a source text as a block!, loaded by the lexer.
Cell load_source(const std::string& text);
// The index of a loaded source's first cell after its header (`Zel [...]`).
int32_t body_start(const Cell* source);

// Called with each record's word (a set-word!) and the value it defines.
using Define = void (*)(void* context, const Cell* word, const Cell* value);

// Each `word: make type! argument` record of the loaded source: the value is
// made from the argument (a get-word standing for its value) by the type's
// make. A malformed record raises script invalid-arg with its first cell.
void make_records(const Cell* source, Define define, void* context);
}  // namespace zel::boot
