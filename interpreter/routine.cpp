// routine!: the routine table, making routines, running their code, the
// boot-only intrinsic, and the handlers form, mold and compare.
#include "interpreter/routine.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/frames.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/function.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::routine {

namespace {

Entry g_table[TABLE_SLOTS];
int g_count = 0;

constexpr const char* INTRINSIC = "_boot-routine";
// The names of the intrinsics defined, for end_boot.
std::vector<const char*> g_intrinsics;

Cell block_of(Node node) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, node);
    return b;
}

int32_t total_of(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }
Cell item_at(const Cell* block, int32_t i) { return memory::series_of(block->data2)->cells()[i]; }

int count_words(const Cell* spec) {
    int n = 0;
    for (int32_t i = 0; i < total_of(spec); i++)
        if (type_of(memory::series_of(spec->data2)->cells() + i) == TYPE_WORD) n++;
    return n;
}

// The argument cell checked by the first word of its type block (none
// given: any type) and turned into a machine value.
MachineValue machine_value(Cell* argument, const Cell* types, const Cell* word) {
    if (types && block::length_q(types) > 0) {
        Cell first = *block::head(const_cast<Cell*>(types));
        if (type_of(&first) != TYPE_WORD) fire(ERR_script_invalid_type_spec, &first);
        if (!symbol::any_type_q(&first)) {
            const Cell* kind = context::get(&first);
            bool ok = type_of(kind) == TYPE_TYPESET    ? typeset::has(kind, type_of(argument))
                      : type_of(kind) == TYPE_DATATYPE ? int(kind->data1) == type_of(argument)
                                                       : false;
            if (!ok) {
                Cell name = frames::get_call_word();
                Cell type = raise::datatype_arg(type_of(argument));
                Cell arg = *word;
                cell::set_type(&arg, TYPE_WORD);
                fire(ERR_script_expect_arg, &name, &type, &arg);
            }
        }
    }
    MachineValue v;
    switch (type_of(argument)) {
        case TYPE_LOGIC: v.integer = logic::get(argument) ? 1 : 0; break;
        case TYPE_INTEGER: v.integer = cell::get_int(argument); break;
        case TYPE_FLOAT: v.number = cell::get_float(argument); break;
        default: v.cell = argument; break;
    }
    return v;
}

// `_boot-routine spec key`: a routine over the table entry named by the
// key block's first word.
MachineValue make_from_key(const MachineValue* arguments) {
    Cell spec = *arguments[0].cell, key = *arguments[1].cell;
    int index = -1;
    if (block::length_q(&key) > 0) index = find(block::head(&key));
    if (index < 0) fire(ERR_script_invalid_arg, &key);
    Cell made = *push(&spec, &key, index);
    stack::pop(1);
    *stack::arguments() = made;
    return MachineValue{.cell = nullptr};
}

}  // namespace

// ---- The table -----------------------------------------------------------------------------

int register_code(const char* key, Code code, int result, bool cells) {
    for (int i = 0; i < g_count; i++)
        if (g_table[i].code == code && std::string_view(g_table[i].key) == key) return i;
    if (g_count >= TABLE_SLOTS) fire(ERR_internal_limit_hit);
    g_table[g_count] = Entry{key, code, result, cells};
    return g_count++;
}

const Entry* entry(int index) { return index >= 0 && index < g_count ? g_table + index : nullptr; }

int find(const Cell* word) {
    if (!word::any_word_type_q(type_of(word))) return -1;
    // The keys are compared as text, letters folded as symbols fold them:
    // interning every key on every search made the boot routines quadratic.
    int32_t length;
    const uint8_t* name = symbol::utf8(word->data2, length);
    auto fold = [](uint8_t b) { return b >= 'A' && b <= 'Z' ? uint8_t(b | 0x20) : b; };
    for (int i = 0; i < g_count; i++) {
        std::string_view key = g_table[i].key;
        if (key.size() != size_t(length)) continue;
        int32_t k = 0;
        while (k < length && fold(uint8_t(key[k])) == fold(name[k])) k++;
        if (k == length) return i;
    }
    return -1;
}

// ---- Making and running ----------------------------------------------------------------------

Cell* push(const Cell* spec_in, const Cell* body, int index) {
    const Entry* e = entry(index);
    if (!e) fire(ERR_script_invalid_arg, spec_in);
    Cell spec = *spec_in;
    gc::root keep_spec(&spec);
    if (int32_t(spec.data1) != 0) {
        spec = *block::clone(&spec, false, false);
        stack::pop(1);
    }
    Node more = function::alloc_more();
    Cell* r = stack::push_new();
    cell::set(r, TYPE_NONE);
    cell::set(r, TYPE_ROUTINE, 0, spec.data2, more);
    if (e->cells) r->header |= FLAG_CELLS;
    r->header |= (uint32_t(count_words(&spec)) & ARITY_MASK) << ARITY_SHIFT;
    r->data1 = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    Cell* cells = function::more_of(r);
    if (body && type_of(body) == TYPE_BLOCK) cells[function::MORE_BODY] = *body;
    else cells[function::MORE_BODY] = none::g_none;
    cell::set(cells + function::MORE_CODE, TYPE_INTEGER, 0, uint32_t(index));
    cell::set(cells + function::MORE_EXTRA, TYPE_INTEGER, 0, uint32_t(e->result));
    interpreter::build_arg_cache(r);
    return r;
}

void exec(const Cell* routine) {
    const Cell* more = function::more_of(routine);
    const Entry* e = entry(cell::get_int(more + function::MORE_CODE));
    if (!e) fire(ERR_internal_not_done);
    int result_type = cell::get_int(more + function::MORE_EXTRA);
    Cell* first = stack::arguments();
    MachineValue arguments[ARITY_MASK + 1];
    Cell spec = block_of(routine->data2);
    int k = 0;
    for (int32_t i = 0; i < total_of(&spec); i++) {
        Cell item = item_at(&spec, i);
        int t = type_of(&item);
        if (t == TYPE_REFINEMENT) break;
        if (t != TYPE_WORD && t != TYPE_LIT_WORD && t != TYPE_GET_WORD) continue;
        Cell types;
        bool typed = i + 1 < total_of(&spec) && type_of(memory::series_of(spec.data2)->cells() + i + 1) == TYPE_BLOCK;
        if (typed) types = item_at(&spec, i + 1);
        if (k > int(ARITY_MASK)) fire(ERR_internal_limit_hit);
        if (routine->header & FLAG_CELLS) arguments[k].cell = first + k;
        else arguments[k] = machine_value(first + k, typed ? &types : nullptr, &item);
        k++;
    }
    MachineValue answer = e->code(arguments);
    switch (result_type) {
        case RESULT_LOGIC: logic::set(stack::arguments(), answer.integer != 0); break;
        case RESULT_INTEGER: cell::set(stack::arguments(), TYPE_INTEGER, 0, uint32_t(answer.integer)); break;
        case RESULT_FLOAT:
            cell::set(stack::arguments(), TYPE_FLOAT);
            cell::put_float(stack::arguments(), answer.number);
            break;
        default:
            if ((routine->header & FLAG_CELLS) && answer.cell) copy_cell(answer.cell, stack::arguments());
            break;
    }
}

// ---- Boot ---------------------------------------------------------------------------------------

void define_intrinsic(const char* name, const char* spec_text, Code code, int result) {
    Cell spec{TYPE_NONE, 0, 0, 0}, made{TYPE_NONE, 0, 0, 0};
    gc::root keep_spec(&spec), keep_made(&made);
    lexer::scan(&spec, reinterpret_cast<const uint8_t*>(spec_text), int64_t(std::strlen(spec_text)), 0);
    int index = register_code(name, code, result, true);
    made = *push(&spec, nullptr, index);
    stack::pop(1);
    Cell word = word::load(name);
    context::set(&word, &made);
    for (const char* defined : g_intrinsics)
        if (std::string_view(defined) == name) return;
    g_intrinsics.push_back(name);
}

void define_boot_intrinsic() { define_intrinsic(INTRINSIC, "spec [block!] key [block!]", make_from_key, RESULT_OWN); }

void end_boot() {
    for (const char* name : g_intrinsics) {
        Cell word = word::load(name);
        context::set(&word, &unset::g_unset);
    }
}

// ---- Handlers ------------------------------------------------------------------------------------

int form(Cell*, Cell* buffer, int part) { return cell_text::mold_literal(buffer, "?routine?", false, part); }

int mold(Cell* value, Cell* buffer, bool, bool all, bool flat, int part, int indent) {
    part = cell_text::mold_literal(buffer, "routine ", false, part);
    part = function::mold_spec(value, buffer, all, flat, part, indent);
    Cell body = function::more_of(value)[function::MORE_BODY];
    if (type_of(&body) != TYPE_BLOCK) part = cell_text::mold_literal(buffer, " ", false, part);
    return datatype::handler<ACT_MOLD>(type_of(&body))(&body, buffer, false, all, flat, part, indent);
}

int compare(Cell* value1, Cell* value2, int op) { return function::compare_more(value1, value2, op); }

void init() {
    datatype::TypeRecord r(TYPE_ROUTINE, TYPE_FUNCTION, "routine!");
    r.inherit(ACT_REFLECT).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::routine
