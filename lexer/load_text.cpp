// Loaders of the text tokens: strings in double quotes (and the text of
// brace strings), raw strings, characters, files, tags, URLs, emails, refs,
// and the words, issues and refinements.
//
// Relies on: the string store (the values made), the unicode module (UTF-8
// decoding), symbols and the global context (words), and the lexer's value
// stack and error raiser.
#include <cstring>
#include <vector>

#include "lexer/routines.h"
#include "lexer/scalar_values.h"
#include "scalars/text_to_number.h"
#include "series/file.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::lexer {

namespace {

// ---- Escapes -----------------------------------------------------------------------------

struct EscapeName {
    const char* name;
    uint32_t cp;
};
constexpr EscapeName ESCAPE_NAMES[] = {
    {"null", 0}, {"back", 8}, {"tab", 9}, {"line", 10}, {"page", 12}, {"esc", 27}, {"del", 127},
};
constexpr int ESCAPE_HEX_DIGITS = 6;

uint8_t lower(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

bool same_text_any_case(const uint8_t* p, size_t n, const char* name) {
    if (std::strlen(name) != n) return false;
    for (size_t i = 0; i < n; i++)
        if (lower(p[i]) != uint8_t(name[i])) return false;
    return true;
}

// The character a one-character escape stands for.
uint32_t escaped_char(uint32_t c) {
    switch (c) {
        case '@': return 0;
        case '/': return 10;
        case '-': return 9;
        case '"': return 34;
        case '{': return 123;
        case '}': return 125;
        case '^': return 94;
        case '~': return 127;
        default: break;
    }
    if (c >= 'a' && c <= 'z') return c - 'a' + 1;
    if (c >= 'A' && c <= '_') return c - 64;
    return c;
}

// The escape after a "^" at p: its code point, p moved past it; -1 when it
// is not a valid escape.
int64_t decode_escape(const uint8_t*& p, const uint8_t* end) {
    if (p >= end) return -1;
    if (*p != '(') {
        if (*p < 0x80) return escaped_char(*p++);
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, cp, end);
        return cp;  // any other character stands for itself
    }
    const uint8_t* inside = p + 1;
    const uint8_t* close = inside;
    while (close < end && *close != ')') close++;
    if (close == end || close == inside) return -1;
    size_t n = size_t(close - inside);
    p = close + 1;
    if (n > 2) {
        for (const EscapeName& e : ESCAPE_NAMES)
            if (same_text_any_case(inside, n, e.name)) return e.cp;
    }
    if (n > ESCAPE_HEX_DIGITS) return -1;
    int64_t value = 0;
    for (size_t i = 0; i < n; i++) {
        int d = text_to_number::hex_digit(inside[i]);
        if (d < 0) return -1;
        value = value << 4 | d;
    }
    return value <= int64_t(unicode::MAX_CODE_POINT) ? value : -1;
}

// ---- Text --------------------------------------------------------------------------------

// Reads one character of literal text. `raw` keeps bytes from 128 up as
// they are (text without multi-byte characters); `escapes` decodes "^".
// Answers -1 for an undecodable character or escape.
int64_t next_char(const uint8_t*& p, const uint8_t* end, bool raw, bool escapes) {
    uint8_t b = *p;
    if (escapes && b == '^') {
        p++;
        return decode_escape(p, end);
    }
    if (b < 0x80 || raw) {
        p++;
        return b;
    }
    int32_t cp;
    p = unicode::fast_decode_utf8_char(p, cp, end);
    return cp;
}

int unit_for(uint32_t cp) { return cp > 0xFFFF ? 4 : cp > 0xFF ? 2 : 1; }

// A new string-like value of `type` over the code points.
Cell text_value(int type, const std::vector<uint32_t>& cps) {
    uint32_t widest = 0;
    for (uint32_t cp : cps) widest = cp > widest ? cp : widest;
    int unit = unit_for(widest);
    Cell c{};
    string::make_at_unit(&c, int(cps.size()), unit);
    Series* s = string::buffer_of(&c);
    uint8_t* out = s->head();
    for (uint32_t cp : cps) {
        string::put_char(out, unit, cp);
        out += unit;
    }
    s->tail = s->offset + uint32_t(cps.size()) * uint32_t(unit);
    cell::set_type(&c, type);
    return c;
}

// File and URL text: percent escapes are decoded when a "%" occurs.
void load_decoded_text(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                       int type, bool load, const uint8_t* error_start) {
    if (!std::memchr(start, '%', size_t(end - start))) {
        load_text(lex, start, end, flags, type, false, load, error_start);
        return;
    }
    std::vector<uint32_t> cps;
    if (!url::decode_bytes(start, end, cps)) raise_error(lex, error_start, end, type);
    if (load) push_value(lex, text_value(type, cps));
}

// ---- Words -------------------------------------------------------------------------------

// The word's kind from its colons and quote; raises the errors of bad ones.
int word_kind(State* lex, const uint8_t* s, const uint8_t* e) {
    int colons = 0;
    for (const uint8_t* p = s; p < e; p++) colons += *p == ':';
    int type = TYPE_WORD;
    if (colons > 0) {
        if (colons == 1 && *s == ':' && e - s > 1)
            type = TYPE_GET_WORD;
        else if (colons == 1 && e[-1] == ':' && e - s > 1)
            type = TYPE_SET_WORD;
        else
            raise_error(lex, s, e, TYPE_WORD);
    }
    // A ":" ending the word belongs to a set-path, which the path checks.
    if (e < lex->input_end && *e == ':' && lex->state != STATE_PATH) raise_error(lex, s, e, TYPE_WORD);
    if (*s == '\'') {
        if (type != TYPE_WORD) raise_error(lex, s, e, TYPE_LIT_WORD);
        type = TYPE_LIT_WORD;
    }
    return type;
}

}  // namespace

// ---- Shared ---------------------------------------------------------------------------------

void push_value(State* lex, const Cell& value) {
    Cell* c = push_cell(lex);
    uint32_t line = c->header & FLAG_NEW_LINE;
    *c = value;
    c->header = (c->header & ~FLAG_NEW_LINE) | line;
}

void load_text(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, int type,
               bool escapes, bool load, const uint8_t* error_start) {
    int unit = flags & LEX_UTF8_4 ? 4 : flags & LEX_UTF8_WIDE ? 2 : 1;
    escapes = escapes && (flags & LEX_CARET);
    const bool raw = unit == 1;
    if (raw && !escapes) {
        if (!load) return;
        int64_t n = end - start;
        Cell c{};
        string::make_at_unit(&c, int(n), 1);
        Series* s = string::buffer_of(&c);
        if (n > 0) std::memcpy(s->head(), start, size_t(n));
        s->tail = s->offset + uint32_t(n);
        cell::set_type(&c, type);
        push_value(lex, c);
        return;
    }
    // Count and check the characters, and find the unit that holds them all.
    int64_t count = 0;
    for (const uint8_t* p = start; p < end; count++) {
        int64_t cp = next_char(p, end, raw, escapes);
        if (cp < 0) raise_error(lex, error_start, end, type);
        if (unit_for(uint32_t(cp)) > unit) unit = unit_for(uint32_t(cp));
    }
    if (!load) return;
    Cell c{};
    string::make_at_unit(&c, int(count), unit);
    Series* s = string::buffer_of(&c);
    uint8_t* out = s->head();
    for (const uint8_t* p = start; p < end; out += unit)
        string::put_char(out, unit, uint32_t(next_char(p, end, raw, escapes)));
    s->tail = s->offset + uint32_t(count * unit);
    cell::set_type(&c, type);
    push_value(lex, c);
}

// Names are well-formed UTF-8.
bool valid_name(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        if (*p < 0x80) {
            p++;
            continue;
        }
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, cp, end);
        if (cp < 0) return false;
    }
    return true;
}

void push_word(State* lex, const uint8_t* start, const uint8_t* end, int type) {
    uint32_t symbol = symbol::make_from_buffer(start, int32_t(end - start));
    Cell c{};
    if (type == TYPE_ISSUE) {
        issue::make_at(&c, symbol);
    } else {
        c.header = TYPE_WORD;
        word::make_at(symbol, &c);
        cell::set_type(&c, type);
    }
    push_value(lex, c);
}

// ---- Strings --------------------------------------------------------------------------------

// The loader checks while it loads; a scan without loading checks here.
void scan_string(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end + 1;
    if (!load) load_text(lex, start + 1, end, flags, TYPE_STRING, true, false, start);
}

void load_string(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end + 1;
    load_text(lex, start + 1, end, flags, TYPE_STRING, true, load, start);
}

// n "%" signs, "{", the text, "}" and n "%" signs. The automaton stops at
// the first "}" followed by a "%"; when that run is shorter than n, the
// text goes on to a "}" followed by n of them.
void load_raw_string(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                     bool load) {
    const uint8_t* open = start;
    while (*open == '%') open++;
    int64_t n = open - start;
    const uint8_t* run = end;
    while (run[-1] == '%') run--;
    int64_t m = end - run;
    if (m > n) raise_error(lex, start, end, TYPE_STRING);
    const uint8_t* close = run - 1;  // the "}"
    const uint8_t* after = end;
    if (m < n) {
        close = nullptr;
        for (const uint8_t* p = end; p + n < lex->input_end; p++) {
            if (*p != '}') continue;
            int64_t k = 0;
            while (k < n && p[1 + k] == '%') k++;
            if (k == n) {
                close = p;
                break;
            }
        }
        if (!close) raise_error(lex, start, lex->input_end, TYPE_STRING);
        after = close + 1 + n;
        for (const uint8_t* p = end; p < after; p++) {
            lex->line += *p == '\n';
            flags |= g_class_words[*p];
        }
    }
    lex->position = after;
    if (!load && lex->traced) {
        send_event(lex, EVENT_OPEN, TYPE_STRING, nullptr, start, open + 1);
        send_event(lex, EVENT_CLOSE, TYPE_STRING, nullptr, close, after);
    }
    load_text(lex, open + 1, close, flags, TYPE_STRING, false, load, start);
}

// "#" and the character in double quotes: one character or one escape.
void load_char(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end + 1;
    const uint8_t* p = start + 2;
    if (start[0] != '#' || start[1] != '"' || *end != '"' || p >= end)
        raise_error(lex, start, end, TYPE_CHAR);
    int64_t cp = next_char(p, end, false, true);
    if (cp < 0 || cp > int64_t(unicode::MAX_CODE_POINT) || p != end)
        raise_error(lex, start, end, TYPE_CHAR);
    if (!load) return;
    Cell c{};
    push_value(lex, *value::make_char(&c, uint32_t(cp)));
}

// "%" and a name, or "%" and a name in double quotes that may hold escapes.
void load_file(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    if (start[1] == '"') {
        if (end >= lex->input_end || *end != '"') raise_error(lex, start, end, TYPE_FILE);
        lex->position = end + 1;
        load_text(lex, start + 2, end, flags, TYPE_FILE, true, load, start);
        return;
    }
    lex->position = end;
    load_decoded_text(lex, start + 1, end, flags, TYPE_FILE, load, start);
}

void load_tag(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end + 1;
    load_text(lex, start + 1, end, flags, TYPE_TAG, false, load, start);
}

void load_url(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end;
    if (*start == ':') raise_error(lex, start, end, TYPE_GET_WORD);
    if (*start == '\'') raise_error(lex, start, end, TYPE_LIT_WORD);
    load_decoded_text(lex, start, end, flags, TYPE_URL, load, start);
}

void load_email(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end;
    load_text(lex, start, end, flags, TYPE_EMAIL, false, load, start);
}

void load_ref(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    lex->position = end;
    load_text(lex, start + 1, end, flags, TYPE_REF, false, load, start);
}

// ---- Words, issues and refinements ---------------------------------------------------------

// Cuts the word at the first Unicode blank and decides its kind.
void scan_word(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    if (flags & (LEX_UTF8_WIDE | LEX_UTF8_4)) {
        for (const uint8_t* p = start; p < end;) {
            const uint8_t* at = p;
            int32_t cp;
            p = unicode::fast_decode_utf8_char(p, cp, end);
            if (cp >= 0 && is_unicode_blank(uint32_t(cp)) && at > start) {
                end = at;
                break;
            }
        }
    }
    lex->position = lex->token_end = end;
    lex->type = lex->scanner_type = word_kind(lex, start, end);
}

void scan_issue(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    lex->position = end;
    if (*start != '#' || end - start < 2) raise_error(lex, start, end, TYPE_ISSUE);
    lex->type = lex->scanner_type = TYPE_ISSUE;
}

// The name without the decoration of its kind.
void load_word(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    int type = lex->scanner_type > 0 ? lex->scanner_type : TYPE_WORD;
    lex->position = end;
    const uint8_t* name = start;
    const uint8_t* name_end = end;
    switch (type) {
        case TYPE_LIT_WORD:
        case TYPE_GET_WORD:
        case TYPE_ISSUE:
        case TYPE_REFINEMENT: name++; break;
        case TYPE_SET_WORD: name_end--; break;
        default: break;
    }
    if (name >= name_end || !valid_name(name, name_end)) raise_error(lex, start, end, type);
    if (load) push_word(lex, name, name_end, type);
}

void load_refinement(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                     bool load) {
    lex->scanner_type = TYPE_REFINEMENT;
    load_word(lex, start, end, flags, load);
}

}  // namespace zel::lexer
