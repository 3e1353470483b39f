// The natives table, its start-up, and the natives of the evaluator's own
// families: comparison (25-33) and the fast exits break, continue, exit and
// return (77-80). Relies on the comparison service, the kinds of series
// (same?) and the exits.
#include "interpreter/natives.h"

#include "foundation/compare.h"
#include "foundation/raise.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "scalars/simple_types.h"
#include "series/series.h"

namespace zel::natives {

const char* const NAMES[COUNT + 1] = {
    nullptr,
#define ZEL_NATIVE_NAME(name, word, number) word,
    ZEL_NATIVES(ZEL_NATIVE_NAME)
#undef ZEL_NATIVE_NAME
};

Entry g_table[native::TABLE_SLOTS + 1];

Exit not_built(bool, const int32_t*) { fire(ERR_internal_not_done); }

void set(Native number, Entry entry) { g_table[int(number)] = entry; }

namespace {

// ---- Comparison ------------------------------------------------------------------------------

template <int OP>
Exit compare_native(bool, const int32_t*) {
    dispatch::compare_args(OP);
    return Exit{};
}

Exit same_q(bool, const int32_t*) {
    logic::set(arg(0), same_value_q(arg(0), arg(1)));
    return Exit{};
}

Exit not_(bool, const int32_t*) {
    logic::set(arg(0), logic::is_false(arg(0)));
    return Exit{};
}

// ---- The fast exits --------------------------------------------------------------------------

Exit break_(bool, const int32_t* refinements) { return exits::start_break(has(refinements, 0), false); }
Exit continue_(bool, const int32_t*) { return exits::start_break(false, true); }
Exit exit_(bool, const int32_t*) { return exits::start_return(false, false); }
Exit return_(bool, const int32_t*) { return exits::start_return(true, false); }

// Each family of natives that exists registers its entries here.
void register_own() {
    set(Native::equal_q, compare_native<compare::COMP_EQUAL>);
    set(Native::not_equal_q, compare_native<compare::COMP_NOT_EQUAL>);
    set(Native::strict_equal_q, compare_native<compare::COMP_STRICT_EQUAL>);
    set(Native::lesser_q, compare_native<compare::COMP_LESSER>);
    set(Native::greater_q, compare_native<compare::COMP_GREATER>);
    set(Native::lesser_or_equal_q, compare_native<compare::COMP_LESSER_EQUAL>);
    set(Native::greater_or_equal_q, compare_native<compare::COMP_GREATER_EQUAL>);
    set(Native::same_q, same_q);
    set(Native::not_, not_);
    set(Native::break_, break_);
    set(Native::continue_, continue_);
    set(Native::exit_, exit_);
    set(Native::return_, return_);
}

void (*const g_families[])() = {register_own,        register_conditionals, register_loops,
                                     register_exceptions, register_evaluation,  register_definition,
                                     register_output,     register_values,
                                     register_memory,     register_encoding,     register_sets,
                                     register_maths};

}  // namespace

bool same_value_q(const Cell* a, const Cell* b) {
    int t = type_of(a);
    if (t != type_of(b)) return false;
    if (series::series_type(t)) return a->data1 == b->data1 && a->data2 == b->data2;
    switch (t) {
        case TYPE_DATATYPE: case TYPE_LOGIC: case TYPE_OBJECT:
            return a->data1 == b->data1;
        case TYPE_CHAR: case TYPE_INTEGER: case TYPE_BITSET:
            return a->data2 == b->data2;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_PAIR: case TYPE_TIME:
            return a->data2 == b->data2 && a->data3 == b->data3;
        case TYPE_NONE: case TYPE_UNSET:
            return true;
        case TYPE_TUPLE: case TYPE_MONEY: {
            Cell x = *a, y = *b;
            return compare::compare_value(&x, &y, compare::COMP_SAME) == 0;
        }
        case TYPE_NATIVE: case TYPE_ACTION: case TYPE_POINT2D:
            return a->data1 == b->data1 && a->data2 == b->data2;
        case TYPE_OP:
            return a->data2 == b->data2 && a->data3 == b->data3;
        default:
            return a->data1 == b->data1 && a->data2 == b->data2 && a->data3 == b->data3;
    }
}

void init() {
    for (Entry& e : g_table) e = nullptr;
    for (int n = 1; n <= COUNT; n++) g_table[n] = not_built;
    for (auto family : g_families) family();
}

}  // namespace zel::natives

namespace zel::interpreter {

Cell* select_key(bool push, bool to_block) {
    Cell* args = stack::arguments();
    Cell key = args[0];
    Cell block = args[1];
    Cell result = none::g_none;
    if (type_of(&key) != TYPE_BLOCK) {
        int32_t tail = int32_t(memory::series_of(block.data2)->used() / sizeof(Cell));
        int32_t step = push ? 1 : 2;
        for (int32_t i = int32_t(block.data1) < 0 ? 0 : int32_t(block.data1); i < tail; i += step) {
            Cell candidate = memory::series_of(block.data2)->cells()[i];
            if (type_of(&candidate) != type_of(&key)) continue;
            if (!compare::compare(&key, &candidate, compare::COMP_EQUAL)) continue;
            // The comparison may run code: the buffer is read again.
            Series* s = memory::series_of(block.data2);
            tail = int32_t(s->used() / sizeof(Cell));
            if (to_block) {
                for (int32_t j = i + 1; j < tail; j++)
                    if (type_of(s->cells() + j) == TYPE_BLOCK) {
                        result = s->cells()[j];
                        break;
                    }
            } else {
                result = i + 1 < tail ? s->cells()[i + 1] : s->cells()[i];
            }
            break;
        }
    }
    if (push) return stack::push(&result);
    return stack::set_last(&result);
}

}  // namespace zel::interpreter
