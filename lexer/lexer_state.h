// What the lexer's own modules share: the record of a running scan, the
// value stack with its open-delimiter markers, the per-token routine tables,
// and the entry points of the syntax-error raiser and the trace events.
//
// The driver (lexer.cpp) finds tokens and calls, per token type, a scanner
// (types 0-15: structural tokens and the checks of strings, words and
// issues) and a loader (types 13-35: the values). Every routine takes the
// scan, the token's first byte, the token's end (the byte that stopped the
// automaton, not part of the token), the OR of the class flags of the
// token's bytes, and the load flag (true: make the value; false: only check
// the syntax). A routine leaves `position` where the next token starts.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/raise.h"
#include "lexer/lexer.h"
#include "lexer/lexer_tables.h"

namespace zel::lexer {

// The type of open-delimiter markers on the value stack: a private id that
// no value carries, in a spare row of the registry.
constexpr int TYPE_MARKER = 55;
static_assert(TYPE_MARKER > TYPE_LAST && TYPE_MARKER < TYPE_ROWS && TYPE_MARKER != TYPE_TRIPLE);

// The lexer's stop signal: ends a token, or the scan, quietly. A raised
// error travels with a higher code and goes on after the scan is unlinked.
constexpr uint32_t THROW_STOP = 10;
[[noreturn]] inline void stop() { throw Throw{THROW_STOP}; }

// Error kinds for raise_error; a kind above 0 is a datatype id, whose
// `invalid` error is raised.
constexpr int KIND_BAD_CHAR = -1;
constexpr int KIND_MALCONSTRUCT = -2;
constexpr int KIND_MISSING = -3;         // a closing delimiter with no or the wrong open one
constexpr int KIND_MISSING_AT_END = -4;  // the text ended with a delimiter open

// A scan flag beside those of lexer.h, set by scan_string: the text was
// converted from a string, so positions reported outside count characters.
constexpr unsigned FROM_STRING = 16;
static_assert((FROM_STRING & (ONE_VALUE | PRESCAN | SCAN_ONLY | WHOLE_BLOCK)) == 0);

// Trace events, as mask bits.
constexpr uint32_t EVENT_PRESCAN = 1;
constexpr uint32_t EVENT_SCAN = 2;
constexpr uint32_t EVENT_LOAD = 4;
constexpr uint32_t EVENT_OPEN = 8;
constexpr uint32_t EVENT_CLOSE = 16;
constexpr uint32_t EVENT_ERROR = 32;
constexpr uint32_t EVENT_ALL = 63;

// One running scan. It lives in the frame of its lexer::scan call and is
// linked into the chain of running scans for exactly that long.
struct State {
    State* next;    // the scan started while this one runs
    State* parent;  // the scan that was running when this one started

    // Value stack, as cell indices: indices survive the stack's growth.
    uint32_t base;  // first cell of this scan
    uint32_t head;  // first cell of the innermost open block (after its marker)
    uint32_t tail;  // next free cell

    const uint8_t* input;
    const uint8_t* input_end;
    const uint8_t* position;   // where the next token starts
    const uint8_t* token_start;  // where the last token began (after its leading blanks)
    const uint8_t* token_end;    // where the last token stopped

    int32_t line;         // current line, 1 at the start of the text
    int32_t token_lines;  // line feeds read since the previous token ended

    int scanner_type;    // datatype a scanner chose for its loader, -1 when none
    int type;            // datatype of the last token, 0 for none: the scan's result
    int state;           // the state the next token starts in
    int previous_state;  // the state before the last terminal one
    int missing_type;    // datatype whose delimiter is reported missing
    int last_type;       // type of the previous token

    const uint8_t* brace_start;  // the outermost "{" of the open brace string
    int brace_depth;
    uint32_t brace_flags;  // OR of the flags of the whole brace string
    int32_t brace_lines;   // token lines of the outermost "{", for the string's new-line flag
    int32_t point_lines;   // token lines saved when a point literal starts

    bool traced;
    Cell callback;
    int callback_locals;  // local slots the callback declares
    uint32_t event_mask;  // the events the callback wants
    bool has_source;
    Cell source;     // the string or binary the text came from
    bool load;       // values are made (neither prescan nor scan-only)
    Cell* into;      // the block the values go to (transcode/into), or null
    unsigned flags;  // the scan flags (lexer.h and FROM_STRING)

    // The last position converted to a character index, and that index.
    const uint8_t* cached_at;
    int64_t cached_index;
};

// ---- Per-token routines ---------------------------------------------------------

using Routine = void (*)(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                         bool load);

// Indexed by token type; an empty entry is null.
extern Routine g_scanners[TOKEN_COUNT];
extern Routine g_loaders[TOKEN_COUNT];

// Fills both tables from the (scanner, loader) pairs in token-type order.
void init_routines();

// ---- Value stack ------------------------------------------------------------------

// Cell at an index of the value stack; valid until the next push.
Cell* stack_cell(uint32_t index);

// Pushes an unset! cell for this scan, flagged as starting a new line when
// the current token followed a line feed. The stack may move: never keep a
// cell address across a push.
Cell* push_cell(State* lex);

inline bool is_marker(const Cell* c) { return type_of(c) == TYPE_MARKER; }
// The datatype of the series a marker opens (block!, paren!, a path type,
// map!, point2D!) and, for a paren turned point literal, its comma count.
inline int marker_type(const Cell* c) { return int(c->data2 & 0xFFFF); }
inline int marker_commas(const Cell* c) { return int(c->data2 >> 16); }

// Opens a series of `type` whose delimiter is at `opening`: the marker keeps
// how many cells lie between the enclosing head and itself (so that head can
// be found again), the type and the delimiter's offset in the input; the
// new head is just above it.
Cell* push_marker(State* lex, int type, const uint8_t* opening);

// The marker of the innermost open series, or null when none is open.
Cell* innermost_marker(State* lex);

// ---- Text -------------------------------------------------------------------------

// Characters of text converted from a string, counted by their first bytes:
// such text may hold surrogate code points, which the string kept as
// characters but a validating decoder would split.
int64_t count_string_chars(const uint8_t* start, const uint8_t* end);
// The byte after n such characters, at most `end`.
const uint8_t* skip_string_chars(const uint8_t* p, const uint8_t* end, int64_t n);

// Whether a code point is one of the Unicode blank characters that separate
// tokens like spaces (no-break space, the typographic spaces, ideographic
// space ...).
bool is_unicode_blank(uint32_t cp);

// ---- Errors, trace events and paths (their modules fill these in) ----------------

// Raises the syntax error of `kind` for the text from `start` (null: the
// innermost open delimiter) to `end`. Outside load mode it only sets the
// type to error! and stops the scan. A trace callback may absorb the error:
// the scan then goes on where the callback left the position, and at least
// one character past the start of the error. Never returns.
[[noreturn]] void raise_error(State* lex, const uint8_t* start, const uint8_t* end, int kind);

// Sends a trace event; answers false when the callback said no.
bool send_event(State* lex, uint32_t event, int type, const Cell* token, const uint8_t* start,
                const uint8_t* end);

// The events a callback asks for.
uint32_t event_mask_of(const Cell* callback);

// After an element inside a path: reads the separator or ends the path.
void path_continue(State* lex);

// ---- Observation --------------------------------------------------------------------

// Called for every token the driver handles (blank words excluded), right
// after the automaton found it; for tests and tools that look at token
// streams. Null turns it off.
using TokenObserver = void (*)(State* lex, int token, const uint8_t* start, uint32_t flags,
                               void* context);
void set_token_observer(TokenObserver observer, void* context);

// Bytes of the shared UTF-8 buffer taken by running string scans.
int64_t utf8_buffer_used();

}  // namespace zel::lexer
