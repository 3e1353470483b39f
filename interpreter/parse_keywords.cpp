// PARSE keywords and matching: what the engine does with a rule word, a
// terminal value and a typed rule at the input position; the direct scans
// of to/thru and of repeated literals; and the resolution of each keyword
// record (copy, set, not, ahead, into, case, collect, keep, remove, change,
// to and thru with a rule).
//
// Relies on: the string, binary, bitset and block matchers, case folding,
// the comparison service, the series actions (copy, insert, remove, change,
// append), the lexer's one-value scan, contexts (words set and looked up).
#include <algorithm>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "interpreter/dispatch.h"
#include "interpreter/parse_engine.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "series/binary.h"
#include "series/bitset.h"
#include "series/block.h"
#include "series/case_folding.h"
#include "series/series.h"
#include "series/string.h"
#include "words/context.h"

namespace zel::parser {

namespace {

int32_t units_of(const Cell* series) { return series::abs_length_q(series); }
// Units from a value's head to its tail.
int32_t length_of(const Cell* series) {
    return std::max(units_of(series) - std::clamp(int32_t(series->data1), 0, units_of(series)), 0);
}
bool text_like(int type) { return series::any_string(type); }

Cell integer_cell(int32_t n) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(n));
    return c;
}

// Action A by the series' datatype.
template <int A, typename... Args>
Cell* act(Cell* series, Args... args) {
    return dispatch::handler<A>(series)(series, args...);
}

}  // namespace

// ---- Items ---------------------------------------------------------------------------------------

Cell Engine::item_at(int32_t i) {
    Cell c;
    Series* s = memory::series_of(input().data2);
    if (input_class == IN_STRING) cell::set(&c, TYPE_CHAR, 0, string::abs_at(&input(), i));
    else if (input_class == IN_BINARY) cell::set(&c, TYPE_INTEGER, 0, s->head()[i]);
    else c = s->cells()[i];
    return c;
}

void Engine::copy_range(int32_t start, int32_t end, Cell* out) {
    Cell from = input();
    gc::root keep(&from);
    from.data1 = uint32_t(start);
    Cell part = integer_cell(std::max(end - start, 0));
    act<ACT_COPY>(&from, out, &part, false, static_cast<Cell*>(nullptr));
}

bool Engine::marks_input(const Cell* cell, Cell* out) {
    int t = type_of(cell);
    if (t != TYPE_WORD && t != TYPE_GET_WORD) return false;
    Cell word = *cell;
    if (!lookup(&word, out)) return false;
    return type_of(out) == type_of(&input()) && out->data2 == input().data2;
}

// ---- Words and keywords ----------------------------------------------------------------------

State Engine::word() {
    bool argument_word = word_arg;
    word_arg = false;
    Cell w = value();
    Keyword k = keyword_of(&w);
    if (k != KW_NONE_FOUND && k != KW_ONLY && k != KW_PICK && k != KW_AFTER) return keyword(k);
    Cell v;
    if (!lookup(&w, &v)) fail_rule(&w);
    value() = v;
    from_word = true;
    if (argument_word) return type_of(&v) == TYPE_WORD ? S_MATCH : S_ARGUMENT;
    return S_DISPATCH;
}

State Engine::keyword(Keyword k) {
    switch (k) {
        case KW_BAR:
            // The alternative before it matched: the block is done.
            pos = tail;
            return S_FETCH;
        case KW_ANY: case KW_SOME: case KW_OPT:
            if (pos + 1 >= tail) fail_end(k);
            return enter_keyword(k == KW_SOME ? 1 : 0, k == KW_OPT ? 1 : -1, K_REPEAT);
        case KW_WHILE: return enter_keyword(0, -1, K_WHILE);
        case KW_SKIP:
            match = !at_end();
            if (match) set_ipos(ipos() + 1);
            return event(EV_MATCH) ? S_DECIDE : S_EXIT;
        case KW_END: match = at_end(); return event(EV_MATCH) ? S_DECIDE : S_EXIT;
        case KW_NONE: match = true; return event(EV_MATCH) ? S_DECIDE : S_EXIT;
        case KW_FAIL: match = false; return event(EV_MATCH) ? S_DECIDE : S_EXIT;
        case KW_BREAK: case KW_REJECT:
            match = k == KW_BREAK;
            break_flag = pop_pending = true;
            if (k == KW_BREAK) pos = std::min(pos + 1, tail);
            return event(EV_MATCH) ? S_RESOLVE : S_EXIT;
        case KW_TO: case KW_THRU: return to_thru(k);
        case KW_COPY: case KW_SET: {
            Cell target = rule_cell(pos + 1);
            if (pos + 2 >= tail || type_of(&target) != TYPE_WORD) fail_end(k);
            pos++;
            return enter_keyword(target, k == KW_COPY ? K_COPY : K_SET, 0);
        }
        case KW_NOT: return enter_keyword(-1, 0, K_NOT);
        case KW_AHEAD: return enter_keyword(-1, 0, K_AHEAD);
        case KW_INTO: return into();
        case KW_IF: {
            Cell code = rule_cell(pos + 1);
            if (pos + 1 >= tail || type_of(&code) != TYPE_PAREN) fail_end(KW_IF);
            pos++;
            Cell answer;
            gc::root keep(&code);
            if (!run_paren(&code, &answer)) return S_EXIT;
            match = !logic::is_false(&answer);
            return event(EV_MATCH) ? S_DECIDE : S_EXIT;
        }
        case KW_QUOTE:
            if (pos + 1 >= tail) fail_end(KW_QUOTE);
            pos++;
            value() = rule_cell(pos);
            return S_MATCH;
        case KW_CASE: {
            Cell w = rule_cell(pos + 1);
            if (pos + 1 >= tail || type_of(&w) != TYPE_WORD) fail_end(KW_CASE);
            Cell v;
            if (!lookup(&w, &v)) fail_rule(&w);
            int previous = mode;
            mode = logic::is_false(&v) ? 0 : 2;
            pos++;
            return enter_keyword(-1, previous, K_CASE);
        }
        case KW_COLLECT: return collect();
        case KW_KEEP: return keep();
        case KW_INSERT: return insert_();
        case KW_REMOVE: return remove_();
        case KW_CHANGE: return change_();
        default: return S_EXIT;  // only, pick and after never reach here
    }
}

// ---- Terminal values -------------------------------------------------------------------------

bool Engine::compare_values(const Cell* item, const Cell* rule_value) {
    int t = type_of(rule_value);
    int op = mode == 2 ? compare::COMP_STRICT_EQUAL : compare::COMP_EQUAL;
    if (t == TYPE_LIT_WORD || t == TYPE_LIT_PATH)
        op = mode == 2 ? compare::COMP_EQUAL_WORD : compare::COMP_EQUAL_WORD_CI;
    Cell a = *item, b = *rule_value;
    return compare::compare(&a, &b, op);
}

int32_t Engine::advance_of(const Cell* v) {
    int t = type_of(v);
    if (t == TYPE_TAG) return length_of(v) + 2;
    if (text_like(t) || t == TYPE_BINARY) return length_of(v);
    return 1;
}

State Engine::match_value() {
    Cell v = value();
    int t = type_of(&v);
    if (at_end()) {
        match = input_class == IN_STRING && (t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL) &&
                length_of(&v) == 0;
    } else if (input_class == IN_BLOCK) {
        Cell item = item_at(ipos());
        match = compare_values(&item, &v);
        if (match) set_ipos(ipos() + 1);
    } else {
        if (input_class == IN_BINARY)
            match = t == TYPE_BITSET ? binary::match_bitset_q(&input(), &v) : binary::match_q(&input(), &v);
        else
            match = t == TYPE_BITSET ? string::match_bitset_q(&input(), &v) : string::match_q(&input(), &v, mode);
        if (match) set_ipos(std::min(ipos() + advance_of(&v), units()));
    }
    return event(EV_MATCH) ? S_DECIDE : S_EXIT;
}

State Engine::typed_match() {
    if (input_class == IN_STRING) fire(ERR_script_parse_unsupported);
    Cell v = value();
    if (at_end()) {
        match = false;
    } else if (input_class == IN_BLOCK) {
        Cell item = item_at(ipos());
        int it = type_of(&item);
        match = type_of(&v) == TYPE_DATATYPE ? it == int(v.data1) : typeset::has(&v, it);
    } else {
        match = match_type_binary(&v);
    }
    if (!event(EV_MATCH)) return S_EXIT;
    return match ? S_ADVANCE : S_DECIDE;
}

bool Engine::match_type_binary(const Cell* v) {
    int64_t consumed = 0;
    int type = lexer::scan_binary(nullptr, &input(), units() - ipos(), lexer::ONE_VALUE | lexer::SCAN_ONLY,
                                  &consumed);
    if (type <= 0 || type == TYPE_ERROR || consumed <= 0) return false;
    bool ok = type_of(v) == TYPE_DATATYPE ? type == int(v->data1) : typeset::has(v, type);
    // The last unit is the advance state's.
    if (ok) set_ipos(std::min(ipos() + int32_t(consumed) - 1, units()));
    return ok;
}

// ---- Units against a char! or bitset! ---------------------------------------------------------

int32_t Engine::scan_units(const Cell* v, int32_t from, int32_t end, bool hit) {
    Series* s = memory::series_of(input().data2);
    const int unit = s->unit();
    const uint8_t* base = s->head();
    const bool is_char = type_of(v) == TYPE_CHAR;
    // Binary input and /case compare exactly; text otherwise folds both sides.
    const bool exact = input_class == IN_BINARY || mode == 2;
    const uint32_t want = !is_char ? 0 : exact ? v->data2 : case_folding::upper_char(v->data2);
    int32_t i = from;
    for (; i < end; i++) {
        uint32_t c = memory::unit_value(base + int64_t(i) * unit, unit);
        bool member = is_char ? (exact ? c : case_folding::upper_char(c)) == want : bitset::has(v, c);
        if (member == hit) break;
    }
    return i;
}

// ---- to and thru ---------------------------------------------------------------------------------

State Engine::to_thru(Keyword k) {
    Cell next = rule_cell(pos + 1);
    if (pos + 1 < tail && keyword_of(&next) == KW_END) {
        match = true;
        pos++;
        int32_t u = units();
        set_ipos(limit > 0 && limit < u ? limit : u);
        return event(EV_MATCH) ? S_DECIDE : S_EXIT;
    }
    return enter_keyword(-1, 0, k == KW_TO ? K_TO : K_THRU);
}

bool Engine::find_value(int32_t base, const Cell* v) {
    int32_t u = units();
    int32_t end = limit > 0 && limit < u ? limit : u;
    int32_t from = ipos();
    int t = type_of(v);
    int32_t found = -1, span = 1;
    if (input_class == IN_BLOCK) {
        for (int32_t i = from; i < end && found < 0; i++) {
            Cell item = item_at(i);
            if (compare_values(&item, v)) found = i;
        }
    } else if (t == TYPE_CHAR || t == TYPE_BITSET) {
        int32_t at = scan_units(v, from, end, true);
        if (at < end) found = at;
    } else if (text_like(t) || t == TYPE_BINARY) {
        span = advance_of(v);
        Cell at = input();
        for (int32_t i = from; i + span <= end; i++) {
            at.data1 = uint32_t(i);
            bool hit = input_class == IN_BINARY ? binary::match_q(&at, v) : string::match_q(&at, v, mode);
            if (hit) {
                found = i;
                break;
            }
        }
    } else {
        fail_rule(v);
    }
    if (found < 0) return false;
    set_rec_input(base, found, u - found);
    set_ipos(found + span);
    return true;
}

// ---- Repeated literals -------------------------------------------------------------------------

bool Engine::repeat_value(const Cell* v, int32_t min, int32_t max) {
    int32_t u = units();
    int32_t end = limit > 0 && limit < u ? limit : u;
    int32_t start = ipos(), p = start;
    if (end - p <= 0 || end - p < min) return false;
    int t = type_of(v);
    int32_t count = 0;
    auto more = [&] { return p < end && (max < 0 || count < max); };
    if (input_class == IN_BLOCK) {
        while (more()) {
            Cell item = item_at(p);
            if (!compare_values(&item, v)) break;
            p++;
            count++;
        }
    } else if (t == TYPE_CHAR || t == TYPE_BITSET) {
        int32_t stop = max < 0 ? end : int32_t(std::min<int64_t>(end, int64_t(p) + max));
        p = scan_units(v, p, stop, false);
        count = p - start;
    } else if (text_like(t) || t == TYPE_BINARY) {
        int32_t span = advance_of(v);
        if (span == 0) return true;  // an empty value matches at once
        Cell at = input();
        while (more() && p + span <= end) {
            at.data1 = uint32_t(p);
            bool hit = input_class == IN_BINARY ? binary::match_q(&at, v) : string::match_q(&at, v, mode);
            if (!hit) break;
            p += span;
            count++;
        }
    } else {
        return false;
    }
    bool ok = max < 0 ? count >= min : min <= count && count <= max;
    set_ipos(ok ? p : start);
    return ok;
}

// ---- into ----------------------------------------------------------------------------------------

State Engine::into() {
    if (input_class != IN_BLOCK) {
        Cell in = input();
        fire(ERR_script_parse_block, &in);
    }
    if (pos + 1 >= tail) fail_end(KW_INTO);
    Cell rule = rule_cell(pos + 1);
    if (type_of(&rule) == TYPE_WORD) {
        Cell v;
        if (!lookup(&rule, &v)) fail_end(KW_INTO);
        rule = v;
    }
    if (type_of(&rule) != TYPE_BLOCK) fail_end(KW_INTO);
    if (at_end()) {
        match = false;
        pos++;
        return S_DECIDE;
    }
    Cell item = item_at(ipos());
    int t = type_of(&item);
    if (!series::series_type(t) || t == TYPE_VECTOR || t == TYPE_IMAGE) {
        match = false;
        pos++;
        return event(EV_MATCH) ? S_DECIDE : S_EXIT;
    }
    Cell outer = input();
    push_input(outer, item);
    set_input(&item);
    return enter_keyword(-1, 0, K_INTO);
}

// ---- collect and keep ------------------------------------------------------------------------------

bool Engine::target_fits(const Cell* target) {
    int tt = type_of(target);
    if (!series::series_type(tt) || tt == TYPE_VECTOR || tt == TYPE_IMAGE) return false;
    if (tt != type_of(&input())) {
        if (tt == TYPE_BINARY) return false;
        if (input_class == IN_BLOCK && text_like(tt)) return false;
    }
    return true;
}

State Engine::collect() {
    collect_level++;
    Cell form = rule_cell(pos + 1);
    Keyword k = pos + 1 < tail ? keyword_of(&form) : KW_NONE_FOUND;
    if (k != KW_SET && k != KW_INTO && k != KW_AFTER) {
        block::push_only(8);
        return enter_keyword(-1, 0, K_COLLECT);
    }
    Cell target = rule_cell(pos + 2);
    if (pos + 2 >= tail || type_of(&target) != TYPE_WORD) fail_end(KW_COLLECT);
    int32_t head = 0;
    if (k == KW_SET) {
        stack::push(&target);
        block::push_only(8);
    } else {
        Cell v;
        if (!lookup(&target, &v) || !target_fits(&v)) fire(ERR_script_parse_into_type);
        if (v.data2 == input().data2) fire(ERR_script_parse_into_bad);
        head = int32_t(v.data1);
        Cell marker = target;
        cell::set_type(&marker, k == KW_INTO ? TYPE_GET_WORD : TYPE_REFINEMENT);
        stack::push(&marker);
    }
    pos += 2;
    return enter_keyword(-1, head, K_COLLECT);
}

State Engine::keep() {
    if (collect_level == 0) fire(ERR_script_parse_keep, &keyword_word(KW_KEEP));
    int32_t extra = 0;
    Cell next = rule_cell(pos + 1);
    if (pos + 1 < tail && keyword_of(&next) == KW_PICK) {
        extra = 1;
        pos++;
        next = rule_cell(pos + 1);
    }
    bool code = pos + 1 < tail && type_of(&next) == TYPE_PAREN;
    return enter_keyword(-1, 0, code ? K_KEEP_PAREN : K_KEEP, extra);
}

// Puts a value into the series a collect into/after names: at its current
// position, which moves past it, or at its tail in after-mode.
void Engine::insert_into_target(const Cell* target_word, Cell* v, bool only, bool after) {
    Cell word = *target_word;
    cell::set_type(&word, TYPE_WORD);
    Cell target = none::g_none;
    gc::root keep(&target);
    if (!lookup(&word, &target) || !target_fits(&target)) fire(ERR_script_parse_into_type);
    if (after) target.data1 = uint32_t(units_of(&target));
    Cell* moved = act<ACT_INSERT>(&target, v, -1, only, 1);
    if (after) return;
    Cell position = *moved;
    context::set(&word, &position);
}

bool Engine::keep_units(int32_t start, int32_t end, Cell* target, bool after) {
    int tt = type_of(target);
    if ((!text_like(tt) && tt != TYPE_BINARY) || input_class == IN_BLOCK) return false;
    if (target->data2 == input().data2) return false;
    int unit = memory::series_of(target->data2)->unit();
    if (unit != memory::series_of(input().data2)->unit()) return false;
    int32_t n = end - start;
    int32_t total = units_of(target);
    int32_t at = std::clamp(int32_t(target->data1), 0, total);
    if (after || total == 0) at = total;
    memory::alloc_tail_bytes(target->data2, int64_t(n) * unit);
    uint8_t* to = memory::series_of(target->data2)->head();
    std::memmove(to + int64_t(at + n) * unit, to + int64_t(at) * unit, size_t(total - at) * unit);
    std::memcpy(to + int64_t(at) * unit, memory::series_of(input().data2)->head() + int64_t(start) * unit,
                size_t(n) * unit);
    memory::touch(target);
    target->data1 = uint32_t(int32_t(target->data1) + n);
    return true;
}

void Engine::keep_value(Cell* collect_cell, Cell* v, bool spliced) {
    int ct = type_of(collect_cell);
    if (ct == TYPE_GET_WORD || ct == TYPE_REFINEMENT) {
        insert_into_target(collect_cell, v, !spliced, ct == TYPE_REFINEMENT);
    } else if (spliced) {
        Cell target = *collect_cell;
        act<ACT_APPEND>(&target, v, -1, false, 1);
    } else {
        block::append_cell(collect_cell, v);
    }
}

void Engine::resolve_keep(int32_t base, int32_t kind) {
    if (!match) return;
    Cell* collect_cell = stack::top() - 1;
    int ct = type_of(collect_cell);
    bool into_mode = ct == TYPE_GET_WORD || ct == TYPE_REFINEMENT;
    Cell target = none::g_none;
    gc::root keep(&target);
    if (into_mode) {
        Cell word = *collect_cell;
        cell::set_type(&word, TYPE_WORD);
        if (!lookup(&word, &target) || !target_fits(&target)) fire(ERR_script_parse_into_type);
    }
    bool pick = rec_extra(base) == 1;
    Cell* slot = stack::push_new();
    if (kind == K_KEEP_PAREN) {
        *slot = reg[R_KEPT];
        keep_value(collect_cell, slot, pick);
    } else if (!pick && rec_input_length(base) == K_COPY) {
        lookup(&reg[R_COPY_WORD], slot);
        keep_value(collect_cell, slot, false);
    } else {
        int32_t s = rec_input_index(base), p = std::min(ipos(), units());
        if (s + 1 < p) {
            if (into_mode && keep_units(s, p, &target, ct == TYPE_REFINEMENT)) {
                Cell word = *collect_cell;
                cell::set_type(&word, TYPE_WORD);
                context::set(&word, &target);
            } else if (pick) {
                for (int32_t i = s; i < p && i < units(); i++) {
                    *slot = item_at(i);
                    keep_value(collect_cell, slot, false);
                }
            } else {
                copy_range(s, p, slot);
                keep_value(collect_cell, slot, false);
            }
        } else if (s + 1 == p) {
            *slot = item_at(s);
            keep_value(collect_cell, slot, false);
        }
    }
    stack::g_top = slot;
    refresh();
}

void Engine::resolve_collect(int32_t base) {
    collect_level--;
    Cell* t = stack::top() - 1;
    bool only = t == reserved + 1;
    int tt = type_of(t);
    if (tt == TYPE_GET_WORD || tt == TYPE_REFINEMENT) {
        // The target's position goes back to where the collect found it.
        Cell word = *t, v;
        cell::set_type(&word, TYPE_WORD);
        if (lookup(&word, &v)) {
            v.data1 = uint32_t(rec_max(base));
            context::set(&word, &v);
        }
    }
    if (only) {
        return_block = tt == TYPE_BLOCK;
    } else if (tt == TYPE_BLOCK) {
        Cell* below = t - 1;
        int bt = type_of(below);
        if (bt == TYPE_WORD) {
            Cell word = *below;
            context::set(&word, t);
            stack::g_top = below;
            return_block = false;
        } else if (bt == TYPE_GET_WORD || bt == TYPE_REFINEMENT) {
            insert_into_target(below, t, true, bt == TYPE_REFINEMENT);
            stack::g_top = t;
            return_block = false;
        } else {
            block::append_cell(below, t);
            stack::g_top = t;
            return_block = true;
        }
    } else {
        stack::g_top = t;
    }
    refresh();
}

// ---- insert, remove and change ---------------------------------------------------------------------

bool Engine::take_value(const Cell* cell) {
    int t = type_of(cell);
    if (t == TYPE_PATH) fail_rule(cell);
    if (t == TYPE_PAREN) {
        Cell code = *cell;
        gc::root keep(&code);
        return run_paren(&code, &value()) && event(EV_PAREN);
    }
    if (t == TYPE_WORD) {
        Cell v;
        if (!lookup(cell, &v)) {
            Cell w = *cell;
            fire(ERR_script_no_value, &w);
        }
        value() = v;
        return true;
    }
    value() = *cell;
    return true;
}

bool Engine::step_over_only() {
    Cell next = rule_cell(pos + 1);
    if (pos + 1 >= tail || keyword_of(&next) != KW_ONLY) return false;
    pos++;
    return true;
}

// Runs a series action on the input at `at` (the action's owner handlers
// are Zel code); answers the position the action answers.
template <typename Action>
int32_t Engine::modify_input(int32_t at, Action action) {
    Cell series = input();
    gc::root keep(&series);
    series.data1 = uint32_t(at);
    int32_t after;
    {
        UserCodeScope user(*this);
        after = int32_t(action(&series)->data1);
    }
    refresh();
    return after;
}

State Engine::insert_() {
    bool only = step_over_only();
    pos++;
    if (pos >= tail) fail_end(KW_INSERT);
    int32_t saved = ipos(), at = saved;
    Cell c = rule_cell(pos), mark;
    if (marks_input(&c, &mark)) {
        at = std::clamp(int32_t(mark.data1), 0, units());
        pos++;
        if (pos >= tail) fail_rule(&keyword_word(KW_INSERT));
        c = rule_cell(pos);
    }
    if (!take_value(&c)) return S_EXIT;
    int32_t before = units();
    modify_input(at, [&](Cell* series) { return act<ACT_INSERT>(series, &value(), -1, only, 1); });
    int32_t added = units() - before;
    set_ipos(std::min(saved + (at <= saved ? added : 0), units()));
    return S_FETCH;
}

State Engine::remove_() {
    Cell next = rule_cell(pos + 1);
    if (pos + 1 < tail && type_of(&next) == TYPE_PATH) fail_rule(&keyword_word(KW_REMOVE));
    Cell mark;
    if (pos + 1 < tail && marks_input(&next, &mark)) {
        int32_t m = std::clamp(int32_t(mark.data1), 0, units()), here = ipos();
        int32_t low = std::min(m, here), high = std::max(m, here);
        Cell part = integer_cell(high - low);
        modify_input(low, [&](Cell* series) { return act<ACT_REMOVE>(series, &part, static_cast<Cell*>(nullptr)); });
        set_ipos(std::min(low, units()));
        pos++;
        return S_DECIDE;
    }
    return enter_keyword(-1, 0, K_REMOVE);
}

State Engine::change_() {
    bool only = step_over_only();
    Cell next = rule_cell(pos + 1);
    if (pos + 1 >= tail) fail_end(KW_CHANGE);
    Cell mark;
    if (!marks_input(&next, &mark)) return enter_keyword(-1, 0, only ? K_CHANGE_ONLY : K_CHANGE);
    pos += 2;
    if (pos >= tail) fail_rule(&keyword_word(KW_CHANGE));
    Cell c = rule_cell(pos);
    if (!take_value(&c)) return S_EXIT;
    int32_t m = std::clamp(int32_t(mark.data1), 0, units()), here = ipos();
    int32_t low = std::min(m, here), high = std::max(m, here);
    modify_input(low, [&](Cell* series) { return act<ACT_CHANGE>(series, &value(), high - low, only, 1); });
    set_ipos(std::min(low, units()));
    return S_DECIDE;
}

// ---- Resolving keyword records -----------------------------------------------------------------------

bool Engine::resolve_keyword(int32_t base, int32_t kind, State* next) {
    int32_t start = rec_input_index(base);
    switch (kind) {
        case K_TO: case K_THRU: {
            if (match) {
                if (kind == K_TO) set_ipos(std::min(start, units()));
                return true;
            }
            // The rule failed here: try again one unit further.
            int32_t u = units();
            int32_t further = start + 1;
            if (start >= u || (limit > 0 && further > limit)) return true;
            set_rec_input(base, further, u - further);
            set_ipos(further);
            if (!event(EV_POP) || !event(EV_ITERATE)) {
                *next = S_EXIT;
                return false;
            }
            pos = rules_head() + rec_rule_index(base);
            pop_pending = false;
            match = true;
            *next = S_FETCH;
            return false;
        }
        case K_COPY: case K_SET: {
            if (!match) return true;
            Cell word = *rs_at(base);
            gc::root keep(&word);
            Cell* result = stack::push_new();
            int32_t p = std::min(ipos(), units());
            if (kind == K_COPY) {
                copy_range(start, p, result);
                reg[R_COPY_WORD] = word;
            } else if (p <= start || start >= units()) {
                *result = none::g_none;
            } else {
                *result = item_at(start);
            }
            {
                UserCodeScope user(*this);
                context::set(&word, result);
            }
            stack::g_top = result;
            refresh();
            return true;
        }
        case K_NOT: match = !match; return true;
        case K_AHEAD: set_ipos(std::min(start, units())); return true;
        case K_CASE: mode = rec_max(base); return true;
        case K_INTO: {
            bool ok = match && at_end() && completed;
            Cell outer = pop_input();
            set_input(&outer);
            if (ok) set_ipos(std::min(ipos() + 1, units()));
            match = ok;
            return true;
        }
        case K_COLLECT: resolve_collect(base); return true;
        case K_KEEP: case K_KEEP_PAREN: resolve_keep(base, kind); return true;
        case K_REMOVE: {
            if (!match) return true;
            int32_t p = std::min(ipos(), units());
            Cell part = integer_cell(std::max(p - start, 0));
            modify_input(std::min(start, p),
                         [&](Cell* series) { return act<ACT_REMOVE>(series, &part, static_cast<Cell*>(nullptr)); });
            set_ipos(std::min(start, units()));
            return true;
        }
        case K_CHANGE: case K_CHANGE_ONLY: {
            if (pos + 1 >= tail) fail_end(KW_CHANGE);
            pos++;
            if (!match) return true;
            Cell c = rule_cell(pos);
            if (!take_value(&c)) {
                *next = S_EXIT;
                return false;
            }
            int32_t p = std::min(ipos(), units());
            int32_t after = modify_input(std::min(start, p), [&](Cell* series) {
                return act<ACT_CHANGE>(series, &value(), std::max(p - start, 0), kind == K_CHANGE_ONLY, 1);
            });
            set_ipos(std::clamp(after, 0, units()));
            return true;
        }
        default:
            // No script can put another kind code on the stack the engine reads.
            platform::runtime_error(101, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    }
}

}  // namespace zel::parser
