// The per-token routines of the lexer and the helpers they share. Private
// to the lexer: the driver reaches the routines only through the tables of
// lexer_state.h, filled by lexer_routines.cpp.
//
// Every routine has the Routine signature: the scan, the token's first
// byte, the byte that ended the token, the OR of the class flags of its
// bytes, and the load flag (false: check only, push nothing).
#pragma once

#include <cstdint>

#include "lexer/lexer_state.h"

namespace zel::lexer {

// ---- Structure: blocks, parens, maps, paths, brace strings (structure.cpp) ----------

void scan_end_of_input(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_error_transition(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_open(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_close(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_brace_open(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_brace_close(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_path_head(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_construction(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comment(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comma(State*, const uint8_t*, const uint8_t*, uint32_t, bool);

// Whether the "(" at `paren` begins a point literal such as "(1, 2)".
bool point_ahead(const State* lex, const uint8_t* paren);
// Closes the innermost open series into its value: `type` is the datatype
// the closing delimiter closes (block! for "]", paren! for ")", set-path!
// for a path ending in ":", the path's own type otherwise); `at` is the
// delimiter. A silent close sends no event.
void close_series(State* lex, int type, const uint8_t* at, bool silent);

// Appends the values of the top level of the scan to `lex->into`.
void deliver_into(State* lex);

// ---- Text: strings, characters, files, URLs, words ... (load_text.cpp) -------------

void scan_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_word(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_word(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_issue(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_refinement(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_char(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_file(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_tag(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_url(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_email(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_raw_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_ref(State*, const uint8_t*, const uint8_t*, uint32_t, bool);

// Checks the text [start, end) as the inside of a string-like literal of
// `type` and, when loading, pushes it as a value of that type. With
// `escapes`, "^" escapes are decoded. Errors name `type`, reported from
// `error_start`.
void load_text(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, int type,
               bool escapes, bool load, const uint8_t* error_start);
// Pushes a word of `type` named by the UTF-8 bytes [start, end).
void push_word(State* lex, const uint8_t* start, const uint8_t* end, int type);
// Names are well-formed UTF-8.
bool valid_name(const uint8_t* p, const uint8_t* end);

// ---- Numbers, dates and money (load_numbers.cpp) ---------------------------------------

void load_integer(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_percent(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_float(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_special_float(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_tuple(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_date(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_pair(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_point(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_time(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_money(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_hex(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_binary(State*, const uint8_t*, const uint8_t*, uint32_t, bool);

// ---- Shared ------------------------------------------------------------------------------

inline bool path_type_q(int type) {
    return type == TYPE_PATH || type == TYPE_LIT_PATH || type == TYPE_SET_PATH ||
           type == TYPE_GET_PATH;
}

// Pushes a copy of the value for this scan, with the new-line flag of the
// current token.
void push_value(State* lex, const Cell& value);

}  // namespace zel::lexer
