// The structural tokens: blocks, parens and maps opened and closed on the
// value stack, paths, brace strings that nest and span lines, point
// literals begun by "(", constructions "#(...)", comments, commas, the end
// of the input and the error transition.
//
// An opening delimiter pushes a marker; the values read afterwards go above
// it; the closing delimiter turns them into one series written in the
// marker's place. Nesting costs no recursion.
//
// Relies on: the value stack and markers (lexer_state.h), the series store
// (the cells of closed series), map! construction, the datatype registry
// (construction names), the word and text loaders, and the error raiser and
// trace events.
#include <cstring>

#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "lexer/routines.h"
#include "series/map.h"

namespace zel::lexer {

namespace {

// Bytes that may stand in a point literal before its first comma.
bool point_byte_q(uint8_t c) {
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ' ' || c == '\t' || c == '#')
        return true;
    return std::strchr("AaEeFfIiNn", c) != nullptr && c != 0;
}

// Classes that end a path: blanks, line feeds, "[", "]", "(", ")", "{", the
// double quote, ":", "<", ";", other word characters, bytes never in UTF-8,
// the end of the input.
bool ends_path_q(uint8_t byte) {
    switch (g_class_words[byte] & CLASS_MASK) {
        case C_BLANK: case C_LINE: case C_BLOCK_OPEN: case C_BLOCK_CLOSE: case C_PAREN_OPEN:
        case C_PAREN_CLOSE: case C_BRACE_OPEN: case C_DQUOTE: case C_COLON: case C_LESS:
        case C_SEMICOLON: case C_WORD: case C_INVALID: case C_EOF:
            return true;
        default:
            return false;
    }
}

// Opens a series of `type` for the delimiter token [start, end]; answers
// false when the trace callback refused it.
bool open_series(State* lex, int type, const uint8_t* start, const uint8_t* end) {
    Cell* inner = innermost_marker(lex);
    if (inner && marker_type(inner) == TYPE_POINT2D) raise_error(lex, start, end + 1, TYPE_POINT2D);
    if (lex->traced && !send_event(lex, EVENT_OPEN, type, nullptr, start, end + 1)) return false;
    push_marker(lex, type, start);
    lex->state = STATE_BETWEEN;
    return true;
}

bool closes_q(int open, int close) {
    if (open == close) return true;
    if (close == TYPE_BLOCK) return open == TYPE_MAP;
    if (close == TYPE_SET_PATH) return open == TYPE_PATH;
    return false;
}

// The cells of a map literal: pairs whose keys may be keys. Word keys are
// kept as set-words, as maps store them.
bool map_cells_valid(uint32_t first, uint32_t count) {
    if (count % 2 != 0) return false;
    for (uint32_t i = 0; i < count; i += 2) {
        Cell* key = stack_cell(first + i);
        int type = type_of(key);
        if (!map::valid_key_q(type)) return false;
        if (type == TYPE_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD)
            cell::set_type(key, TYPE_SET_WORD);
    }
    return true;
}

// The construction names that are not datatypes, in the order they are tried.
struct ConstructName {
    const char* name;
    int type;
    bool truth;
};
constexpr ConstructName CONSTRUCT_NAMES[] = {
    {"true", TYPE_LOGIC, true},
    {"false", TYPE_LOGIC, false},
    {"none", TYPE_NONE, false},
    {"unset", TYPE_UNSET, false},
};

// The text is the first `n` characters of the name, letter case aside.
bool begins_name_q(const uint8_t* text, size_t n, const char* name) {
    if (n > std::strlen(name)) return false;
    for (size_t i = 0; i < n; i++) {
        uint8_t a = text[i], b = uint8_t(name[i]);
        if (a >= 'A' && a <= 'Z') a = uint8_t(a + 32);
        if (b >= 'A' && b <= 'Z') b = uint8_t(b + 32);
        if (a != b) return false;
    }
    return true;
}

}  // namespace

// ---- Blocks, parens, maps -------------------------------------------------------------------

bool point_ahead(const State* lex, const uint8_t* paren) {
    const uint8_t* p = paren + 1;
    if (lex->input_end - p < 4) return false;
    while (p < lex->input_end && point_byte_q(*p)) p++;
    return p == lex->input_end || *p == ',';
}

// "[", "(" and "#[". A "(" that begins a point literal only moves the scan
// into the point state.
void scan_open(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    lex->position = end + 1;
    if (*end == '(' && point_ahead(lex, end)) {
        lex->point_lines = lex->token_lines;
        lex->type = 0;
        lex->state = STATE_POINT;
        return;
    }
    int type = *end == '(' ? TYPE_PAREN : *start == '#' ? TYPE_MAP : TYPE_BLOCK;
    open_series(lex, type, start, end);
}

void scan_close(State* lex, const uint8_t*, const uint8_t* end, uint32_t, bool) {
    close_series(lex, *end == ']' ? TYPE_BLOCK : TYPE_PAREN, end, false);
    lex->position = end + 1;
}

void close_series(State* lex, int type, const uint8_t* at, bool silent) {
    Cell* marker = innermost_marker(lex);
    int open = marker ? marker_type(marker) : 0;
    if (lex->traced && !silent) {
        int event_type = type < 1 || (open == TYPE_MAP && type != TYPE_MAP) ? open : type;
        const uint8_t* opening = marker ? lex->input + marker->data3 : at;
        if (!send_event(lex, EVENT_CLOSE, event_type, nullptr, opening, at + 1)) {
            lex->state = STATE_BETWEEN;
            return;
        }
    }
    if (!marker || !closes_q(open, type)) {
        lex->missing_type = marker ? open : type;
        raise_error(lex, nullptr, at + 1, KIND_MISSING);
    }
    const uint32_t index = lex->head - 1;
    const uint32_t first = lex->head;
    const uint32_t count = lex->tail - first;
    const uint32_t back = stack_cell(index)->data1;
    const int made = type == TYPE_SET_PATH ? TYPE_SET_PATH : open;
    if (open == TYPE_MAP && lex->load && !map_cells_valid(first, count)) {
        const uint8_t* opening = lex->input + stack_cell(index)->data3;
        lex->tail = index + 1;
        raise_error(lex, opening, at + 1, TYPE_MAP);
    }
    Node node = memory::alloc_cells(count);
    Series* s = memory::series_of(node);
    if (count > 0) std::memcpy(s->data(), stack_cell(first), count * sizeof(Cell));
    s->tail = count * uint32_t(sizeof(Cell));
    Cell value{};
    cell::set(&value, made == TYPE_MAP ? TYPE_BLOCK : made, 0, node);
    if (made == TYPE_MAP) map::make_at(&value, &value, 0);
    Cell* slot = stack_cell(index);
    value.header |= slot->header & FLAG_NEW_LINE;
    *slot = value;
    lex->head = index - back;
    lex->tail = index + 1;
    lex->type = made;
    Cell* inner = innermost_marker(lex);
    lex->state = inner && path_type_q(marker_type(inner)) ? STATE_PATH : STATE_BETWEEN;
}

// A comma counts the components of a point literal written as a paren;
// anywhere else it has no place.
void scan_comma(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    Cell* marker = innermost_marker(lex);
    int open = marker ? marker_type(marker) : 0;
    if (open == TYPE_POINT2D)
        marker->data2 += 1u << 16;
    else if (open == TYPE_PAREN)
        marker->data2 = uint32_t(TYPE_POINT2D) | 1u << 16;
    else
        raise_error(lex, start, end + 1, TYPE_POINT2D);
    lex->position = end + 1;
}

// ---- Paths --------------------------------------------------------------------------------------

// A word followed by "/": opens the path and loads the word as its head.
void scan_path_head(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end + 1;
    int type = *start == '\'' ? TYPE_LIT_PATH : *start == ':' ? TYPE_GET_PATH : TYPE_PATH;
    const uint8_t* name = type == TYPE_PATH ? start : start + 1;
    if (end + 1 == lex->input_end) raise_error(lex, start, lex->input_end, TYPE_PATH);
    if (!open_series(lex, type, start, end)) return;
    lex->state = STATE_PATH;
    lex->scanner_type = TYPE_WORD;
    if (!load) return;
    if (name == end || !valid_name(name, end)) raise_error(lex, start, end, TYPE_WORD);
    if (lex->traced && !send_event(lex, EVENT_SCAN, TYPE_WORD, nullptr, name, end)) return;
    uint32_t at = lex->tail;
    lex->token_lines = 0;  // the marker carries the line break
    push_word(lex, name, end, TYPE_WORD);
    if (lex->traced && !send_event(lex, EVENT_LOAD, TYPE_WORD, stack_cell(at), name, end)) lex->tail = at;
}

void path_continue(State* lex) {
    const uint8_t* p = lex->position;
    const uint8_t* input_end = lex->input_end;
    if (p >= input_end || ends_path_q(*p)) {
        Cell* marker = innermost_marker(lex);
        int type = marker ? marker_type(marker) : TYPE_PATH;
        if (p < input_end && *p == ':') {
            if (p + 1 < input_end && p[1] == '/') raise_error(lex, nullptr, p + 2, TYPE_PATH);
            lex->position = p + 1;
            type = TYPE_SET_PATH;
        }
        close_series(lex, type, p < input_end ? p : input_end - 1, false);
        return;
    }
    if (p + 1 == input_end) raise_error(lex, nullptr, p + 1, TYPE_PATH);
    lex->position = p + 1;
}

// ---- Brace strings ------------------------------------------------------------------------------

// Every "{" inside goes one level deeper; the automaton reads the text in
// the brace states until the depth returns to 0.
namespace {
// Flags of a piece of brace-string text, with the mark of text over
// several lines.
uint32_t brace_text_flags(const uint8_t* start, const uint8_t* end, uint32_t flags) {
    bool lines = end > start && std::memchr(start, '\n', size_t(end - start)) != nullptr;
    return flags | (lines ? LEX_MULTI_LINE : 0);
}
}  // namespace

void scan_brace_open(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    if (lex->brace_depth == 0) {
        lex->brace_start = end;
        lex->brace_lines = lex->token_lines;
        if (lex->traced) send_event(lex, EVENT_OPEN, TYPE_STRING, nullptr, end, end + 1);
    }
    lex->brace_depth++;
    lex->brace_flags |= brace_text_flags(start, end, flags);
    lex->state = STATE_BRACE;
    lex->position = end + 1;
}

void scan_brace_close(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->brace_flags |= brace_text_flags(start, end, flags);
    lex->position = end + 1;
    if (--lex->brace_depth > 0) {
        if (end + 1 == lex->input_end) raise_error(lex, lex->brace_start, lex->input_end, TYPE_STRING);
        return;
    }
    const uint8_t* open = lex->brace_start;
    uint32_t text_flags = lex->brace_flags;
    lex->brace_start = nullptr;
    lex->brace_flags = 0;
    lex->state = STATE_BETWEEN;
    lex->type = TYPE_STRING;
    if (lex->traced) send_event(lex, EVENT_CLOSE, TYPE_STRING, nullptr, open, end + 1);
    if (lex->traced && !send_event(lex, EVENT_SCAN, TYPE_STRING, nullptr, open, end + 1) && load) return;
    uint32_t at = lex->tail;
    lex->token_lines = lex->brace_lines;
    load_text(lex, open + 1, end, text_flags, TYPE_STRING, true, load, open);
    if (load && lex->traced) send_event(lex, EVENT_LOAD, TYPE_STRING, stack_cell(at), open, end + 1);
}

// ---- Constructions, comments, the end and errors ----------------------------------------------

// "#(true)", "#(none)", "#(integer!)" ...: compared without regard to case;
// a datatype may be named by the beginning of its name.
void scan_construction(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end + 1;
    const uint8_t* text = start + 2;
    size_t n = size_t(end - text);
    Cell value{};
    bool found = false;
    if (n > 0) {
        for (const ConstructName& c : CONSTRUCT_NAMES) {
            if (!begins_name_q(text, n, c.name)) continue;
            if (n != std::strlen(c.name)) raise_error(lex, start, end + 1, KIND_MALCONSTRUCT);
            cell::set(&value, c.type, c.truth ? 1 : 0);
            found = true;
            break;
        }
        for (int t = 1; !found && t <= datatype::g_highest_type; t++) {
            if (!datatype::registered(t) || !begins_name_q(text, n, datatype::type_name(t))) continue;
            cell::set(&value, TYPE_DATATYPE, uint32_t(t));
            found = true;
        }
    }
    if (!found) raise_error(lex, start, end + 1, KIND_MALCONSTRUCT);
    lex->type = type_of(&value);
    if (load) push_value(lex, value);
}

void scan_comment(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    lex->position = end;
    if (lex->traced) send_event(lex, EVENT_SCAN, -(TOKEN_COMMENT + 1), nullptr, start, end);
}

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
    if (kind == TYPE_BLOCK || kind == TYPE_PAREN || path_type_q(kind))
        start = nullptr;
    else if (lex->state == STATE_BRACE)
        start = lex->brace_start;
    raise_error(lex, start, end < lex->input_end ? end + 1 : end, kind);
}

}  // namespace zel::lexer
