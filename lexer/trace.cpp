// Traced scans: the events sent to a trace callback, the event mask a
// callback declares, and the positions reported to it and taken back from
// it.
//
// Relies on: the argument stack (the callback's arguments), the predefined
// event words, blocks and symbols (reading a callback's body), the unicode
// module (character positions of string sources), and a callback runner
// that the evaluator installs.
#include <exception>

#include "foundation/raise.h"
#include "foundation/stack.h"
#include "lexer/routines.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::lexer {

namespace {

CallbackRunner g_runner = nullptr;
CallbackBody g_body_of = nullptr;

struct EventWord {
    uint32_t bit;
    words::Word word;
};
constexpr EventWord EVENT_WORDS[] = {
    {EVENT_PRESCAN, words::Word::prescan}, {EVENT_SCAN, words::Word::scan},
    {EVENT_LOAD, words::Word::load},       {EVENT_OPEN, words::Word::open},
    {EVENT_CLOSE, words::Word::close},     {EVENT_ERROR, words::Word::error},
};

// What the callback receives as `type` for a token without a datatype, by
// token type: a word, a datatype, or nothing (the comma).
struct ExitState {
    const char* word;
    int type;
};
constexpr ExitState EXIT_STATES[] = {
    {"eof", 0},        {nullptr, TYPE_ERROR}, {nullptr, TYPE_BLOCK},    {nullptr, TYPE_BLOCK},
    {nullptr, TYPE_PAREN}, {nullptr, TYPE_PAREN}, {nullptr, TYPE_STRING}, {nullptr, TYPE_STRING},
    {nullptr, TYPE_MAP},   {nullptr, TYPE_PATH},  {nullptr, TYPE_DATATYPE}, {"comment", 0},
    {nullptr, 0},
};
constexpr int EXIT_STATE_COUNT = int(sizeof EXIT_STATES / sizeof EXIT_STATES[0]);

Cell type_argument(int type) {
    Cell c{};
    if (type < 0 && -type - 1 < EXIT_STATE_COUNT) {
        const ExitState& e = EXIT_STATES[-type - 1];
        if (e.word) return word::load(e.word);
        type = e.type;
    }
    if (type > 0)
        cell::set(&c, TYPE_DATATYPE, uint32_t(type));
    else
        cell::set(&c, TYPE_NONE);
    return c;
}

// The position of a byte of the text in the source: characters for a
// string, counted on from the last position asked for.
int64_t source_index(State* lex, const uint8_t* at) {
    if (at < lex->input) at = lex->input;
    if (at > lex->input_end) at = lex->input_end;
    int64_t head = lex->has_source ? int64_t(lex->source.data1) : 0;
    if (!(lex->flags & FROM_STRING)) return head + (at - lex->input);
    if (!lex->cached_at || at < lex->cached_at) {
        lex->cached_at = lex->input;
        lex->cached_index = 0;
    }
    lex->cached_index += count_string_chars(lex->cached_at, at);
    lex->cached_at = at;
    return head + lex->cached_index;
}

// The byte of the text at a source index, clamped to the scanned text.
const uint8_t* byte_at(const State* lex, int64_t index) {
    int64_t offset = index - int64_t(lex->source.data1);
    if (offset <= 0) return lex->input;
    if (!(lex->flags & FROM_STRING))
        return offset < lex->input_end - lex->input ? lex->input + offset : lex->input_end;
    return skip_string_chars(lex->input, lex->input_end, offset);
}

// Pops the callback's arguments whichever way the call ends.
// A throw or an error leaving the callback has put its own cells on top of
// these: they are the catcher's to take, so an unwinding scan leaves the
// stack alone.
class ArgumentCells {
public:
    ArgumentCells() : first_(stack::push_new()), unwinding_(std::uncaught_exceptions()) {
        for (int i = 1; i < 5; i++) stack::push_new();
    }
    ~ArgumentCells() {
        if (std::uncaught_exceptions() == unwinding_) stack::pop(5);
    }
    ArgumentCells(const ArgumentCells&) = delete;
    ArgumentCells& operator=(const ArgumentCells&) = delete;
    Cell* operator[](int i) { return first_ + i; }

private:
    Cell* first_;
    int unwinding_;
};

}  // namespace

void set_callback_runner(CallbackRunner run, CallbackBody body) {
    g_runner = run;
    g_body_of = body;
}

uint32_t event_mask_of(const Cell* callback) {
    Cell body;
    if (!g_body_of || !g_body_of(callback, &body) || type_of(&body) != TYPE_BLOCK ||
        block::length_q(&body) < 1)
        return EVENT_ALL;
    Cell first = *block::head(&body);
    if (type_of(&first) != TYPE_BLOCK) return EVENT_ALL;
    uint32_t mask = 0;
    int n = block::length_q(&first);
    for (int i = 0; i < n; i++) {
        const Cell* w = block::head(&first) + i;
        if (!word::any_word_type_q(type_of(w))) continue;
        for (const EventWord& e : EVENT_WORDS)
            if (symbol::resolve(w->data2) == symbol::resolve(words::symbol(e.word))) mask |= e.bit;
    }
    return mask;
}

bool send_event(State* lex, uint32_t event, int type, const Cell* token, const uint8_t* start,
                const uint8_t* end) {
    if (!(lex->event_mask & event)) return true;
    if (event == EVENT_SCAN && (type == TYPE_POINT2D || type == TYPE_POINT3D)) start--;
    if (event == EVENT_PRESCAN) {
        if (type == -(TOKEN_PAREN_OPEN + 1) && start < lex->input_end && *start == '(' &&
            point_ahead(lex, start))
            return true;
        if (type == TYPE_ERROR && lex->state == STATE_BRACE && lex->brace_start) start = lex->brace_start;
        if (type == TYPE_POINT2D) {
            start--;
            end++;
        }
    }
    if (!g_runner) fire(ERR_internal_not_done);
    bool at_start = event == EVENT_OPEN || (event == EVENT_PRESCAN && type <= 0);
    int64_t index = source_index(lex, at_start ? start : end);

    ArgumentCells args;
    for (const EventWord& e : EVENT_WORDS)
        if (e.bit == event) *args[0] = words::word(e.word);
    if (lex->has_source) {
        *args[1] = lex->source;
        args[1]->header &= HEADER_TYPE_MASK;
        args[1]->data1 = uint32_t(index);
    } else {
        cell::set(args[1], TYPE_NONE);
    }
    *args[2] = type_argument(type);
    cell::set(args[3], TYPE_INTEGER, 0, uint32_t(lex->line));
    if (token) {
        *args[4] = *token;
    } else {
        cell::set(args[4], TYPE_PAIR, 0, uint32_t(source_index(lex, start) + 1),
                  uint32_t(source_index(lex, end) + 1));
    }
    Cell result;
    cell::set(&result, TYPE_UNSET);
    g_runner(&lex->callback, args[0], &result);

    // The callback may move the scan by moving its input, as long as the
    // input is still the source.
    const Cell* input = args[1];
    if (lex->has_source && type_of(input) == type_of(&lex->source) &&
        input->data2 == lex->source.data2 && int64_t(input->data1) != index)
        lex->position = byte_at(lex, int64_t(input->data1));
    return !logic::is_false(&result);
}

}  // namespace zel::lexer
