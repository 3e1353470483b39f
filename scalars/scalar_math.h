// What the scalar math cores share: the operation codes the binary actions
// pass to them, the errors about types and actions they raise, and the
// exchange of operands that hands a number-and-coordinates operation to the
// coordinate type's core; and what the scalar make and to handlers share.
//
// A binary action's core is chosen by its right operand: integer! and float!
// hand a pair, point, tuple, money, date or vector operand over to that
// type's core (not_built.h names the cores that do not exist yet).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"

namespace zel::scalar_math {

// Operation codes of every scalar math core.
enum Op : int {
    OP_ADD = 0,
    OP_SUBTRACT = 1,
    OP_MULTIPLY = 2,
    OP_DIVIDE = 3,
    OP_REMAINDER = 4,
    OP_OR = 5,
    OP_AND = 6,
    OP_XOR = 7,
};

// The action an operation code stands for (add for OP_ADD ...).
int action_of(int op);

// The handler of a binary action: the type's math core with the op code.
template <Cell* (*CORE)(int), int OP>
Cell* binary_action() {
    return CORE(OP);
}

// Sets the handlers of add, subtract, multiply, divide and remainder, and
// with `bitwise` those of and~, or~ and xor~, to the type's math core.
template <Cell* (*CORE)(int)>
void set_math_actions(datatype::TypeRecord& r, bool bitwise) {
    r.set<ACT_ADD>(binary_action<CORE, OP_ADD>);
    r.set<ACT_SUBTRACT>(binary_action<CORE, OP_SUBTRACT>);
    r.set<ACT_MULTIPLY>(binary_action<CORE, OP_MULTIPLY>);
    r.set<ACT_DIVIDE>(binary_action<CORE, OP_DIVIDE>);
    r.set<ACT_REMAINDER>(binary_action<CORE, OP_REMAINDER>);
    if (!bitwise) return;
    r.set<ACT_AND_T>(binary_action<CORE, OP_AND>);
    r.set<ACT_OR_T>(binary_action<CORE, OP_OR>);
    r.set<ACT_XOR_T>(binary_action<CORE, OP_XOR>);
}

// The word naming an action, as the first argument of not-related and
// cannot-use. Gap: words do not exist yet, so it is none.
Cell action_word(int action);

// Raises an error whose one argument is a datatype.
[[noreturn]] void raise_about_type(ErrorId id, int type);
// Script not-related: the action word and a datatype.
[[noreturn]] void raise_not_related(int action, int type);

// The first min(length, count) bytes from a binary!'s head, big-endian
// (count <= 8): integer! and float! made from a binary.
uint64_t binary_head_bits(Cell* binary, int count);

// The text loaded as one value (by the text loader, services.h) into
// `result`, which must be of the type; anything else raises script
// bad-to-arg with the type and the text.
Cell* load_typed(Cell* text, int type, Cell* result);

// integer! or float! on the left, a pair! or point on the right: the two
// argument cells are exchanged, a subtraction negates the coordinate value
// (its own negate handler) and becomes an addition, and the coordinate
// type's core runs with the op.
Cell* exchange_into_coordinates(int op);

}  // namespace zel::scalar_math
