// The scan driver: the chain of running scans, the value stack, the main loop
// that finds tokens and hands them to their routines, and the delivery of
// the values made.
//
// Relies on the automaton (lexer_tables.h), the per-token routines and the
// error raiser (lexer_state.h), the tracked heap for the lexer's buffers,
// the series store for the delivered block, and the unicode module for
// string sources and UTF-8 decoding. init installs the lexer as the
// datatypes' text loader (services.h) and word check (word.h).
#include "lexer/lexer.h"

#include <cstring>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "lexer/lexer_state.h"
#include "lexer/routines.h"
#include "series/binary.h"
#include "series/services.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/word.h"

namespace zel::lexer {

namespace {

constexpr uint32_t STACK_START_CELLS = 1000;
constexpr int64_t UTF8_BUFFER_BYTES = 100000;
constexpr int64_t BLANK_SET_BYTES = 8290;  // one bit per code point, up to U+FFFF

// Code points that separate tokens like a space even though the automaton
// reads them as word bytes.
constexpr uint32_t BLANK_CODE_POINTS[] = {
    0x0085, 0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007,
    0x2008, 0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0x180E, 0x200B,
};

Cell* g_stack = nullptr;
uint32_t g_stack_cells = 0;
uint8_t* g_utf8_buffer = nullptr;
int64_t g_utf8_cursor = 0;
uint8_t* g_blank_set = nullptr;
State* g_first = nullptr;  // the chain of running scans, outermost first
State* g_last = nullptr;
TokenObserver g_observer = nullptr;
void* g_observer_context = nullptr;

void grow_stack() {
    int64_t cells = int64_t(g_stack_cells) * 2;
    if (cells * int64_t(sizeof(Cell)) > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
    g_stack = static_cast<Cell*>(memory::heap_realloc(g_stack, cells * int64_t(sizeof(Cell))));
    g_stack_cells = uint32_t(cells);
}

// How far the scan got: characters for a text converted from a string, bytes
// otherwise.
int64_t consumed_count(const State* lex) {
    const uint8_t* end = lex->position < lex->input_end ? lex->position : lex->input_end;
    if (!(lex->flags & FROM_STRING)) return end - lex->input;
    return count_string_chars(lex->input, end);
}

// Keeps a scan in the chain of running scans for the lifetime of its call,
// whichever way the call ends.
class ChainLink {
public:
    ChainLink(State* lex, int64_t* consumed) : lex_(lex), consumed_(consumed) {
        if (g_last) {
            lex->parent = g_last;
            g_last->next = lex;
            lex->base = g_last->tail;
        } else {
            g_first = lex;
            lex->base = 0;
        }
        lex->head = lex->tail = lex->base;
        g_last = lex;
    }
    ~ChainLink() {
        if (consumed_) *consumed_ = consumed_count(lex_);
        if (lex_->parent)
            lex_->parent->next = nullptr;
        else
            g_first = nullptr;
        g_last = lex_->parent;
    }
    ChainLink(const ChainLink&) = delete;
    ChainLink& operator=(const ChainLink&) = delete;

private:
    State* lex_;
    int64_t* consumed_;
};

// The Unicode blanks a word token begins with are blank space: the bytes
// they take. Every such character takes several bytes, so a token without a
// multi-byte lead byte has none.
int64_t blank_prefix(const uint8_t* start, const uint8_t* end, uint32_t flags) {
    if (!(flags & (LEX_UTF8_WIDE | LEX_UTF8_4))) return 0;
    const uint8_t* p = start;
    while (p < end) {
        int32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, cp, end);
        if (cp < 0 || !is_unicode_blank(uint32_t(cp))) break;
        p = next;
    }
    return p - start;
}

int count_lines(const uint8_t* p, const uint8_t* end) {
    int lines = 0;
    for (; p < end; p++) lines += *p == '\n';
    return lines;
}

// Runs a routine; answers true when the stop signal ended it.
bool run(Routine routine, State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
         bool load) {
    if (!routine) return false;
    try {
        routine(lex, start, end, flags, load);
    } catch (const Throw& t) {
        if (t.code != THROW_STOP) throw;
        return true;
    }
    return false;
}

// One value so far: nothing on the stack for this scan, or one finished value.
bool holds_one_value(const State* lex) {
    uint32_t count = lex->tail - lex->base;
    return count == 0 || (count == 1 && !is_marker(g_stack + lex->base));
}

// Checks a token and makes its value, as the scan's mode and the trace
// callback decide. Answers true when the scan must end here: a syntax error
// outside load mode ends it quietly, with error! as its type. In load mode a
// stop comes only from a callback that absorbed an error, and the scan goes
// on after it.
bool handle_token(State* lex, int token, const uint8_t* start, uint32_t flags) {
    const uint8_t* end = lex->token_end;
    if (token < FIRST_VALUE_TOKEN) {
        if (lex->flags & PRESCAN) return false;  // its scanner ran before the prescan event
        return run(g_scanners[token], lex, start, end, flags, lex->load) && !lex->load;
    }
    bool keep = lex->load || !(lex->flags & ONE_VALUE);
    Routine scanner = g_scanners[token];
    Routine loader = g_loaders[token];
    if (!lex->load || scanner || (lex->traced && (lex->event_mask & EVENT_SCAN))) {
        bool stopped = scanner ? run(scanner, lex, start, end, flags, lex->load)
                               : run(loader, lex, start, end, flags, false);
        if (stopped && !lex->load) return true;
        if (lex->traced)
            keep =
                !stopped && send_event(lex, EVENT_SCAN, lex->type, nullptr, start, lex->position);
    }
    if (keep && loader) {
        // A scanner may have cut the token short.
        bool stopped = run(loader, lex, start, lex->token_end, flags, true);
        if (stopped && !lex->load) return true;
        if (lex->traced && !stopped &&
            !send_event(lex, EVENT_LOAD, lex->type, g_stack + lex->tail - 1, start, lex->position))
            lex->tail--;
    }
    return false;
}

// The main loop: one cycle per token, until the input ends or one value is
// complete in one-value and prescan modes.
void run_tokens(State* lex) {
    const bool prescan = lex->flags & PRESCAN;
    const bool one_value = lex->flags & ONE_VALUE;
    for (;;) {
        const int start_state = lex->state;
        const uint8_t* cycle = lex->position;
        const TokenRead read = read_token(start_state, cycle, lex->input_end);
        const uint8_t* start = cycle + read.skipped;
        lex->line += read.lines;
        lex->token_start = start;
        lex->position = lex->token_end = read.end;
        // Only line feeds before the token put its value on a new line.
        lex->token_lines = read.skipped > 0 ? count_lines(cycle, start) : 0;
        lex->previous_state = read.previous;
        lex->scanner_type = -1;
        lex->type = g_guessed_types[read.state];
        int token = read.state - TERMINAL_BASE;

        if (prescan && token <= TOKEN_STRING &&
            run(g_scanners[token], lex, start, read.end, read.flags, false))
            return;
        if (token == TOKEN_WORD) {
            int64_t blanks = blank_prefix(start, read.end, read.flags);
            if (blanks > 0 && start + blanks < read.end) {
                lex->position = start + blanks;  // the word proper is read again after them
                continue;
            }
            if (blanks > 0) {
                if (lex->position < lex->input_end) continue;
                token = TOKEN_EOF;
                lex->type = 0;
            }
        }
        if (g_observer) g_observer(lex, token, start, read.flags, g_observer_context);

        bool wanted;
        if (!lex->traced)
            wanted = !prescan;
        else if (start_state == STATE_BRACE)
            wanted = true;
        else
            wanted = send_event(lex, EVENT_PRESCAN, lex->type ? lex->type : -(token + 1), nullptr,
                                start, read.end);
        if (wanted && handle_token(lex, token, start, read.flags)) return;
        // A token that read nothing (an absorbed error left where it was)
        // would be read again forever.
        if (lex->position <= cycle && lex->position < lex->input_end) return;

        if (lex->state == STATE_PATH && token != TOKEN_PATH_HEAD && token != TOKEN_ERROR)
            path_continue(lex);
        if ((one_value || prescan) && lex->type > 0 && lex->state != STATE_PATH &&
            lex->state != STATE_BRACE && token != TOKEN_PATH_HEAD && holds_one_value(lex))
            return;
        lex->last_type = lex->type;
        if (lex->position >= lex->input_end) {
            if (lex->state == STATE_BRACE && lex->type == 0)
                raise_error(lex, lex->brace_start, lex->input_end, TYPE_STRING);
            return;
        }
    }
}

// After the main loop: a series still open at the end of the text is the
// `missing` error for its closing delimiter, reported from its opening one.
// Answers false when that error was absorbed (outside load mode, or by the
// callback): the scan then delivers nothing.
bool close_check(State* lex) {
    if (lex->tail == lex->base) return true;
    Cell* last = g_stack + (lex->head > lex->base ? lex->head - 1 : lex->base);
    if (!is_marker(last)) return true;
    if ((lex->flags & PRESCAN) && lex->state == STATE_PATH && lex->type != TYPE_ERROR) {
        lex->type = marker_type(last);  // a prescan may stop inside a path
        return true;
    }
    lex->missing_type = marker_type(last);
    const uint8_t* opening = lex->input + last->data3;
    try {
        raise_error(lex, opening, lex->input_end, KIND_MISSING_AT_END);
    } catch (const Throw& t) {
        if (t.code != THROW_STOP) throw;
    }
    return false;
}

void deliver(State* lex, Cell* result) {
    uint32_t count = lex->tail - lex->base;
    if (lex->into) {
        deliver_into(lex);
        return;
    }
    if ((lex->flags & ONE_VALUE) && !(lex->flags & WHOLE_BLOCK) && count > 0) {
        *result = g_stack[lex->base];
        return;
    }
    Node node = memory::alloc_cells(count);
    Series* s = memory::series_of(node);
    if (count > 0) std::memcpy(s->data(), g_stack + lex->base, count * sizeof(Cell));
    s->tail = count * uint32_t(sizeof(Cell));
    cell::set(result, TYPE_BLOCK, 0, node);
}

// Room for converted text in the shared UTF-8 buffer after the text of the
// scans still running, or a temporary buffer when that is too small. The
// cursor moves past the room while the scan runs and comes back after it.
class Utf8Room {
public:
    explicit Utf8Room(int64_t bytes) : cursor_(g_utf8_cursor) {
        if (bytes <= UTF8_BUFFER_BYTES - cursor_) {
            data_ = g_utf8_buffer + cursor_;
        } else {
            temporary_ = static_cast<uint8_t*>(memory::heap_alloc(bytes));
            data_ = temporary_;
        }
    }
    ~Utf8Room() {
        g_utf8_cursor = cursor_;
        memory::heap_free(temporary_);
    }
    Utf8Room(const Utf8Room&) = delete;
    Utf8Room& operator=(const Utf8Room&) = delete;

    uint8_t* data() { return data_; }
    // Keeps `bytes` from being taken by nested scans.
    void hold(int64_t bytes) {
        if (!temporary_) g_utf8_cursor = cursor_ + bytes;
    }

private:
    int64_t cursor_;
    uint8_t* data_ = nullptr;
    uint8_t* temporary_ = nullptr;
};

}  // namespace

// ---- Value stack ------------------------------------------------------------------

Cell* stack_cell(uint32_t index) { return g_stack + index; }

Cell* push_cell(State* lex) {
    if (lex->tail >= g_stack_cells) grow_stack();
    Cell* c = g_stack + lex->tail++;
    cell::set(c, TYPE_UNSET);
    if (lex->token_lines > 0) c->header |= FLAG_NEW_LINE;
    return c;
}

Cell* push_marker(State* lex, int type, const uint8_t* opening) {
    uint32_t back = lex->tail - lex->head;
    Cell* marker = push_cell(lex);
    cell::set_type(marker, TYPE_MARKER);  // keeps the new-line flag for the series it becomes
    marker->data1 = back;
    marker->data2 = uint32_t(type);
    marker->data3 = uint32_t(opening - lex->input);
    lex->head = lex->tail;
    return marker;
}

void deliver_into(State* lex) {
    for (uint32_t i = lex->base; i < lex->tail; i++) *cell::alloc_tail(lex->into) = g_stack[i];
}

Cell* innermost_marker(State* lex) {
    if (lex->head <= lex->base) return nullptr;
    Cell* c = g_stack + lex->head - 1;
    return is_marker(c) ? c : nullptr;
}

// ---- Text -------------------------------------------------------------------------

bool is_unicode_blank(uint32_t cp) {
    return cp < uint32_t(BLANK_SET_BYTES) * 8 && (g_blank_set[cp / 8] & (128 >> (cp % 8)));
}

int64_t count_string_chars(const uint8_t* p, const uint8_t* end) {
    int64_t n = 0;
    for (; p < end; p++) n += (*p & 0xC0) != 0x80;
    return n;
}

const uint8_t* skip_string_chars(const uint8_t* p, const uint8_t* end, int64_t n) {
    while (p < end && n > 0) {
        p++;
        while (p < end && (*p & 0xC0) == 0x80) p++;
        n--;
    }
    return p;
}

// ---- Observation --------------------------------------------------------------------

void set_token_observer(TokenObserver observer, void* context) {
    g_observer = observer;
    g_observer_context = context;
}

int64_t utf8_buffer_used() { return g_utf8_cursor; }

// ---- Entry points -------------------------------------------------------------------

void init() {
    g_stack = static_cast<Cell*>(memory::heap_alloc(int64_t(STACK_START_CELLS) * sizeof(Cell)));
    g_stack_cells = STACK_START_CELLS;
    g_utf8_buffer = static_cast<uint8_t*>(memory::heap_alloc(UTF8_BUFFER_BYTES));
    g_utf8_cursor = 0;
    g_blank_set = static_cast<uint8_t*>(memory::heap_alloc_zeroed(BLANK_SET_BYTES));
    for (uint32_t cp : BLANK_CODE_POINTS) g_blank_set[cp / 8] |= uint8_t(128 >> (cp % 8));
    g_first = g_last = nullptr;
    collector::add_mark_callback([] { mark_active(collector::mark_values); }, "the lexer's scans");
    init_routines();
    word::g_name_check = name_type;
    services::g_loader = {[](Cell* result, const Cell* text) { scan_string(result, text, -1, 0); },
                          load_value};
}

int scan(Cell* result, const uint8_t* text, int64_t length, unsigned flags, int64_t* consumed,
         const Cell* callback, const Cell* source, Cell* into) {
    State lex{};
    lex.input = lex.position = lex.token_start = lex.token_end = text;
    lex.input_end = text + (length > 0 ? length : 0);
    lex.line = 1;
    lex.scanner_type = -1;
    lex.flags = flags;
    lex.load = !(flags & (PRESCAN | SCAN_ONLY));
    lex.into = lex.load ? into : nullptr;
    if (callback) {
        lex.traced = true;
        lex.callback = *callback;
        lex.event_mask = event_mask_of(callback);
    }
    if (source) {
        lex.has_source = true;
        lex.source = *source;
    }
    ChainLink link(&lex, consumed);
    try {
        run_tokens(&lex);
    } catch (const Throw& t) {
        if (t.code != THROW_STOP) throw;
    }
    if (!close_check(&lex)) {
        if (result) cell::set(result, TYPE_NONE);
        return lex.type;
    }
    if (!(flags & SCAN_ONLY) && (result || into)) deliver(&lex, result);
    return lex.type;
}

int scan_string(Cell* result, const Cell* string, int64_t length, unsigned flags, int64_t* consumed,
                const Cell* callback, Cell* into) {
    Cell source = *string;
    int64_t available = string::length_q(&source);
    if (length < 0 || length > available) length = available;
    int unit = string::buffer_of(&source)->unit();
    Utf8Room room((unit == 4 ? length * 4 : length * (unit + 1)) + 1);
    int64_t bytes = unicode::to_utf8_buffer(&source, room.data(), int(length), true);
    room.hold(bytes + 1);
    return scan(result, room.data(), bytes, flags | FROM_STRING, consumed, callback, &source, into);
}

int scan_binary(Cell* result, const Cell* binary, int64_t length, unsigned flags, int64_t* consumed,
                const Cell* callback, Cell* into) {
    Cell source = *binary;
    const uint8_t* head = binary::head(&source);
    if (!callback) return scan(result, head, length, flags, consumed, nullptr, &source, into);
    Utf8Room room(length + 1);
    std::memcpy(room.data(), head, size_t(length));
    room.data()[length] = 0;
    room.hold(length + 1);
    return scan(result, room.data(), length, flags, consumed, callback, &source, into);
}

void mark_active(void (*mark_values)(const Cell* first, const Cell* end)) {
    for (State* lex = g_first; lex; lex = lex->next) {
        mark_values(g_stack + lex->base, g_stack + lex->tail);
        if (lex->has_source) mark_values(&lex->source, &lex->source + 1);
        if (lex->traced) mark_values(&lex->callback, &lex->callback + 1);
    }
}

int name_type(const uint8_t* text, int32_t length) {
    if (length <= 0) return 0;
    switch (g_class_words[text[0]] & CLASS_MASK) {
        case C_BLANK: case C_LINE: case C_CONTROL: case C_EOF: return 0;
        default: break;
    }
    int64_t consumed = 0;
    int type = scan(nullptr, text, length, SCAN_ONLY | ONE_VALUE, &consumed);
    return type > 0 && type != TYPE_ERROR && consumed == length ? type : 0;
}

Cell* load_value(const Cell* text, Cell* result) {
    Cell block;
    scan_string(&block, text, -1, 0);
    Series* s = memory::series_of(block.data2);
    uint32_t count = s->used() / uint32_t(sizeof(Cell));
    if (count == 0)
        cell::set(result, TYPE_UNSET);
    else if (count > 1)
        cell::set(result, TYPE_NONE);
    else
        *result = s->cells()[0];
    return result;
}

}  // namespace zel::lexer
