// Action dispatch: the handler lookup and its errors, the 61 action entries
// (refinement slots decoded into the handlers' arguments, /part and /dup
// rules of the adding actions) and the workers C++ callers use.
#include "interpreter/dispatch.h"

#include <algorithm>
#include <climits>

#include "foundation/compare.h"
#include "foundation/frames.h"
#include "foundation/raise.h"
#include "interpreter/eval.h"
#include "scalars/int_math.h"
#include "scalars/simple_types.h"
#include "series/series.h"
#include "series/string.h"
#include "words/context.h"
#include "words/words.h"

namespace zel::dispatch {

natives::Entry g_entries[ACTION_COUNT + 1];

namespace {

using exits::Exit;

inline Cell* a(int i) { return stack::arguments() + i; }
inline Cell* opt(const int32_t* r, int k) { return r[k] < 0 ? nullptr : stack::arguments() + r[k]; }
inline bool flag(const int32_t* r, int k) { return r[k] >= 0; }
inline Exit answer(const Cell* value) {
    copy_cell(value, a(0));
    return Exit{};
}

[[noreturn]] void no_handler(int type) {
    Cell value;
    cell::set(&value, type);
    raise::expect_arg(&value, 0);
}

// A port's actor field; null when its object is too short to have one.
const Cell* port_actor(const Cell* port) {
    Node ctx = port->data1;
    if (ctx == 0 || context::word_count(ctx) <= PORT_ACTOR) return nullptr;
    Cell* values = context::values_of(context::cell_of(ctx));
    return values ? values + PORT_ACTOR : nullptr;
}

// ---- Class D: the handler reads the stack --------------------------------------------------

template <int A>
Exit stack_entry(bool, const int32_t*) {
    return answer(handler<A>(a(0))());
}

// add, subtract and multiply: two integers that do not overflow are summed
// here, as their handler would; anything else goes to it.
template <int A>
Exit math_entry(bool, const int32_t*) {
    Cell* args = stack::arguments();
    if (type_of(args) == TYPE_INTEGER && type_of(args + 1) == TYPE_INTEGER) {
        int32_t x = cell::get_int(args), y = cell::get_int(args + 1), n;
        int_math::Op op{};
        if (int_math::of_action(A, &op) && int_math::fits(op, x, y, &n)) {
            cell::set(args, TYPE_INTEGER, 0, uint32_t(n));
            return Exit{};
        }
    }
    return answer(handler<A>(args)());
}

// ---- Class W ---------------------------------------------------------------------------------

Exit make_(bool, const int32_t*) { return answer(make(a(0), a(0), a(1))); }
Exit to_(bool, const int32_t*) { return answer(to(a(0), a(0), a(1))); }

Exit random_(bool, const int32_t* r) {
    return answer(handler<ACT_RANDOM>(a(0))(a(0), flag(r, 0), flag(r, 1), flag(r, 2)));
}

Exit reflect_(bool, const int32_t*) { return answer(handler<ACT_REFLECT>(a(0))(a(0), int(a(1)->data2))); }

// form and mold: the text goes into a new string after the value, which
// becomes the result; a limit below 1 gives an empty string at once.
template <bool MOLD>
Exit text_entry(const int32_t* r, int part_slot) {
    Cell* limit = opt(r, part_slot);
    int part = limit ? cell::number_to_int(limit) : INT_MAX;
    if (part < 1) {
        string::make_at(a(0), 0);
        stack::keep();
        return Exit{};
    }
    stack::keep();
    Cell* buffer = stack::push_new();
    string::make_at(buffer, 16);
    if (MOLD) mold(a(0), buffer, flag(r, 0), flag(r, 1), flag(r, 2), part, 0);
    else form(a(0), buffer, part);
    if (limit) string::truncate(memory::series_of(buffer->data2), part);
    copy_cell(buffer, a(0));
    stack::keep();
    return Exit{};
}
Exit form_(bool, const int32_t* r) { return text_entry<false>(r, 0); }
Exit mold_(bool, const int32_t* r) { return text_entry<true>(r, 3); }

Exit eval_path_(bool, const int32_t*) {
    return answer(eval_path(a(0), a(1), nullptr, nullptr, nullptr, nullptr, 0, false, true, false));
}

Exit compare_(bool, const int32_t*) {
    bool truth = compare::compare(a(0), a(1), cell::get_int(a(2)));
    logic::set(a(0), truth);
    return Exit{};
}

Exit negate_(bool, const int32_t*) {
    handler<ACT_NEGATE>(a(0))(a(0));
    return Exit{};
}

Exit round_(bool, const int32_t* r) {
    return answer(handler<ACT_ROUND>(a(0))(a(0), opt(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4),
                                          flag(r, 5), flag(r, 6)));
}

template <int A>
Exit predicate_entry(bool, const int32_t*) {
    logic::set(a(0), handler<A>(a(0))(a(0)));
    return Exit{};
}

Exit complement_(bool, const int32_t*) { return answer(handler<ACT_COMPLEMENT>(a(0))(a(0))); }

// ---- Adding: /part and /dup ----------------------------------------------------------------

bool has_buffer(const Cell* value) {
    int t = type_of(value);
    return (series::series_type(t) || t == TYPE_MAP) && value->data2 != 0;
}

void clamp_head(Cell* series) {
    int total = series::abs_length_q(series);
    if (int32_t(series->data1) > total) series->data1 = uint32_t(total);
}

[[noreturn]] void invalid_part(const Cell* part) {
    Cell word = words::refinement(words::Ref::part);
    fire(ERR_script_invalid_refine_arg, &word, part);
}

// The count a /part argument gives against the series `of`: an integer, or
// the distance to a position of the same series.
int part_count(const Cell* of, const Cell* part) {
    if (type_of(part) == TYPE_INTEGER) return cell::get_int(part);
    if (type_of(part) == type_of(of) && part->data2 == of->data2 && type_of(of) != TYPE_PORT)
        return int(int32_t(part->data1)) - int(int32_t(of->data1));
    invalid_part(part);
}

// A negative count moves the head back (not below 0) and counts what it passed.
int count_back(Cell* series, int count) {
    if (count >= 0) return count;
    int head = int32_t(series->data1);
    int moved = std::max(head + count, 0);
    series->data1 = uint32_t(moved);
    return head - moved;
}

template <int A>
Exit adding_entry(bool, const int32_t* r) {
    Cell* series = a(0);
    Cell* value = a(1);
    Cell* part = opt(r, 0);
    Cell* dup = opt(r, 2);
    if (A == ACT_INSERT && type_of(series) != TYPE_PORT && series::series_type(type_of(series))) clamp_head(series);
    int count = -1;
    if (part) {
        if (!has_buffer(value)) fire(ERR_script_invalid_part, part);
        clamp_head(value);
        count = part_count(value, part);
        if (count == 0) return Exit{};
        count = count_back(value, count);
    }
    int times = dup ? cell::get_int(dup) : 1;
    if (times < 1) return Exit{};
    return answer(handler<A>(series)(series, value, count, flag(r, 1), times));
}

Exit change_(bool, const int32_t* r) {
    Cell* target = a(0);
    Cell* part = opt(r, 0);
    Cell* dup = opt(r, 2);
    bool whole = type_of(target) == TYPE_PORT || type_of(target) == TYPE_IMAGE;
    int count = -1;
    if (part) {
        if (!whole && series::series_type(type_of(target))) clamp_head(target);
        if (type_of(part) == TYPE_INTEGER) count = cell::get_int(part);
        else if (!whole) count = part_count(target, part);
        else invalid_part(part);
        count = whole ? std::max(count, 0) : count_back(target, count);
    }
    int times = dup ? cell::get_int(dup) : 1;
    if (times < 1) return Exit{};
    return answer(handler<ACT_CHANGE>(target)(target, a(1), count, flag(r, 1), times));
}

Exit clear_(bool, const int32_t*) {
    handler<ACT_CLEAR>(a(0))(a(0));
    return Exit{};
}

// copy's spec: value /part length /deep /types kind.
constexpr int COPY_KIND_ARG = 5;

Exit copy_(bool, const int32_t* r) {
    Cell* types = opt(r, 2);
    if (types && type_of(types) != TYPE_DATATYPE && type_of(types) != TYPE_TYPESET) {
        raise::expect_arg(types, COPY_KIND_ARG);
    }
    Cell* result = stack::push(&unset::g_unset);
    return answer(handler<ACT_COPY>(a(0))(a(0), result, opt(r, 0), flag(r, 1), types));
}

Exit find_(bool, const int32_t* r) {
    return answer(handler<ACT_FIND>(a(0))(a(0), a(1), opt(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4),
                                         opt(r, 5), opt(r, 6), flag(r, 7), flag(r, 8), flag(r, 9), flag(r, 10)));
}

Exit select_(bool, const int32_t* r) {
    return answer(handler<ACT_SELECT>(a(0))(a(0), a(1), opt(r, 0), flag(r, 1), flag(r, 2), flag(r, 3),
                                           flag(r, 4), opt(r, 5), opt(r, 6), flag(r, 7), flag(r, 8)));
}

Exit length_q_(bool, const int32_t*) {
    int n = handler<ACT_LENGTH_Q>(a(0))(a(0));
    if (n < 0) cell::set(a(0), TYPE_NONE);
    else cell::set(a(0), TYPE_INTEGER, 0, uint32_t(n));
    return Exit{};
}

Exit move_(bool, const int32_t* r) { return answer(handler<ACT_MOVE>(a(0))(a(0), a(1), opt(r, 0))); }

Exit pick_(bool, const int32_t*) { return answer(handler<ACT_PICK>(a(0))(a(0), pick_index(a(1)), a(1))); }

Exit poke_(bool, const int32_t*) {
    handler<ACT_POKE>(a(0))(a(0), pick_index(a(1)), a(2), a(1));
    return answer(a(2));
}

Exit put_(bool, const int32_t* r) { return answer(handler<ACT_PUT>(a(0))(a(0), a(1), a(2), flag(r, 0))); }
Exit remove_(bool, const int32_t* r) { return answer(handler<ACT_REMOVE>(a(0))(a(0), opt(r, 0), opt(r, 1))); }
Exit reverse_(bool, const int32_t* r) { return answer(handler<ACT_REVERSE>(a(0))(a(0), opt(r, 0), opt(r, 1))); }

Exit sort_(bool, const int32_t* r) {
    return answer(handler<ACT_SORT>(a(0))(a(0), flag(r, 0), opt(r, 1), opt(r, 2), opt(r, 3), flag(r, 4),
                                         flag(r, 5), flag(r, 6)));
}

Exit swap_(bool, const int32_t*) { return answer(handler<ACT_SWAP>(a(0))(a(0), a(1))); }

Exit take_(bool, const int32_t* r) {
    return answer(handler<ACT_TAKE>(a(0))(a(0), opt(r, 0), flag(r, 1), flag(r, 2)));
}

Exit trim_(bool, const int32_t* r) {
    return answer(handler<ACT_TRIM>(a(0))(a(0), flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), flag(r, 4),
                                         opt(r, 5)));
}

template <int A>
Exit port_entry(bool, const int32_t*) {
    return answer(handler<A>(a(0))(a(0)));
}

Exit modify_(bool, const int32_t* r) {
    handler<ACT_MODIFY>(a(0))(a(0), a(1), a(2), flag(r, 0));
    return Exit{};
}

Exit open_(bool, const int32_t* r) {
    return answer(handler<ACT_OPEN>(a(0))(a(0), flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), opt(r, 4)));
}

Exit read_(bool, const int32_t* r) {
    return answer(handler<ACT_READ>(a(0))(a(0), opt(r, 0), opt(r, 1), flag(r, 2), flag(r, 3), flag(r, 4),
                                         opt(r, 5)));
}

Exit rename_(bool, const int32_t*) { return answer(handler<ACT_RENAME>(a(0))(a(0), a(1))); }

Exit write_(bool, const int32_t* r) {
    return answer(handler<ACT_WRITE>(a(0))(a(0), a(1), flag(r, 0), flag(r, 1), flag(r, 2), flag(r, 3), opt(r, 4),
                                          opt(r, 5), opt(r, 6), opt(r, 7)));
}

struct EntryRow {
    int id;
    natives::Entry entry;
};

const EntryRow g_rows[] = {
    {ACT_MAKE, make_},
    {ACT_RANDOM, random_},
    {ACT_REFLECT, reflect_},
    {ACT_TO, to_},
    {ACT_FORM, form_},
    {ACT_MOLD, mold_},
    {ACT_EVAL_PATH, eval_path_},
    {ACT_COMPARE, compare_},
    {ACT_ABSOLUTE, stack_entry<ACT_ABSOLUTE>},
    {ACT_ADD, math_entry<ACT_ADD>},
    {ACT_DIVIDE, stack_entry<ACT_DIVIDE>},
    {ACT_MULTIPLY, math_entry<ACT_MULTIPLY>},
    {ACT_NEGATE, negate_},
    {ACT_POWER, stack_entry<ACT_POWER>},
    {ACT_REMAINDER, stack_entry<ACT_REMAINDER>},
    {ACT_ROUND, round_},
    {ACT_SUBTRACT, math_entry<ACT_SUBTRACT>},
    {ACT_EVEN_Q, predicate_entry<ACT_EVEN_Q>},
    {ACT_ODD_Q, predicate_entry<ACT_ODD_Q>},
    {ACT_AND_T, stack_entry<ACT_AND_T>},
    {ACT_COMPLEMENT, complement_},
    {ACT_OR_T, stack_entry<ACT_OR_T>},
    {ACT_XOR_T, stack_entry<ACT_XOR_T>},
    {ACT_APPEND, adding_entry<ACT_APPEND>},
    {ACT_AT, stack_entry<ACT_AT>},
    {ACT_BACK, stack_entry<ACT_BACK>},
    {ACT_CHANGE, change_},
    {ACT_CLEAR, clear_},
    {ACT_COPY, copy_},
    {ACT_FIND, find_},
    {ACT_HEAD, stack_entry<ACT_HEAD>},
    {ACT_HEAD_Q, stack_entry<ACT_HEAD_Q>},
    {ACT_INDEX_Q, stack_entry<ACT_INDEX_Q>},
    {ACT_INSERT, adding_entry<ACT_INSERT>},
    {ACT_LENGTH_Q, length_q_},
    {ACT_MOVE, move_},
    {ACT_NEXT, stack_entry<ACT_NEXT>},
    {ACT_PICK, pick_},
    {ACT_POKE, poke_},
    {ACT_PUT, put_},
    {ACT_REMOVE, remove_},
    {ACT_REVERSE, reverse_},
    {ACT_SELECT, select_},
    {ACT_SORT, sort_},
    {ACT_SKIP, stack_entry<ACT_SKIP>},
    {ACT_SWAP, swap_},
    {ACT_TAIL, stack_entry<ACT_TAIL>},
    {ACT_TAIL_Q, stack_entry<ACT_TAIL_Q>},
    {ACT_TAKE, take_},
    {ACT_TRIM, trim_},
    {ACT_CREATE, port_entry<ACT_CREATE>},
    {ACT_CLOSE, port_entry<ACT_CLOSE>},
    {ACT_DELETE, port_entry<ACT_DELETE>},
    {ACT_MODIFY, modify_},
    {ACT_OPEN, open_},
    {ACT_OPEN_Q, port_entry<ACT_OPEN_Q>},
    {ACT_QUERY, port_entry<ACT_QUERY>},
    {ACT_READ, read_},
    {ACT_RENAME, rename_},
    {ACT_UPDATE, port_entry<ACT_UPDATE>},
    {ACT_WRITE, write_},
};
static_assert(sizeof g_rows / sizeof g_rows[0] == ACTION_COUNT - 1, "every action but set-path has an entry");

}  // namespace

void init() {
    for (natives::Entry& e : g_entries) e = nullptr;
    for (const EntryRow& row : g_rows) g_entries[row.id] = row.entry;
}

datatype::AnyHandler get_handler_in(int type, const Cell* value, int id) {
    if (type == TYPE_PORT && id > ACT_XOR_T && value) {
        const Cell* actor = port_actor(value);
        if (actor && type_of(actor) == TYPE_HANDLE) fire(ERR_access_invalid_port);
    }
    datatype::AnyHandler h = datatype::raw_handler(type, id);
    if (!h) no_handler(type);
    return h;
}

// ---- Workers -----------------------------------------------------------------------------------

namespace {
// make and to: the handler of the type a datatype! names, given that type.
Cell* made(int action, Cell* result, Cell* type, Cell* spec) {
    int t = make_type(type);
    auto h = reinterpret_cast<action::MakeFn>(get_handler_in(t, type, action));
    return copy_cell(h(type, spec, t), result);
}
}  // namespace

Cell* make(Cell* result, Cell* type, Cell* spec) { return made(ACT_MAKE, result, type, spec); }
Cell* to(Cell* result, Cell* type, Cell* spec) { return made(ACT_TO, result, type, spec); }

Cell* compare_args(int op) {
    Cell* args = stack::arguments();
    logic::set(args, compare::compare(args, args + 1, op));
    return args;
}

int pick_index(const Cell* index) {
    switch (type_of(index)) {
        case TYPE_LOGIC: return index->data1 ? 1 : 2;
        case TYPE_CHAR: case TYPE_INTEGER: return int32_t(index->data2);
        default: return 0;
    }
}

}  // namespace zel::dispatch
