// The PARSE engine: its two stacks, parse runs and their release, trace
// events, and the main loop's states (blocks, alternatives, repetition, the
// end condition). What each keyword and terminal value does is in
// parse_keywords.cpp.
//
// Relies on: blocks (the stacks), the evaluator (parens, the trace
// callback), contexts (set-words and get-words), the collector (the stacks'
// mark callback, guards for the engine's registers).
#include "interpreter/parse.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "interpreter/eval.h"
#include "interpreter/parse_engine.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/series.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::parser {

namespace {

constexpr int32_t STACK_LIMIT = 10000;

// The two stacks: block! cells whose head is the running run's first cell.
Cell g_inputs;
Cell g_records;

void mark_stacks() {
    collector::mark_value(&g_inputs);
    collector::mark_value(&g_records);
}

int32_t total(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }
Cell* cell_at(const Cell* block, int32_t i) { return memory::series_of(block->data2)->cells() + i; }

Cell triple_of(int32_t a, int32_t b, int32_t c) {
    Cell t;
    cell::set(&t, TYPE_TRIPLE, uint32_t(a), uint32_t(b), uint32_t(c));
    return t;
}

// ---- Runs ----------------------------------------------------------------------------------

// A run started while another runs puts a marker {rule-stack head,
// input-stack head} on the rule stack and takes both stacks from their
// tails; its release clears what it added and puts the heads back. One
// guard per run, so that every way out of the engine releases it.
class Run {
public:
    Run() {
        nested_ = total(&g_records) > int32_t(g_records.data1);
        if (nested_) {
            Cell marker = triple_of(int32_t(g_records.data1), int32_t(g_inputs.data1), 0);
            block::append_cell(&g_records, &marker);
            g_inputs.data1 = uint32_t(total(&g_inputs));
            g_records.data1 = uint32_t(total(&g_records));
        }
    }
    ~Run() {
        int32_t head = std::min(int32_t(g_records.data1), total(&g_records));
        block::cut_at(&g_records, head);
        block::cut_at(&g_inputs, std::min(int32_t(g_inputs.data1), total(&g_inputs)));
        if (!nested_) return;
        // A callback may have emptied the stack it was shown: with no marker
        // left, the stacks start from their first cells again.
        Cell marker = head > 0 ? *cell_at(&g_records, head - 1) : none::g_none;
        block::cut_at(&g_records, std::max(head - 1, 0));
        bool valid = type_of(&marker) == TYPE_TRIPLE;
        g_records.data1 = valid ? marker.data1 : 0;
        g_inputs.data1 = valid ? marker.data2 : 0;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

private:
    bool nested_;
};

const Cell& event_word(Event e) {
    switch (e) {
        case EV_PUSH: return words::word(words::Word::push);
        case EV_POP: return words::word(words::Word::pop);
        case EV_FETCH: return words::word(words::Word::fetch);
        case EV_MATCH: return words::word(words::Word::match);
        case EV_ITERATE: return words::word(words::Word::iterate);
        case EV_PAREN: return words::word(words::Word::paren);
        case EV_END: break;
    }
    return words::global_word(words::Sym::end);
}

// Canonical symbols of the keywords, by Keyword; made at start-up.
uint32_t g_keyword_symbols[KW_COUNT];
// What each symbol met in rules names, by symbol id: its Keyword + 1, or 0
// while not looked at yet (a symbol's canonical spelling never changes).
std::vector<int8_t> g_keyword_cache;
words::Sym keyword_sym(Keyword k) {
    static constexpr words::Sym table[KW_COUNT] = {
        words::Sym::none,  // unused
        words::Sym::any, words::Sym::break_, words::Sym::copy, words::Sym::end, words::Sym::fail,
        words::Sym::into, words::Sym::opt, words::Sym::not_, words::Sym::quote, words::Sym::case_,
        words::Sym::reject, words::Sym::set, words::Sym::skip, words::Sym::some, words::Sym::thru,
        words::Sym::to, words::Sym::none, words::Sym::bar, words::Sym::if_, words::Sym::remove,
        words::Sym::while_, words::Sym::insert, words::Sym::only, words::Sym::collect, words::Sym::keep,
        words::Sym::pick, words::Sym::ahead, words::Sym::after, words::Sym::none,  // change: a Word
    };
    return table[k];
}

}  // namespace

// ---- Keywords and words ----------------------------------------------------------------------

Keyword keyword_of(const Cell* word) {
    if (type_of(word) != TYPE_WORD) return KW_NONE_FOUND;
    uint32_t id = word->data2;
    if (id < g_keyword_cache.size() && g_keyword_cache[id]) return Keyword(g_keyword_cache[id] - 1);
    uint32_t canonical = symbol::resolve(id);
    Keyword found = KW_NONE_FOUND;
    for (int k = 1; k < KW_COUNT; k++)
        if (g_keyword_symbols[k] == canonical) found = Keyword(k);
    if (id >= g_keyword_cache.size()) g_keyword_cache.resize(id + 256, 0);
    g_keyword_cache[id] = int8_t(found + 1);
    return found;
}

const Cell& keyword_word(Keyword k) {
    if (k == KW_CHANGE) return words::word(words::Word::change);
    return words::global_word(keyword_sym(k));
}

bool lookup(const Cell* word, Cell* out) {
    if (word->data1 == 0 || int32_t(word->data3) < 0) return false;
    *out = *context::get(word);
    return type_of(out) != TYPE_UNSET;
}

// ---- Start-up and the stacks -------------------------------------------------------------------

void init() {
    collector::add_mark_callback(mark_stacks, "the parse stacks");
    g_keyword_cache.clear();
    g_inputs = *block::make_in(nullptr, 8);
    g_records = *block::make_in(nullptr, 100);
    for (int k = 1; k < KW_COUNT; k++)
        g_keyword_symbols[k] = symbol::resolve(k == KW_CHANGE ? words::symbol(words::Word::change)
                                                              : words::symbol(keyword_sym(Keyword(k))));
}

int32_t input_stack_cells() { return total(&g_inputs); }
int32_t rule_stack_cells() { return total(&g_records); }

// ---- Registers ---------------------------------------------------------------------------------

int32_t Engine::units() { return series::abs_length_q(&input()); }

bool Engine::at_end() {
    int32_t p = ipos();
    return p >= units() || (limit > 0 && p >= limit);
}

void Engine::set_input(const Cell* series) {
    input() = *series;
    int t = type_of(series);
    input_class = series::any_string(t) ? IN_STRING : t == TYPE_BINARY ? IN_BINARY : IN_BLOCK;
    set_ipos(std::clamp(ipos(), 0, units()));
}

int32_t Engine::rules_head() { return std::clamp(int32_t(rules().data1), 0, total(&rules())); }

Cell Engine::rule_cell(int32_t at) {
    if (at < 0 || at >= total(&rules())) return Cell{TYPE_UNSET, 0, 0, 0};
    return *cell_at(&rules(), at);
}

void Engine::refresh() {
    tail = total(&rules());
    pos = std::clamp(pos, rules_head() - 1, tail);
    if (ipos() > units()) set_ipos(units());
}

// ---- The rule stack ------------------------------------------------------------------------------

int32_t Engine::rs_total() { return total(&g_records); }
int32_t Engine::rs_head() { return int32_t(g_records.data1); }
Cell* Engine::rs_at(int32_t i) { return cell_at(&g_records, i); }

int32_t Engine::top() {
    int32_t base = rs_total() - 3;
    if (base < rs_head()) fire(ERR_script_parse_stack);
    return base;
}

bool Engine::is_keyword_record(int32_t base) { return type_of(rs_at(base + 2)) == TYPE_PAIR; }
bool Engine::keyword_on_top() { return is_keyword_record(top()); }

int32_t Engine::rec_min(int32_t base) {
    const Cell* c = rs_at(base);
    return type_of(c) == TYPE_TRIPLE ? int32_t(c->data1) : -1;
}
int32_t Engine::rec_max(int32_t base) {
    const Cell* c = rs_at(base);
    return type_of(c) == TYPE_TRIPLE ? int32_t(c->data2) : -1;
}

void Engine::set_rec_input(int32_t base, int32_t index, int32_t length) {
    Cell* c = rs_at(base + 1);
    c->data2 = uint32_t(index);
    c->data3 = uint32_t(length);
    memory::touch(&g_records);
}

void Engine::check_limits() {
    if (rs_total() > STACK_LIMIT || total(&g_inputs) > STACK_LIMIT) fire(ERR_script_parse_stack);
}

// Appends one record's three cells in one step: records are pushed at
// every rule that is a block or a keyword.
static void push_record(const Cell (&record)[3]) {
    uint32_t at = memory::alloc_tail_bytes(g_records.data2, int64_t(sizeof record));
    Series* s = memory::series_of(g_records.data2);
    std::memcpy(s->data() + at, record, sizeof record);
    memory::touch(s);
}

void Engine::push_block_record() {
    const Cell record[3] = {none::g_none, triple_of(pos - rules_head(), ipos(), units() - ipos()), rules()};
    push_record(record);
}

State Engine::enter_keyword(const Cell& first, int32_t kind, int32_t extra) {
    check_limits();
    Cell record[3] = {first, triple_of(pos - rules_head(), ipos(), units() - ipos()), Cell{}};
    cell::set(&record[2], TYPE_PAIR, 0, uint32_t(kind), uint32_t(extra));
    push_record(record);
    if (pos < tail) pos++;
    if (!event(EV_PUSH)) return S_EXIT;
    no_argument = pos >= tail;
    if (!no_argument) value() = rule_cell(pos);
    from_word = false;
    return S_ARGUMENT;
}

State Engine::enter_keyword(int32_t min, int32_t max, int32_t kind, int32_t extra) {
    return enter_keyword(triple_of(min, max, 1), kind, extra);
}

void Engine::drop_keyword(bool pass_kind) {
    int32_t base = top();
    int32_t kind = rec_kind(base);
    block::cut_at(&g_records, base);
    if (pass_kind && rs_total() - rs_head() >= 3) {
        rs_at(rs_total() - 2)->data3 = uint32_t(kind);
        memory::touch(&g_records);
    }
}

// ---- The input stack -----------------------------------------------------------------------------

void Engine::push_input(const Cell& outer, const Cell& nested) {
    *cell_at(&g_inputs, total(&g_inputs) - 1) = outer;
    memory::touch(&g_inputs);
    block::append_cell(&g_inputs, &nested);
}

Cell Engine::pop_input() {
    int32_t last = total(&g_inputs) - 1;
    if (last <= int32_t(g_inputs.data1)) fire(ERR_script_parse_stack);
    block::cut_at(&g_inputs, last);
    return *cell_at(&g_inputs, last - 1);
}

// ---- Zel code ----------------------------------------------------------------------------------

UserCodeScope::UserCodeScope(Engine&) : head_(g_inputs.data1) { g_inputs.data1 = uint32_t(total(&g_inputs)); }
UserCodeScope::~UserCodeScope() { g_inputs.data1 = head_; }

bool Engine::call_back(Event e) {
    Cell args[5] = {event_word(e), Cell{}, rules(), input(), g_records};
    logic::set(&args[1], match);
    args[2].data1 = uint32_t(std::clamp(pos, rules_head(), tail));
    gc::root keep(args, 5);
    Cell* mark = stack::top();
    exits::Exit x;
    {
        UserCodeScope user(*this);
        x = interpreter::call_with(&reg[R_CALLBACK], args, 5, &words::word(words::Word::parse_callback));
    }
    if (x) {
        exit_code = x.code;
        return false;
    }
    bool go = !logic::is_false(stack::top() - 1);
    stack::g_top = mark;
    refresh();
    if (!go) stopped = true;
    return go;
}

bool Engine::run_paren(const Cell* paren, Cell* out) {
    Cell code = *paren;
    gc::root keep(&code);
    Cell* mark = stack::top();
    exits::Exit x;
    {
        UserCodeScope user(*this);
        x = interpreter::eval_block(&code, false);
    }
    if (x) {
        exit_code = x.code;
        return false;
    }
    if (out) *out = *(stack::top() - 1);
    stack::g_top = mark;
    refresh();
    return true;
}

void Engine::fail_rule(const Cell* offending) {
    Cell c = *offending;
    fire(ERR_script_parse_rule, &c);
}

void Engine::fail_end(Keyword k) { fire(ERR_script_parse_end, &keyword_word(k)); }

// ---- The main loop -------------------------------------------------------------------------------

State Engine::run_state(State s) {
    switch (s) {
        case S_ENTER_BLOCK:
            check_limits();
            push_block_record();
            if (sub_pending) {
                rules() = value();
                sub_pending = false;
            }
            tail = total(&rules());
            pos = rules_head() - 1;
            match = true;
            if (!event(EV_PUSH)) return S_EXIT;
            return S_FETCH;
        case S_LEAVE_BLOCK: return leave_block();
        case S_ENTER_KEYWORD: break;  // entered through enter_keyword
        case S_RESOLVE: return resolve();
        case S_DECIDE:
            if (keyword_on_top()) return S_RESOLVE;
            return match ? S_FETCH : S_FAIL;
        case S_DISPATCH: return dispatch();
        case S_ADVANCE:
            if (ipos() < units()) set_ipos(ipos() + 1);
            return S_DECIDE;
        case S_FETCH: return fetch();
        case S_MATCH: return match_value();
        case S_ARGUMENT: return argument();
        case S_FAIL: return fail_in_block();
        case S_WORD: return word();
        case S_FINISH: return finish();
        case S_EXIT: break;
    }
    return S_EXIT;
}

State Engine::leave_block() {
    if (rs_total() - rs_head() <= 3) {
        if (!event(EV_POP)) return S_EXIT;
        return S_FINISH;
    }
    completed = pos >= tail;
    if (!event(EV_POP)) return S_EXIT;
    int32_t base = top();
    Cell enclosing = *rs_at(base + 2);
    int32_t index = rec_rule_index(base);
    block::cut_at(&g_records, base);
    rules() = enclosing;
    pos = rules_head() + index;
    refresh();
    if (keyword_on_top()) return S_RESOLVE;
    return match ? S_FETCH : S_FAIL;
}

State Engine::resolve() {
    int32_t base = top();
    if (!is_keyword_record(base)) {
        pop_pending = false;
        return S_LEAVE_BLOCK;
    }
    pop_pending = true;
    int32_t kind = rec_kind(base);
    State next = S_EXIT;
    bool goes_on = kind == K_REPEAT || kind == K_WHILE ? resolve_repetition(base, kind, &next)
                                                       : !resolve_keyword(base, kind, &next);
    if (goes_on || exit_code || stopped) return goes_on ? next : S_EXIT;
    if (!event(EV_POP)) return S_EXIT;
    drop_keyword(true);
    return S_DECIDE;
}

bool Engine::resolve_repetition(int32_t base, int32_t kind, State* next) {
    int32_t counter = int32_t(rs_at(base)->data3);
    int32_t min = rec_min(base), max = rec_max(base);
    bool repeat = match && (max == -1 || counter < max);
    // The progress guard: an iteration that consumed nothing ends the loop.
    if (kind == K_REPEAT && ipos() == rec_input_index(base) && units() - ipos() >= rec_input_length(base)) {
        repeat = false;
        break_flag = false;
    }
    if (break_flag) {
        repeat = false;
        break_flag = false;
    }
    if (repeat) {
        set_rec_input(base, ipos(), units() - ipos());
        rs_at(base)->data3 = uint32_t(counter + 1);
        pos = rules_head() + rec_rule_index(base);
        if (!event(EV_ITERATE)) {
            *next = S_EXIT;
            return true;
        }
        pop_pending = false;
        *next = S_FETCH;
        return true;
    }
    if (match && counter < min) match = false;
    else if (!match) match = counter - 1 >= min || min == 0;
    return false;
}

State Engine::fetch() {
    if (pos + 1 >= tail) {
        pos = tail;
        return keyword_on_top() ? S_RESOLVE : S_LEAVE_BLOCK;
    }
    pos++;
    if (!event(EV_FETCH)) return S_EXIT;
    if (pos >= tail) return keyword_on_top() ? S_RESOLVE : S_LEAVE_BLOCK;
    value() = rule_cell(pos);
    from_word = false;
    return S_DISPATCH;
}

State Engine::dispatch() {
    Cell& v = value();
    switch (type_of(&v)) {
        case TYPE_WORD:
            // A word may not stand for another word.
            if (from_word) {
                Cell at = rule_cell(pos);
                if (type_of(&at) == TYPE_WORD) fail_rule(&v);
            }
            return S_WORD;
        case TYPE_BLOCK: sub_pending = true; return S_ENTER_BLOCK;
        case TYPE_DATATYPE: case TYPE_TYPESET: return typed_match();
        case TYPE_SET_WORD: {
            Cell word = v, here = input();
            gc::root keep(&here);
            {
                UserCodeScope user(*this);
                context::set(&word, &here);
            }
            refresh();
            return S_FETCH;
        }
        case TYPE_GET_WORD: {
            Cell mark;
            if (!marks_input(&v, &mark)) {
                Cell word = v;
                fire(ERR_script_parse_invalid_ref, &word);
            }
            set_ipos(std::clamp(int32_t(mark.data1), 0, units()));
            match = true;
            return S_DECIDE;
        }
        case TYPE_INTEGER: return repetition_count();
        case TYPE_PAREN: {
            Cell paren = v;
            gc::root keep(&paren);
            if (!run_paren(&paren, nullptr) || !event(EV_PAREN)) return S_EXIT;
            return S_DECIDE;
        }
        case TYPE_PATH: fail_rule(&v);
        default: return S_MATCH;
    }
}

State Engine::repetition_count() {
    Cell count = value();
    int32_t n = cell::get_int(&count);
    if (n < 0) fire(ERR_script_out_of_range, &count);
    if (pos + 1 >= tail) fail_rule(&count);
    Cell next = rule_cell(pos + 1);
    if (type_of(&next) == TYPE_WORD) {
        Cell looked;
        if (lookup(&next, &looked)) next = looked;
    }
    bool range = type_of(&next) == TYPE_INTEGER;
    int32_t m = range ? cell::get_int(&next) : n;
    if (range && pos + 2 >= tail) fail_rule(&count);
    if (n > m) fail_rule(&count);
    if (m < 0) fire(ERR_script_out_of_range, &next);
    if (n == 0 && m == 0) {
        // Nothing to repeat: the rule after the count is passed over unrun.
        pos += range ? 2 : 1;
        match = true;
        return S_DECIDE;
    }
    if (range) pos++;
    return enter_keyword(n, m, K_REPEAT);
}

State Engine::argument() {
    int32_t base = top();
    int32_t kind = rec_kind(base);
    if (no_argument) {
        no_argument = false;
        switch (kind) {
            case K_TO: fail_end(KW_TO);
            case K_THRU: fail_end(KW_THRU);
            case K_NOT: fail_end(KW_NOT);
            case K_REMOVE: fail_end(KW_REMOVE);
            case K_WHILE: fail_end(KW_WHILE);
            case K_COLLECT: fail_end(KW_COLLECT);
            case K_KEEP: case K_KEEP_PAREN: fail_end(KW_KEEP);
            case K_AHEAD: fail_end(KW_AHEAD);
            default: match = true; return S_DECIDE;
        }
    }
    Cell& v = value();
    switch (type_of(&v)) {
        case TYPE_BLOCK: sub_pending = true; return S_ENTER_BLOCK;
        case TYPE_WORD:
            word_arg = kind != K_COLLECT && kind != K_KEEP && kind != K_KEEP_PAREN;
            return S_WORD;
        case TYPE_PAREN:
            if (kind == K_KEEP_PAREN) {
                Cell paren = v;
                gc::root keep(&paren);
                if (!run_paren(&paren, &reg[R_KEPT]) || !event(EV_PAREN)) return S_EXIT;
                return S_DECIDE;
            }
            return S_DISPATCH;
        case TYPE_INTEGER: case TYPE_TYPESET: case TYPE_DATATYPE: return S_DISPATCH;
        default: break;
    }
    int32_t min = rec_min(base);
    if (kind == K_REPEAT || kind == K_WHILE) {
        Cell literal = v;
        gc::root keep(&literal);
        match = repeat_value(&literal, min, rec_max(base)) || min == 0;
    } else if (kind == K_TO || kind == K_THRU) {
        Cell literal = v;
        gc::root keep(&literal);
        match = find_value(base, &literal);
        if (match && kind == K_TO) set_ipos(rec_input_index(base));
    } else {
        return S_DISPATCH;
    }
    if (!event(EV_MATCH) || !event(EV_POP)) return S_EXIT;
    drop_keyword(true);
    return S_DECIDE;
}

State Engine::fail_in_block() {
    int32_t base = top();
    set_ipos(std::clamp(rec_input_index(base), 0, units()));
    // The next alternative of this block, searched forward from the rule
    // that failed.
    uint32_t bar = g_keyword_symbols[KW_BAR];
    const Cell* cells = cell_at(&rules(), 0);
    for (int32_t i = std::max(pos, rules_head()); i < tail; i++) {
        if (type_of(&cells[i]) == TYPE_WORD && symbol::resolve(cells[i].data2) == bar) {
            pos = i;
            match = true;
            return S_FETCH;
        }
    }
    return S_LEAVE_BLOCK;
}

State Engine::finish() {
    if (pos < tail) match = false;
    int32_t rest = units() - ipos();
    if (limit > 0 && rest > 0) rest = limit - ipos();
    if (rest > 0 && total(&g_inputs) - int32_t(g_inputs.data1) == 1) match = false;
    if (!event(EV_END)) return S_EXIT;
    return S_EXIT;
}

// ---- The entry -----------------------------------------------------------------------------------

exits::Exit process(const Cell* input, const Cell* rules, int mode, int32_t limit, const Cell* callback,
                    Cell* result) {
    Engine e;
    gc::root keep(e.reg, Engine::R_COUNT);
    for (Cell& r : e.reg) r = none::g_none;
    e.mode = mode;
    e.limit = limit;
    e.has_callback = callback != nullptr;
    if (callback) e.reg[Engine::R_CALLBACK] = *callback;
    e.rules() = *rules;
    Cell* mark = stack::top();
    Run run;
    e.reserved = stack::push_new();
    e.set_input(input);
    block::append_cell(&g_inputs, &e.input());
    e.tail = total(&e.rules());
    e.pos = e.rules_head() - 1;
    State s = S_ENTER_BLOCK;
    while (s != S_EXIT) s = e.run_state(s);
    if (e.exit_code) return exits::Exit{e.exit_code};
    if (e.return_block && !e.stopped && stack::top() > e.reserved + 1) *result = e.reserved[1];
    else logic::set(result, e.match);
    stack::g_top = mark;
    return exits::Exit{};
}

}  // namespace zel::parser
