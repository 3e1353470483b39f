// The PARSE engine's insides, shared by its two halves: parse_engine.cpp
// (the stacks, runs, events and the main loop) and parse_keywords.cpp (the
// keywords, the terminal matchers and the resolution of keyword records).
//
// Registers live in one Engine for the whole call. Every position is an
// index: the rule position counts cells from the rules buffer's first cell,
// the input position is the input cell's head. Nothing keeps a buffer
// address across a call that may run Zel code (parens, the callback, a
// word's owner, the series actions); after such a call the rules tail is
// read again and both positions are clamped (refresh).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "interpreter/exits.h"

namespace zel::parser {

// Kind codes of keyword records (the pair! in a record's third cell).
enum Kind : int32_t {
    K_REPEAT = -1,
    K_TO = -2,
    K_THRU = -3,
    K_COPY = -4,
    K_SET = -5,
    K_NOT = -6,
    K_INTO = -7,
    K_REMOVE = -9,
    K_WHILE = -11,
    K_COLLECT = -12,
    K_KEEP = -13,
    K_KEEP_PAREN = -14,
    K_AHEAD = -16,
    K_CHANGE = -17,
    K_CHANGE_ONLY = -18,
    K_CASE = -19,
};

enum State : int {
    S_ENTER_BLOCK = 0,
    S_LEAVE_BLOCK = 1,
    S_ENTER_KEYWORD = 2,
    S_RESOLVE = 3,
    S_DECIDE = 4,
    S_DISPATCH = 5,
    S_ADVANCE = 6,
    S_FETCH = 7,
    S_MATCH = 8,
    S_ARGUMENT = 9,
    S_FAIL = 10,
    S_WORD = 11,
    S_FINISH = 12,
    S_EXIT = 13,
};

// The keywords, recognised by the canonical symbol of a rule word.
enum Keyword : int {
    KW_NONE_FOUND = 0,
    KW_ANY, KW_BREAK, KW_COPY, KW_END, KW_FAIL, KW_INTO, KW_OPT, KW_NOT, KW_QUOTE, KW_CASE,
    KW_REJECT, KW_SET, KW_SKIP, KW_SOME, KW_THRU, KW_TO, KW_NONE, KW_BAR, KW_IF, KW_REMOVE,
    KW_WHILE, KW_INSERT, KW_ONLY, KW_COLLECT, KW_KEEP, KW_PICK, KW_AHEAD, KW_AFTER, KW_CHANGE,
    KW_COUNT
};
// The keyword a word names (KW_NONE_FOUND for any other word).
Keyword keyword_of(const Cell* word);
// The word a keyword's errors carry, bound in the global context.
const Cell& keyword_word(Keyword k);

// The value of a word into `out`; false when the word is unbound or unset.
bool lookup(const Cell* word, Cell* out);

// Events of the trace callback.
enum Event : int { EV_PUSH, EV_POP, EV_FETCH, EV_MATCH, EV_ITERATE, EV_PAREN, EV_END };

// Input classes.
enum InputClass : int { IN_STRING, IN_BINARY, IN_BLOCK };

// While Zel code runs (a paren, the callback, a series action and the
// owner handlers it calls) the input stack is taken from its tail.
class UserCodeScope {
public:
    explicit UserCodeScope(struct Engine&);
    ~UserCodeScope();
    UserCodeScope(const UserCodeScope&) = delete;
    UserCodeScope& operator=(const UserCodeScope&) = delete;

private:
    uint32_t head_;
};

struct Engine {
    enum Reg : int { R_INPUT, R_RULES, R_VALUE, R_KEPT, R_COPY_WORD, R_CALLBACK, R_COUNT };
    Cell reg[R_COUNT];

    int32_t pos = 0;   // rule position: cells from the rules buffer's first cell
    int32_t tail = 0;  // the rules tail
    bool match = true;
    int mode = 0;
    int32_t limit = 0;
    int collect_level = 0;
    bool break_flag = false;
    bool pop_pending = false;
    bool completed = false;
    bool word_arg = false;
    bool return_block = false;
    bool from_word = false;    // the current rule value came from a word's value
    bool sub_pending = false;  // the current rule value is a block to enter
    bool has_callback = false;
    bool no_argument = false;  // a keyword record was pushed at the rules tail
    bool stopped = false;      // the callback stopped the run
    uint32_t exit_code = 0;    // an exit out of Zel code the engine ran
    InputClass input_class = IN_BLOCK;
    Cell* reserved = nullptr;  // the engine's argument-stack cell

    Cell& input() { return reg[R_INPUT]; }
    Cell& rules() { return reg[R_RULES]; }
    Cell& value() { return reg[R_VALUE]; }

    // ---- Input ----
    int32_t ipos() { return int32_t(input().data1); }
    void set_ipos(int32_t p) { input().data1 = uint32_t(p); }
    int32_t units();
    bool at_end();
    void set_input(const Cell* series);
    // The item at absolute index i as a value: char!, integer! byte or the cell.
    Cell item_at(int32_t i);

    // ---- Rules ----
    int32_t rules_head();
    // The cell at the rule position, copied (unset! at or past the tail).
    Cell rule_cell(int32_t at);
    // After Zel code ran: the tail read again, the positions clamped.
    void refresh();

    // ---- Rule stack ----
    int32_t rs_total();
    int32_t rs_head();
    Cell* rs_at(int32_t i);
    // The top record's first cell; raises parse-stack when the stack holds
    // no record of this run (a callback emptied it).
    int32_t top();
    bool keyword_on_top();
    bool is_keyword_record(int32_t base);
    int32_t rec_kind(int32_t base) { return int32_t(rs_at(base + 2)->data2); }
    int32_t rec_extra(int32_t base) { return int32_t(rs_at(base + 2)->data3); }
    int32_t rec_rule_index(int32_t base) { return int32_t(rs_at(base + 1)->data1); }
    int32_t rec_input_index(int32_t base) { return int32_t(rs_at(base + 1)->data2); }
    int32_t rec_input_length(int32_t base) { return int32_t(rs_at(base + 1)->data3); }
    int32_t rec_min(int32_t base);
    int32_t rec_max(int32_t base);
    void set_rec_input(int32_t base, int32_t index, int32_t length);
    void push_block_record();
    // State 2: pushes a keyword record and steps to its argument.
    State enter_keyword(const Cell& first, int32_t kind, int32_t extra);
    State enter_keyword(int32_t min, int32_t max, int32_t kind, int32_t extra = 0);
    // Drops the top keyword record; the record below takes its kind code in
    // its input-length field.
    void drop_keyword(bool pass_kind);
    void check_limits();

    // ---- Input stack ----
    // The outer input's cell takes its current position; the nested input
    // is appended.
    void push_input(const Cell& outer, const Cell& nested);
    // Drops the nested input; answers the outer one.
    Cell pop_input();

    // ---- Zel code ----
    // The trace event; false when the run must end (the callback stopped
    // it, or an exit left it).
    bool event(Event e) { return !has_callback || call_back(e); }
    bool call_back(Event e);
    // Evaluates a paren: its value into `out` (null: dropped). False when an
    // exit is on its way.
    bool run_paren(const Cell* paren, Cell* out);

    // ---- Errors (each releases the run through the run guard) ----
    [[noreturn]] void fail_rule(const Cell* offending);
    [[noreturn]] void fail_end(Keyword k);

    // ---- The main loop's states (parse_engine.cpp) ----
    State run_state(State s);
    State leave_block();
    State resolve();
    State fetch();
    State dispatch();
    State argument();
    State fail_in_block();
    State finish();
    State repetition_count();
    // True when the repetition goes on (the next state chosen in *next).
    bool resolve_repetition(int32_t base, int32_t kind, State* next);

    // ---- Keywords and matching (parse_keywords.cpp) ----
    State word();
    State keyword(Keyword k);
    State match_value();
    State typed_match();
    bool match_type_binary(const Cell* type_value);
    bool compare_values(const Cell* item, const Cell* rule_value);
    int32_t advance_of(const Cell* rule_value);
    bool find_value(int32_t base, const Cell* v);
    bool repeat_value(const Cell* v, int32_t min, int32_t max);
    // The first unit from `from` (before `end`) that is (hit) or is not a
    // match of a char! or bitset! value; `end` when there is none.
    int32_t scan_units(const Cell* v, int32_t from, int32_t end, bool hit);
    // Resolves a keyword record other than a repetition; answers false when
    // it goes on instead (to/thru retrying one unit further), having chosen
    // `next`.
    bool resolve_keyword(int32_t base, int32_t kind, State* next);
    State to_thru(Keyword k);
    State collect();
    State keep();
    State insert_();
    State remove_();
    State change_();
    State into();
    // The value of an insert or change: a paren's result, a word's value or
    // the cell itself; into value(). False when an exit is on its way.
    bool take_value(const Cell* cell);
    // Steps over an `only` after insert or change; true when there was one.
    bool step_over_only();
    template <typename Action>
    int32_t modify_input(int32_t at, Action action);
    // The series a word or get-word names when it is the input's series.
    bool marks_input(const Cell* cell, Cell* out);
    // Collect targets.
    bool target_fits(const Cell* target);
    void keep_value(Cell* collect_cell, Cell* v, bool spliced);
    bool keep_units(int32_t start, int32_t end, Cell* target, bool after);
    void resolve_collect(int32_t base);
    void resolve_keep(int32_t base, int32_t kind);
    void insert_into_target(const Cell* target_word, Cell* v, bool only, bool after);
    // A new series of the input's type holding units [start, end), into `out`.
    void copy_range(int32_t start, int32_t end, Cell* out);
};

}  // namespace zel::parser
