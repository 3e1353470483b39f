// The definition records of the boot sources: boot/base/natives.zel,
// actions.zel and typesets.zel hold `word: make type! argument` records,
// operators.zel pairs `operator target`. Start-up defines them without
// evaluating code, as they are data: the host tool that writes the boot
// image, and the tests' boot environment, read them here.
//
// Relies on: the lexer (the sources' text), contexts and words, the make
// action, op!.
#pragma once

#include <cstdint>
#include <string>

#include "core/cell.h"

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
// Each `operator target` pair: the value is an op! made from the target
// word's value.
void make_operators(const Cell* source, Define define, void* context);

}  // namespace zel::boot
