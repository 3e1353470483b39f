// The per-token routine tables: the scanners of token types 0-15 and the
// loaders of types 13-35, filled from one list of (scanner, loader) pairs.
//
// The end of input and the error transition have their routines here. The
// scanners and loaders of the other token types are not written yet; until
// they are, each entry steps over its token without making a value: past
// the byte that stopped the automaton when that byte belongs to the token (a
// closing quote, brace, ">", "%" or delimiter), to it otherwise. The
// brace-string pair also keeps the nesting, so that the automaton reads the
// inside of brace strings. The error raiser, the trace events and the path
// continuation below are stand-ins of the same kind: errors carry no line
// or near text yet, and callbacks are not called until the evaluator can.
#include "lexer/lexer_state.h"

namespace zel::lexer {

Routine g_scanners[TOKEN_COUNT];
Routine g_loaders[TOKEN_COUNT];

namespace {

// ---- Complete routines ----------------------------------------------------------

void scan_end_of_input(State* lex, const uint8_t*, const uint8_t*, uint32_t, bool) {
    lex->position = lex->input_end;
}

// The error transition names the datatype the automaton was reading, or a
// bad character when it was between tokens. A path, block or paren type
// shows the text from the innermost open delimiter; inside a brace string,
// from its opening brace.
void scan_error_transition(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    int kind = g_guessed_types[lex->previous_state];
    if (kind == 0) kind = KIND_BAD_CHAR;
    switch (kind) {
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_PATH:
        case TYPE_LIT_PATH:
        case TYPE_SET_PATH:
        case TYPE_GET_PATH:
            start = nullptr;
            break;
        default:
            if (lex->state == STATE_BRACE) start = lex->brace_start;
            break;
    }
    raise_error(lex, start, end, kind);
}

// ---- Stand-ins until the scanners and loaders are written ------------------------

void step_to_end(State* lex, const uint8_t*, const uint8_t* end, uint32_t, bool) {
    lex->position = end;
}

void step_past_end(State* lex, const uint8_t*, const uint8_t* end, uint32_t, bool) {
    lex->position = end < lex->input_end ? end + 1 : end;
}

// A quoted file ends with its closing quote; a plain one before its delimiter.
void step_over_file(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                    bool load) {
    if (end < lex->input_end && *end == '"')
        step_past_end(lex, start, end, flags, load);
    else
        step_to_end(lex, start, end, flags, load);
}

void step_into_brace(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                     bool load) {
    if (lex->brace_depth++ == 0) lex->brace_start = end;
    lex->state = STATE_BRACE;
    step_past_end(lex, start, end, flags, load);
}

void step_out_of_brace(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                       bool load) {
    if (--lex->brace_depth == 0) {
        lex->brace_start = nullptr;
        lex->state = STATE_BETWEEN;
    } else if (end + 1 == lex->input_end) {
        raise_error(lex, lex->brace_start, lex->input_end, TYPE_STRING);
    }
    step_past_end(lex, start, end, flags, load);
}

// ---- The table ----------------------------------------------------------------------

struct RoutinePair {
    Routine scanner;
    Routine loader;
};

constexpr RoutinePair ROUTINES[TOKEN_COUNT] = {
    {scan_end_of_input, nullptr},      // end of input
    {scan_error_transition, nullptr},  // error transition
    {step_past_end, nullptr},          // [
    {step_past_end, nullptr},          // ]
    {step_past_end, nullptr},          // (
    {step_past_end, nullptr},          // )
    {step_into_brace, nullptr},        // {
    {step_out_of_brace, nullptr},      // } inside a brace string
    {step_past_end, nullptr},          // #[
    {step_past_end, nullptr},          // path head: the word and its "/"
    {step_past_end, nullptr},          // #( ... )
    {step_to_end, nullptr},            // comment: the line feed is read again
    {step_past_end, nullptr},          // ,
    {step_past_end, step_past_end},    // string
    {step_to_end, step_to_end},        // word
    {step_to_end, step_to_end},        // issue
    {nullptr, step_to_end},            // integer
    {nullptr, step_to_end},            // refinement
    {nullptr, step_past_end},          // char
    {nullptr, step_over_file},         // file
    {nullptr, step_past_end},          // binary
    {nullptr, step_past_end},          // percent
    {nullptr, step_to_end},            // float
    {nullptr, step_to_end},            // special float
    {nullptr, step_to_end},            // tuple
    {nullptr, step_to_end},            // date
    {nullptr, step_to_end},            // pair
    {nullptr, step_past_end},          // point
    {nullptr, step_to_end},            // time
    {nullptr, step_to_end},            // money
    {nullptr, step_past_end},          // tag
    {nullptr, step_to_end},            // url
    {nullptr, step_to_end},            // email
    {nullptr, step_to_end},            // hexadecimal integer: the "h" is in the token
    {nullptr, step_to_end},            // raw string: the closing "%"s are in the token
    {nullptr, step_to_end},            // ref
};

}  // namespace

void init_routines() {
    for (int t = 0; t < TOKEN_COUNT; t++) {
        g_scanners[t] = ROUTINES[t].scanner;
        g_loaders[t] = ROUTINES[t].loader;
    }
}

// ---- Errors, events and paths -----------------------------------------------------

void raise_error(State* lex, const uint8_t* start, const uint8_t* end, int kind) {
    if (!lex->load) {
        lex->type = TYPE_ERROR;
        stop();
    }
    (void)start;
    (void)end;
    switch (kind) {
        case KIND_BAD_CHAR:
            fire(ERR_syntax_bad_char);
        case KIND_MALCONSTRUCT:
            fire(ERR_syntax_malconstruct);
        case KIND_MISSING:
        case KIND_MISSING_AT_END:
            fire(ERR_syntax_missing);
        default: {
            Cell line, type;
            cell::set(&line, TYPE_NONE);
            cell::set(&type, TYPE_DATATYPE, uint32_t(kind));
            fire(ERR_syntax_invalid, &line, &type);
        }
    }
}

bool send_event(State*, uint32_t, int, const Cell*, const uint8_t*, const uint8_t*) { return true; }

uint32_t event_mask_of(const Cell*) { return EVENT_ALL; }

void path_continue(State* lex) { lex->state = STATE_BETWEEN; }

}  // namespace zel::lexer
