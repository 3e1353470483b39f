// PARSE: the engine behind the `parse` native, which matches a string,
// binary or block input against a rules block.
//
// The engine is a state machine without host recursion: every rules block
// being run and every keyword construct in progress is a record of three
// cells on the rule stack, and every input entered with `into` a cell on
// the input stack. The two stacks are blocks made once at start-up, kept by
// a mark callback and shared by every parse run: a `parse` started from a
// paren or a trace callback of another runs on top of it, after a marker
// cell, and gives the stacks back as it found them however it ends (a
// normal end, a callback that stops it, an error, any exit out of Zel code
// it ran). The layout of the records is visible to trace callbacks, which
// receive the rule stack:
//
//   block record     none!   triple! {rule index, input index, input length}   block! (the enclosing rules)
//   keyword record   triple! {min, max, counter}, or the target word of copy/set
//                            triple! {rule index, input index, input length}   pair! {kind code, extra flag}
//
// Relies on: the evaluator (parens, callbacks), the series actions (copy,
// insert, remove, change), the string, binary, bitset and block matchers,
// the lexer's one-value scan (typed matching of binaries), the predefined
// keyword symbols.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "interpreter/exits.h"

namespace zel::parser {

// Start-up, after the predefined words: makes the two stacks and the
// keyword table, and registers the stacks with the collector.
void init();

// Runs the rules over the input from its head: comparison mode 0 (folding)
// or 2 (strict), limit 0 (none) or an absolute index past which the input
// counts as ended, callback the trace function or null. The result (the
// outermost collect's block, or a logic!) goes to `result`. A break,
// continue, return or exit raised by a paren comes back as the Exit, the
// stacks already at its target.
exits::Exit process(const Cell* input, const Cell* rules, int mode, int32_t limit, const Cell* callback,
                    Cell* result);

// Cells the two stacks hold from their first cell (for tests: 0 between
// runs).
int32_t input_stack_cells();
int32_t rule_stack_cells();

}  // namespace zel::parser
