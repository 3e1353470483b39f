// Syntax errors: the raiser every scanner and loader calls, which builds the
// line and near texts, lets a trace callback absorb the error, closes what
// is open and raises the error of the `syntax` category.
//
// Relies on: the string store (the texts), the unicode module (decoding the
// near text), the value stack and markers, and the trace events.
#include <string>

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "lexer/routines.h"
#include "lexer/scalar_values.h"
#include "series/string.h"
#include "series/unicode.h"

namespace zel::lexer {

namespace {

constexpr int NEAR_BYTES = 30;
constexpr int LINE_TEXT_CHARS = 20;

const uint8_t* innermost_opening(State* lex) {
    Cell* marker = innermost_marker(lex);
    return marker ? lex->input + marker->data3 : lex->input;
}

// The text from the error's start to the first line feed, the end of the
// input, or the character that crosses 30 bytes; bytes that are not
// UTF-8 are taken one by one as characters.
Cell near_text(const State* lex, const uint8_t* start) {
    Cell text{};
    gc::root keep(&text);  // a wide character widens the buffer
    string::make_at(&text, NEAR_BYTES + 1);
    const uint8_t* limit = start + NEAR_BYTES;
    Series* s = string::buffer_of(&text);
    for (const uint8_t* p = start; p < lex->input_end && p < limit && *p != '\n';) {
        const uint8_t* at = p;
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, cp, lex->input_end);
        if (cp < 0) {
            cp = *at;
            p = at + 1;
        }
        s = string::append_char(s, uint32_t(cp));
    }
    return text;
}

Cell line_text(const State* lex) {
    Cell text{};
    gc::root keep(&text);
    string::make_at(&text, LINE_TEXT_CHARS);
    std::string line = "(line " + std::to_string(lex->line) + ")";
    string::append_c_string(&text, line.c_str());
    return text;
}

// The delimiter reported missing, chosen by the byte the scan stopped at.
uint32_t missing_delimiter(const State* lex, int kind, int missing) {
    uint8_t byte = '_';
    if (kind == KIND_MISSING && lex->input_end > lex->input)
        byte = lex->position < lex->input_end ? *lex->position : lex->input_end[-1];
    switch (missing) {
        case TYPE_BLOCK:
        case TYPE_MAP: return byte == ']' ? '[' : ']';
        case TYPE_PAREN:
        case TYPE_POINT2D: return byte == ')' ? '(' : ')';
        default: return 0;
    }
}

// Open blocks and parens become values; other open series are dropped.
void close_all(State* lex) {
    while (Cell* marker = innermost_marker(lex)) {
        int type = marker_type(marker);
        if (type == TYPE_BLOCK || type == TYPE_PAREN) {
            close_series(lex, type, lex->position, true);
        } else {
            uint32_t index = lex->head - 1;
            lex->head = index - marker->data1;
            lex->tail = index;
        }
    }
}

}  // namespace

void raise_error(State* lex, const uint8_t* start, const uint8_t* end, int kind) {
    if (!lex->load) {
        lex->type = TYPE_ERROR;
        stop();
    }
    if (!start) start = innermost_opening(lex);
    if (lex->traced) {
        int type = kind > 0                  ? kind
                   : lex->missing_type > 0   ? lex->missing_type
                   : lex->type > 0           ? lex->type
                   : lex->scanner_type > 0   ? lex->scanner_type
                                             : TYPE_ERROR;
        Cell* marker = innermost_marker(lex);
        if (lex->state == STATE_PATH && marker && path_type_q(marker_type(marker))) {
            close_series(lex, marker_type(marker), lex->position, true);
        }
        if (!send_event(lex, EVENT_ERROR, type, nullptr, start, end)) {
            // Absorbed: go on where the callback left the scan, but never
            // read the same bad text again.
            const uint8_t* token = lex->token_start;
            if (token && lex->position <= token && token < lex->input_end)
                lex->position = unicode::skip_utf8_chars(token, lex->input_end, 1);
            lex->missing_type = 0;
            stop();
        }
    }
    Cell near{}, line{};
    gc::root keep_near(&near), keep_line(&line);
    near = near_text(lex, start);
    line = line_text(lex);
    int missing = lex->missing_type;
    lex->missing_type = 0;
    if (path_type_q(missing)) kind = KIND_BAD_CHAR;
    close_all(lex);
    // A target block keeps what loaded before the error: load/trap answers
    // with those values.
    if (lex->into) deliver_into(lex);
    switch (kind) {
        case KIND_BAD_CHAR: fire(ERR_syntax_bad_char, &line, &near);
        case KIND_MALCONSTRUCT: fire(ERR_syntax_malconstruct, &line, &near);
        case KIND_MISSING:
        case KIND_MISSING_AT_END: {
            Cell delimiter{};
            value::make_char(&delimiter, missing_delimiter(lex, kind, missing));
            fire(ERR_syntax_missing, &line, &delimiter, &near);
        }
        default: {
            Cell type = raise::datatype_arg(kind);
            fire(ERR_syntax_invalid, &line, &type, &near);
        }
    }
}

}  // namespace zel::lexer
