// The routines of the boot environment, in the order the library binds them.
#include "boot/routines.h"

#include <cstring>

#include "boot/build_facts.h"
#include "boot/zelbin/format.h"
#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "interpreter/dispatch.h"
#include "interpreter/routine.h"
#include "interpreter/trace.h"
#include "os/clipboard.h"
#include "os/file.h"
#include "os/image.h"
#include "os/os_info.h"
#include "scalars/float_text.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::boot::routines {

namespace {

using routine::MachineValue;

MachineValue none_value() { return MachineValue{.cell = nullptr}; }
MachineValue integer_value(int32_t n) { return MachineValue{.integer = n}; }
MachineValue logic_value(bool b) { return MachineValue{.integer = b ? 1 : 0}; }

// ---- Exit and quiet assignment ------------------------------------------------------------

MachineValue quit_return(const MachineValue* a) { platform::quit(a[0].integer); }

bool settable_word(int type) {
    return type == TYPE_WORD || type == TYPE_SET_WORD || type == TYPE_GET_WORD || type == TYPE_LIT_WORD;
}

MachineValue set_quiet(const MachineValue* a) {
    Cell* word = a[0].cell;
    if (!settable_word(type_of(word))) raise::expect_arg(word, 0);
    Cell w = *word;
    context::set_in(&w, a[1].cell, w.data1, false);
    return MachineValue{.cell = a[1].cell};
}

bool slot_series(int type) { return type == TYPE_BLOCK || type == TYPE_PAREN || (type >= TYPE_PATH && type <= TYPE_GET_PATH); }

MachineValue set_slot_quiet(const MachineValue* a) {
    Cell* series = a[0].cell;
    if (!slot_series(type_of(series))) raise::expect_arg(series, 0);
    if (!block::tail_q(series)) *block::head(series) = *a[1].cell;
    memory::touch(series);
    return none_value();
}

// ---- Shifts -------------------------------------------------------------------------------

MachineValue shift_right(const MachineValue* a) { return integer_value(integer::shift(a[0].integer, a[1].integer, false, false)); }
MachineValue shift_left(const MachineValue* a) { return integer_value(integer::shift(a[0].integer, a[1].integer, true, false)); }
MachineValue shift_logical(const MachineValue* a) { return integer_value(integer::shift(a[0].integer, a[1].integer, false, true)); }

// ---- Tuples ---------------------------------------------------------------------------------

// The components, checked in order for the first negative one; each is
// then taken modulo 256, so that no component spills into its neighbours.
template <int COUNT>
MachineValue tuple_of(const MachineValue* a) {
    uint8_t bytes[COUNT];
    for (int i = 0; i < COUNT; i++) {
        if (a[i].integer < 0) {
            Cell bad;
            cell::set(&bad, TYPE_INTEGER, 0, uint32_t(a[i].integer));
            fire(ERR_script_invalid_arg, &bad);
        }
        bytes[i] = uint8_t(a[i].integer & 0xFF);
    }
    tuple::make_at(stack::arguments(), bytes, COUNT);
    return none_value();
}

// ---- UTF-8 ----------------------------------------------------------------------------------

// Characters from start's position up to pos's position, both read in
// start's buffer; 0 when pos is not after start.
MachineValue count_chars(const MachineValue* a) {
    Series* s = memory::series_of(a[0].cell->data2);
    int64_t used = s->used();
    int64_t from = std::min<int64_t>(int32_t(a[0].cell->data1) < 0 ? 0 : a[0].cell->data1, used);
    int64_t to = std::min<int64_t>(int32_t(a[1].cell->data1) < 0 ? 0 : a[1].cell->data1, used);
    const uint8_t* p = s->head() + from;
    const uint8_t* end = s->head() + to;
    int32_t count = 0;
    while (p < end) {
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, cp, end);
        count++;
    }
    return integer_value(count);
}

// ---- The argument stack and the calls ----------------------------------------------------------

MachineValue stack_size_q(const MachineValue*) { return integer_value(stack::depth()); }

MachineValue pick_stack(const MachineValue* a) {
    int32_t index = a[0].integer;
    Cell picked = none::g_none;
    if (index > 0 && index < stack::depth()) picked = stack::bottom()[index - 1];
    *stack::arguments() = picked;
    return none_value();
}

// The base of the call that called the routine.
MachineValue frame_index_q(const MachineValue*) {
    return integer_value(int32_t(frames::top_frame()->saved_base - stack::bottom()));
}

MachineValue collect_calls(const MachineValue* a) {
    frames::collect_calls(a[0].cell);
    return none_value();
}

MachineValue tracing_q(const MachineValue*) { return logic_value(interpreter::g_tracing); }
MachineValue set_tracing(const MachineValue* a) {
    interpreter::set_tracing(a[0].integer != 0);
    return logic_value(interpreter::g_tracing);
}
// Called by the evaluator when its own record, or one below, was pushed by
// the evaluator (blocks have no record of their own to look at).
MachineValue interpreted_q(const MachineValue*) { return logic_value(frames::eval_q(frames::g_frame_top, false)); }

// ---- Float text ---------------------------------------------------------------------------------

// float-switches: the float module's switches from the two fields of
// system/options/float, each on when its value is truthy.
MachineValue float_switches(const MachineValue* a) {
    float_::pretty_print_q = logic::is_false(a[0].cell) ? 0 : 1;
    float_::full_support_q = logic::is_false(a[1].cell) ? 0 : 1;
    return none_value();
}

// ---- The collector ------------------------------------------------------------------------------

MachineValue gc_active_q(const MachineValue*) { return logic_value(collector::active()); }
MachineValue gc_series_cycles(const MachineValue*) { return integer_value(int32_t(collector::cycle_count())); }
// Every cycle also releases the node frames that emptied.
MachineValue gc_nodes_cycles(const MachineValue*) { return integer_value(int32_t(collector::cycle_count())); }

// ---- JSON strings -----------------------------------------------------------------------------

class Unescaper {
public:
    explicit Unescaper(Cell* str) : str_(str) {
        Series* s = buffer();
        end_ = int32_t(s->used() / s->unit());
        read_ = write_ = int32_t(std::min<int64_t>(int32_t(str->data1) < 0 ? 0 : str->data1, end_));
    }

    void run() {
        while (read_ < end_) {
            uint32_t c = next();
            if (c == '\\') c = escaped();
            string::poke_char(buffer(), write_++, c);
        }
        string::truncate(buffer(), write_);
    }

private:
    Series* buffer() const { return memory::series_of(str_->data2); }
    uint32_t at(int32_t i) const {
        Series* s = buffer();
        return string::get_char(s->head() + int64_t(i) * s->unit(), s->unit());
    }
    uint32_t next() {
        if (read_ >= end_) fail();
        return at(read_++);
    }
    [[noreturn]] void fail() const { fire(ERR_script_invalid_data, str_); }

    uint32_t hex4() {
        uint32_t n = 0;
        for (int i = 0; i < 4; i++) {
            uint32_t c = next(), d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else fail();
            n = n * 16 + d;
        }
        return n;
    }

    uint32_t escaped() {
        uint32_t c = next();
        switch (c) {
            case '"': case '\\': case '/': return c;
            case 'b': return 8;
            case 'f': return 12;
            case 'n': return 10;
            case 'r': return 13;
            case 't': return 9;
            case 'u': break;
            default: fail();
        }
        uint32_t high = hex4();
        if (high < 0xD800 || high > 0xDBFF) return high;
        if (end_ - read_ < 6 || next() != '\\' || next() != 'u') fail();
        uint32_t low = hex4();
        if (low < 0xDC00 || low > 0xDFFF) fail();
        return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    }

    Cell* str_;
    int32_t read_, write_, end_;
};

MachineValue json_unescape(const MachineValue* a) {
    Unescaper(a[0].cell).run();
    return MachineValue{.cell = a[0].cell};
}

// The JSON encoder's deep walk on the cycle stack: entering a series or
// object it is already inside raises no-cycle (the stack emptied first, as
// a deep copy does), and nesting past the stack's depth raises too-deep.
// Entering answers the depth before the entry; leaving trims back to it.
MachineValue json_walk_enter(const MachineValue* a) {
    int depth = cell::cycle_depth();
    uint32_t node = cell::cycle_node(a[0].cell);
    if (cell::cycle_find(node)) {
        cell::cycle_reset();
        fire(ERR_internal_no_cycle);
    }
    cell::cycle_push(node);
    return integer_value(depth);
}

MachineValue json_walk_leave(const MachineValue* a) {
    int now = cell::cycle_depth();
    if (now > a[0].integer) cell::cycle_pop_n(now - a[0].integer);
    return none_value();
}

// ---- The operating system -------------------------------------------------------------------

MachineValue os_info_record(const MachineValue*) { return MachineValue{.cell = os_info::get(stack::push_new())}; }
MachineValue read_clipboard(const MachineValue*) { return MachineValue{.cell = clipboard::read(stack::push_new())}; }
MachineValue write_clipboard(const MachineValue* a) { return logic_value(clipboard::write(a[0].cell)); }

// The page of released builds, a setting of the build (about/debug names it).
MachineValue download_page(const MachineValue*) {
    Cell* page = stack::push_new();
    string::make_from_utf8(page, reinterpret_cast<const uint8_t*>(build::DOWNLOAD_PAGE),
                           int64_t(std::strlen(build::DOWNLOAD_PAGE)));
    cell::set_type(page, TYPE_URL);
    return MachineValue{.cell = page};
}

// ---- The image codecs -----------------------------------------------------------------------

// The image, where to put the bytes (a binary! is filled in place; anything
// else, as a file name from save, gets a new binary!) and the format.
MachineValue image_encode(const MachineValue* a) {
    Cell* made = image::encode(a[0].cell, stack::push_new(), cell::get_int(a[2].cell));
    if (type_of(a[1].cell) != TYPE_BINARY) return MachineValue{.cell = made};
    Cell* target = a[1].cell;
    binary::cut_at_head(target);
    binary::append_bytes(target, binary::head(made), binary::length_q(made));
    return MachineValue{.cell = target};
}

MachineValue image_decode(const MachineValue* a) { return MachineValue{.cell = image::decode(a[0].cell, stack::push_new())}; }

// ---- Standard output ------------------------------------------------------------------------

// A binary's bytes as they are; a string's characters in UTF-8; any other
// value formed.
MachineValue write_stdout(const MachineValue* a) {
    Cell* data = a[0].cell;
    if (type_of(data) == TYPE_BINARY) {
        Series* s = memory::series_of(data->data2);
        int64_t from = std::min<int64_t>(int32_t(data->data1) < 0 ? 0 : data->data1, s->used());
        platform::write_raw(reinterpret_cast<const char*>(s->head() + from), size_t(s->used() - from));
    } else if (series::any_string(type_of(data))) {
        platform::print_string(data, false);
    } else {
        Cell* text = stack::push_new();
        string::make_at(text, 16);
        dispatch::form(data, text, -1);
        platform::print_string(text, false);
        stack::pop(1);
    }
    return none_value();
}

// ---- The Zelbin codec -----------------------------------------------------------------------

MachineValue zelbin_encode(const MachineValue* a) {
    zelbin::Options options;
    options.compact = !logic::is_false(a[1].cell);
    return MachineValue{.cell = zelbin::encode(a[0].cell, options, stack::push_new())};
}

// A file is read whole first; the stream's one value is the result, else
// the block of its values.
MachineValue zelbin_decode(const MachineValue* a) {
    Cell* payload = a[0].cell;
    Cell* binary = payload;
    if (type_of(payload) == TYPE_FILE) {
        binary = simple_io::read(payload, nullptr, nullptr, true, false, stack::push_new());
    } else if (type_of(payload) == TYPE_URL) {
        fire(ERR_internal_not_done);
    } else if (type_of(payload) != TYPE_BINARY) {
        fire(ERR_script_invalid_data, payload);
    }
    return MachineValue{.cell = zelbin::load(binary, stack::push_new())};
}

struct Registration {
    const char* key;
    routine::Code code;
    int result;
    bool cells;
};

constexpr Registration ROUTINES[] = {
    {"quit-return", quit_return, routine::RESULT_OWN, false},
    {"set-quiet", set_quiet, routine::RESULT_OWN, true},
    {"set-slot-quiet", set_slot_quiet, routine::RESULT_OWN, true},
    {"shift-right", shift_right, routine::RESULT_INTEGER, false},
    {"shift-left", shift_left, routine::RESULT_INTEGER, false},
    {"shift-logical", shift_logical, routine::RESULT_INTEGER, false},
    {"as-color", tuple_of<3>, routine::RESULT_OWN, false},
    {"as-ipv4", tuple_of<4>, routine::RESULT_OWN, false},
    {"as-rgba", tuple_of<4>, routine::RESULT_OWN, false},
    {"count-chars", count_chars, routine::RESULT_INTEGER, true},
    {"stack-size?", stack_size_q, routine::RESULT_INTEGER, false},
    {"pick-stack", pick_stack, routine::RESULT_OWN, false},
    {"frame-index?", frame_index_q, routine::RESULT_INTEGER, false},
    {"collect-calls", collect_calls, routine::RESULT_OWN, true},
    {"tracing?", tracing_q, routine::RESULT_LOGIC, false},
    {"set-tracing", set_tracing, routine::RESULT_LOGIC, false},
    {"interpreted?", interpreted_q, routine::RESULT_LOGIC, false},
    {"float-switches", float_switches, routine::RESULT_OWN, true},
    {"gc-active?", gc_active_q, routine::RESULT_LOGIC, false},
    {"gc-series-cycles", gc_series_cycles, routine::RESULT_INTEGER, false},
    {"gc-nodes-cycles", gc_nodes_cycles, routine::RESULT_INTEGER, false},
    {"json-unescape", json_unescape, routine::RESULT_OWN, true},
    {"json-walk-enter", json_walk_enter, routine::RESULT_INTEGER, true},
    {"json-walk-leave", json_walk_leave, routine::RESULT_OWN, false},
    {"os-info", os_info_record, routine::RESULT_OWN, true},
    {"read-clipboard", read_clipboard, routine::RESULT_OWN, true},
    {"write-clipboard", write_clipboard, routine::RESULT_LOGIC, true},
    {"_download-page", download_page, routine::RESULT_OWN, true},
    {"write-stdout", write_stdout, routine::RESULT_OWN, true},
    {"image-encode", image_encode, routine::RESULT_OWN, true},
    {"image-decode", image_decode, routine::RESULT_OWN, true},
    {"zelbin-encode", zelbin_encode, routine::RESULT_OWN, true},
    {"zelbin-decode", zelbin_decode, routine::RESULT_OWN, true},
};

}  // namespace

void register_all() {
    for (const Registration& r : ROUTINES) routine::register_code(r.key, r.code, r.result, r.cells);
}

}  // namespace zel::boot::routines
