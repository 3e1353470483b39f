// Shared pieces of the scalar math cores.
#include "scalars/scalar_math.h"

#include <algorithm>

#include "foundation/actions.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "series/services.h"
#include "series/string.h"

namespace zel::scalar_math {

namespace {

constexpr int OP_ACTIONS[] = {ACT_ADD,       ACT_SUBTRACT, ACT_MULTIPLY, ACT_DIVIDE,
                              ACT_REMAINDER, ACT_OR_T,     ACT_AND_T,    ACT_XOR_T};

}  // namespace

int action_of(int op) { return OP_ACTIONS[op]; }

Cell action_word(int) {
    Cell word;
    cell::set(&word, TYPE_NONE);
    return word;
}

void raise_about_type(ErrorId id, int type) {
    Cell t = raise::datatype_arg(type);
    fire(id, &t);
}

void raise_not_related(int action, int type) {
    Cell word = action_word(action);
    Cell t = raise::datatype_arg(type);
    fire(ERR_script_not_related, &word, &t);
}

uint64_t binary_head_bits(Cell* binary, int count) {
    int n = std::min(string::length_q(binary), count);
    const uint8_t* p = string::head(binary);
    uint64_t bits = 0;
    for (int i = 0; i < n; i++) bits = bits << 8 | p[i];
    return bits;
}

Cell* load_typed(Cell* text, int type, Cell* result) {
    Cell loaded;
    services::g_loader.load_value(text, &loaded);
    if (type_of(&loaded) != type) raise::bad_to_arg(type, text);
    return copy_cell(&loaded, result);
}

Cell* exchange_into_coordinates(int op) {
    Cell* args = stack::arguments();
    Cell number = args[0];
    args[0] = args[1];
    args[1] = number;
    if (op == OP_SUBTRACT) {
        datatype::handler<ACT_NEGATE>(type_of(&args[0]))(&args[0]);
        op = OP_ADD;
    }
    return type_of(&args[0]) == TYPE_PAIR ? pair::do_math(op) : point::do_math(op);
}

}  // namespace zel::scalar_math
