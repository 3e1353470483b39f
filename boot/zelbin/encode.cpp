// The Zelbin writer: one value, with everything it reaches, as a stream in
// the compact or the fixed form, and the boot streams of zel-mkboot.
//
// The walk decides the same things in both forms; only the bytes differ.
// Each series, context and function is written once, keyed by its node;
// a later meeting writes a shared record carrying the path of the first.
// Everything the walk keeps is C++ data (no series is allocated before the
// output), so a refused value leaves nothing behind.
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "boot/zelbin/format.h"
#include "interpreter/error.h"
#include "interpreter/function.h"
#include "interpreter/native.h"
#include "interpreter/object.h"
#include "os/image.h"
#include "scalars/date.h"
#include "scalars/money.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "series/series.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::zelbin {

namespace {

int log2_unit(int unit) { return unit == 8 ? 3 : unit == 4 ? 2 : unit == 2 ? 1 : 0; }

// What the walk writes into.
class Writer {
public:
    Writer(bool compact, bool boot) : compact_(compact), boot_(boot) {}

    // One record, counted at the current level.
    void record(const Cell* value);
    // A word-with-value record (boot streams): takes no position.
    void word_with_value(const Cell* word, const Cell* value);
    // Top-level records of boot streams: the root index of an object's or a
    // function's context, for words bound to it.
    void note_root(const Cell* value);
    std::vector<uint8_t> output() const;

private:
    bool compact_, boot_;
    std::vector<uint8_t> payload_;
    std::vector<uint32_t> symbols_;
    std::unordered_map<uint32_t, uint32_t> symbol_index_;
    std::vector<uint8_t> names_;
    std::vector<uint32_t> offsets_;
    int32_t counter_ = 0;
    std::vector<int32_t> positions_;
    std::unordered_map<Node, std::vector<int32_t>> paths_;
    std::unordered_map<Node, int32_t> roots_;
    int no_share_ = 0;
    int depth_ = 0;

    // ---- Bytes ----
    void byte(uint32_t b) { payload_.push_back(uint8_t(b)); }
    void bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        payload_.insert(payload_.end(), b, b + n);
    }
    void word32(uint32_t w) {
        for (int i = 0; i < 4; i++) byte(w >> (8 * i));
    }
    void varint(uint32_t v) {
        while (v >= 0x80) {
            byte((v & 0x7F) | 0x80);
            v >>= 7;
        }
        byte(v);
    }
    void zigzag(int32_t n) { varint((uint32_t(n) << 1) ^ uint32_t(n >> 31)); }
    // A count, an index or a symbol: a varint or a word.
    void number(uint32_t v) { compact_ ? varint(v) : word32(v); }
    void signed_number(int32_t n) { compact_ ? zigzag(n) : word32(uint32_t(n)); }
    void pad4() {
        while (payload_.size() % 4) byte(0);
    }
    void double_bits(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        if (compact_) {
            bytes(&bits, 8);
        } else {
            word32(uint32_t(bits >> 32));
            word32(uint32_t(bits));
        }
    }

    // ---- Record openings ----
    // Compact: prefixes and the kind byte. Fixed: the header word with
    // `bits` (flags above the type byte).
    void open(const Cell* value, int type, bool flag, uint32_t bits, bool shared = false) {
        bool new_line = cell::new_line(value);
        if (compact_) {
            if (new_line) byte(PREFIX_NEW_LINE);
            if (shared) byte(PREFIX_SHARED);
            byte(uint32_t(type) | (flag ? KIND_FLAG : 0));
        } else {
            word32(uint32_t(type) | bits | (shared ? FX_SHARED : 0) | (new_line ? FX_NEW_LINE : 0));
        }
    }
    void head_field(uint32_t head) {
        if (!compact_ || head != 0) number(head);
    }
    void path_of(const std::vector<int32_t>& path) {
        if (!compact_) word32(FX_REFERENCE);
        number(uint32_t(path.size()));
        for (int32_t i : path) number(uint32_t(i));
    }

    uint32_t symbol_of(uint32_t id);

    // ---- The walk ----
    void scalar(const Cell* value, int type);
    void number_record(const Cell* value, int type);
    void callable(const Cell* value, int type);
    void op_record(const Cell* value);
    void error_record(const Cell* value);
    void node_record(const Cell* value, int type);
    void shared(const Cell* value, int type, const std::vector<int32_t>& path);
    void content(const Cell* value, int type);
    void cells_of(Node node, int type);
    void units_of(const Cell* value, int type);
    void image_record(const Cell* value);
    void object_content(const Cell* value);
    void function_content(const Cell* value);
    void context_record(Node ctx);
    void word_record(const Cell* value, int type, bool with_value);
    bool global_word_q(const Cell* value);
    [[noreturn]] void refuse(const Cell* value) { fire(ERR_access_no_codec, value); }
};

uint32_t Writer::symbol_of(uint32_t id) {
    auto found = symbol_index_.find(id);
    if (found != symbol_index_.end()) return found->second;
    uint32_t index = uint32_t(symbols_.size());
    symbols_.push_back(id);
    symbol_index_.emplace(id, index);
    int32_t length = 0;
    const uint8_t* name = symbol::utf8(id, length);
    if (!compact_) offsets_.push_back(uint32_t(names_.size()));
    names_.insert(names_.end(), name, name + length);
    names_.push_back(0);
    if (!compact_)
        while (names_.size() % 8) names_.push_back(0);
    return index;
}

void Writer::record(const Cell* value) {
    if (++depth_ > MAX_DEPTH) fire(ERR_internal_too_deep);
    int type = type_of(value);
    switch (type) {
        case TYPE_NATIVE: case TYPE_ACTION:
            callable(value, type);
            break;
        case TYPE_OP:
            op_record(value);
            break;
        case TYPE_ERROR:
            error_record(value);
            break;
        case TYPE_IMAGE:
            image_record(value);
            break;
        case TYPE_ROUTINE: case TYPE_TRIPLE: case TYPE_HANDLE: case TYPE_PORT: case TYPE_EVENT:
        case TYPE_SYMBOL: case TYPE_CONTEXT: case TYPE_SERIES:
            refuse(value);
        default:
            if (series::any_block(type) || units_type(type) || type == TYPE_BITSET ||
                type == TYPE_MAP || type == TYPE_OBJECT || type == TYPE_FUNCTION ||
                (word::any_word_type_q(type) && type != TYPE_ISSUE && !boot_ && !global_word_q(value)))
                node_record(value, type);
            else
                scalar(value, type);
    }
    counter_++;
    depth_--;
}

void Writer::scalar(const Cell* value, int type) {
    switch (type) {
        case TYPE_DATATYPE:
            open(value, type, false, 0);
            number(value->data1);
            return;
        case TYPE_UNSET: case TYPE_NONE:
            open(value, type, false, 0);
            return;
        case TYPE_LOGIC:
            if (compact_) {
                if (cell::new_line(value)) byte(PREFIX_NEW_LINE);
                byte(value->data1 ? LEAD_TRUE : LEAD_FALSE);
            } else {
                open(value, type, false, 0);
                word32(value->data1 ? 1 : 0);
            }
            return;
        case TYPE_INTEGER: {
            int32_t n = cell::get_int(value);
            if (compact_ && n >= 0 && n < 64) {
                if (cell::new_line(value)) byte(PREFIX_NEW_LINE);
                byte(LEAD_SMALL_INT | uint32_t(n));
                return;
            }
            open(value, type, false, 0);
            signed_number(n);
            return;
        }
        case TYPE_CHAR:
            open(value, type, false, 0);
            number(value->data2);
            return;
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME:
            number_record(value, type);
            return;
        case TYPE_PAIR:
            open(value, type, false, 0);
            signed_number(int32_t(value->data2));
            signed_number(int32_t(value->data3));
            return;
        case TYPE_TUPLE: {
            int n = tuple::length_of(value);
            if (compact_) {
                open(value, type, n != 3, 0);
                if (n != 3) byte(uint32_t(n));
                bytes(tuple::bytes_of(value), size_t(n));
            } else {
                open(value, type, false, uint32_t(n) << FX_UNIT_SHIFT);
                bytes(tuple::bytes_of(value), MAX_TUPLE);
            }
            return;
        }
        case TYPE_DATE: {
            uint32_t w = date::word_of(value);
            bool time = date::has_time(w);
            open(value, type, compact_ && time, 0);
            word32(w);
            if (time || !compact_) double_bits(date::time_of(value));
            return;
        }
        case TYPE_MONEY: {
            bool negative = money::get_sign(value);
            open(value, type, negative, negative ? FX_NEGATIVE : 0);
            bytes(&value->data1, MONEY_BYTES);
            return;
        }
        case TYPE_POINT2D: case TYPE_POINT3D:
            open(value, type, false, 0);
            word32(value->data1);
            word32(value->data2);
            if (type == TYPE_POINT3D) word32(value->data3);
            return;
        case TYPE_TYPESET: {
            open(value, type, false, 0);
            const uint8_t* set = reinterpret_cast<const uint8_t*>(&value->data1);
            if (compact_) {
                int n = TYPESET_BYTES;
                while (n > 0 && set[n - 1] == 0) n--;
                byte(uint32_t(n));
                bytes(set, size_t(n));
            } else {
                bytes(set, TYPESET_BYTES);
            }
            return;
        }
        case TYPE_ISSUE:
            open(value, type, false, 0);
            number(symbol_of(value->data2));
            return;
        default:
            if (word::any_word_type_q(type)) {
                word_record(value, type, false);
                return;
            }
            refuse(value);
    }
}

// float!, percent! and time!: the compact form narrows whole values (and
// percents of whole hundredths) to a zigzag integer.
void Writer::number_record(const Cell* value, int type) {
    double d = cell::get_float(value);
    if (!compact_) {
        if (payload_.size() % 8) word32(FX_FILLER);
        open(value, type, false, 0);
        double_bits(d);
        return;
    }
    bool narrow = false;
    int32_t i = 0;
    if (type == TYPE_PERCENT) {
        if (d >= -21474836.0 && d <= 21474836.0) {
            i = int32_t(d >= 0 ? d * 100 + 0.5 : d * 100 - 0.5);
            narrow = i / 100.0 == d;
        }
    } else if (d >= -2147483000.0 && d <= 2147483000.0) {
        i = int32_t(d);
        narrow = double(i) == d;
    }
    if (narrow && i == 0 && std::signbit(d)) narrow = false;
    open(value, type, narrow, 0);
    if (narrow) zigzag(i);
    else double_bits(d);
}

// native! and action!: the table index, then the spec in full (nothing in it
// shared, nothing in it a target of later references); the pair takes one
// position.
void Writer::callable(const Cell* value, int type) {
    open(value, type, false, 0);
    number(value->data1);
    Cell spec;
    cell::set(&spec, TYPE_BLOCK, 0, value->data2);
    no_share_++;
    record(&spec);
    no_share_--;
    counter_--;
}

void Writer::op_record(const Cell* value) {
    int wrapped = op::wrapped_type(value);
    if (wrapped != TYPE_NATIVE && wrapped != TYPE_ACTION && wrapped != TYPE_FUNCTION) refuse(value);
    open(value, TYPE_OP, false, uint32_t(wrapped) << FX_WRAPPED_SHIFT);
    Cell called = *value;
    called.header = uint32_t(wrapped);
    record(&called);
    counter_--;
}

// error!: its code, then arg1, arg2, arg3, near, where and stack, always in
// full.
void Writer::error_record(const Cell* value) {
    positions_.push_back(counter_);
    counter_ = 0;
    open(value, TYPE_ERROR, false, 0);
    const Cell* code = error::field(value, error::FIELD_CODE);
    if (type_of(code) != TYPE_INTEGER) refuse(value);
    number(code->data2);
    for (int f = error::FIELD_ARG1; f <= error::FIELD_STACK; f++) {
        Cell field = *error::field(value, error::Field(f));
        record(&field);
    }
    counter_ = positions_.back();
    positions_.pop_back();
}

// The node a value is keyed by: its context for words, objects and
// functions, its series otherwise.
Node key_of(const Cell* value, int type) {
    if (word::any_word_type_q(type) || type == TYPE_OBJECT || type == TYPE_FUNCTION) return value->data1;
    return value->data2;
}

void Writer::node_record(const Cell* value, int type) {
    Node key = key_of(value, type);
    if (!no_share_) {
        auto found = paths_.find(key);
        if (found != paths_.end()) {
            shared(value, type, found->second);
            return;
        }
    }
    positions_.push_back(counter_);
    counter_ = 0;
    if (!no_share_) paths_.emplace(key, positions_);
    content(value, type);
    counter_ = positions_.back();
    positions_.pop_back();
}

// A shared record: what comes before the content, then the path.
void Writer::shared(const Cell* value, int type, const std::vector<int32_t>& path) {
    if (word::any_word_type_q(type)) {
        open(value, type, true, 0, true);
        number(symbol_of(value->data2));
        signed_number(int32_t(value->data3));
    } else if (series::any_block(type) || type == TYPE_BINARY) {
        open(value, type, value->data1 != 0, 0, true);
        head_field(value->data1);
    } else if (series::any_string(type) || type == TYPE_VECTOR) {
        int unit = memory::series_of(value->data2)->unit();
        open(value, type, value->data1 != 0, uint32_t(unit) << FX_UNIT_SHIFT, true);
        head_field(value->data1);
    } else {
        open(value, type, false, 0, true);
    }
    path_of(path);
}

void Writer::content(const Cell* value, int type) {
    if (series::any_block(type)) {
        open(value, type, value->data1 != 0, 0);
        head_field(value->data1);
        cells_of(value->data2, type);
    } else if (units_type(type)) {
        units_of(value, type);
    } else if (type == TYPE_BITSET) {
        Series* s = memory::series_of(value->data2);
        bool negated = (s->flags & SERIES_NEGATED) != 0;
        open(value, type, negated, negated ? FX_COMPLEMENT : 0);
        number(s->used());
        bytes(s->head(), s->used());
        if (!compact_) pad4();
    } else if (type == TYPE_MAP) {
        open(value, type, false, 0);
        Series* s = memory::series_of(value->data2);
        uint32_t n = s->used() / sizeof(Cell);
        uint32_t live = 0;
        for (uint32_t i = 0; i + 1 < n; i += 2)
            if (s->cells()[i + 1].header != 0) live += 2;
        number(live);
        for (uint32_t i = 0; i + 1 < n; i += 2) {
            Cell key = memory::series_of(value->data2)->cells()[i];
            Cell item = memory::series_of(value->data2)->cells()[i + 1];
            if (item.header == 0) continue;
            record(&key);
            record(&item);
        }
    } else if (type == TYPE_OBJECT) {
        object_content(value);
    } else if (type == TYPE_FUNCTION) {
        function_content(value);
    } else {
        word_record(value, type, false);
    }
}

void Writer::cells_of(Node node, int) {
    uint32_t n = memory::series_of(node)->used() / sizeof(Cell);
    number(n);
    for (uint32_t i = 0; i < n; i++) {
        Cell item = memory::series_of(node)->cells()[i];
        record(&item);
    }
}

// Strings, binaries and vectors: the units of the whole buffer, each as
// stored. A string's count carries its unit in the compact form; a vector
// gives its item type and unit (compact: one byte before the count; fixed:
// the unit in the header, the item type after the count).
void Writer::units_of(const Cell* value, int type) {
    Series* s = memory::series_of(value->data2);
    int unit = type == TYPE_BINARY ? 1 : s->unit();
    uint32_t units = s->used() / uint32_t(unit);
    open(value, type, compact_ && value->data1 != 0, type == TYPE_BINARY ? 0 : uint32_t(unit) << FX_UNIT_SHIFT);
    head_field(value->data1);
    if (type == TYPE_VECTOR) {
        if (compact_) byte(value->data3 * 4 + uint32_t(log2_unit(unit)));
        number(units);
        if (!compact_) word32(value->data3);
    } else if (compact_ && type != TYPE_BINARY) {
        varint(units * 4 + uint32_t(log2_unit(unit)));
    } else {
        number(units);
    }
    bytes(s->head(), s->used());
    if (!compact_) pad4();
}

// An image: its head, its size (compact: width and height; fixed: one
// word, height in the upper half), then its pixel words as stored. Each
// occurrence carries its pixels: an image is never written as a reference.
void Writer::image_record(const Cell* value) {
    open(value, TYPE_IMAGE, compact_ && value->data1 != 0, 0);
    head_field(value->data1);
    uint32_t width = value->data3 & 0xFFFF, height = value->data3 >> 16;
    if (compact_) {
        number(width);
        number(height);
    } else {
        word32(value->data3);
    }
    image_os::Record* r = image::record_of(value);
    if (r && width && height) bytes(image_os::source(r), size_t(width) * height * 4);
}

void Writer::object_content(const Cell* value) {
    Node record_node = value->data3;
    open(value, TYPE_OBJECT, record_node != 0, record_node ? FX_HANDLERS : 0);
    signed_number(int32_t(value->data2));
    if (record_node) {
        const Cell* handlers = memory::series_of(record_node)->cells();
        int32_t on_change = cell::get_int(handlers), on_deep = cell::get_int(handlers + 1);
        signed_number(on_change);
        signed_number(on_deep);
    }
    context_record(value->data1);
}

void Writer::function_content(const Cell* value) {
    Cell spec, body = function::more_of(value)[function::MORE_BODY];
    cell::set(&spec, TYPE_BLOCK, 0, value->data2);
    if (type_of(&body) != TYPE_BLOCK) {
        // A function without a body block reads back with an empty one.
        cell::set(&body, TYPE_BLOCK, 0, 0);
    }
    open(value, TYPE_FUNCTION, false, 0);
    number(memory::series_of(spec.data2)->used() / sizeof(Cell));
    number(body.data2 ? memory::series_of(body.data2)->used() / sizeof(Cell) : 0);
    context_record(value->data1);
    int32_t saved = counter_;
    counter_ = 0;
    record(&spec);
    if (body.data2) {
        record(&body);
    } else {
        open(&body, TYPE_BLOCK, false, 0);
        head_field(0);
        number(0);
        counter_++;
    }
    counter_ = saved;
}

// A context: kind, self and on-stack flags, the words, and the values when
// they are not on the stack and one of them is set.
void Writer::context_record(Node ctx) {
    const Cell* cc = context::cell_of(ctx);
    uint32_t kind = (cc->header & context::KIND_MASK) >> context::KIND_SHIFT;
    bool on_stack = context::on_stack(ctx), self = context::self_q(ctx);
    int32_t n = context::word_count(ctx);
    bool values = false;
    if (!on_stack) {
        const Cell* v = context::values_in(ctx);
        for (int32_t i = 0; v && i < n && !values; i++) values = type_of(v + i) != TYPE_UNSET;
    }
    if (compact_) {
        byte(TYPE_CONTEXT);
        byte(kind | (on_stack ? CTX_ON_STACK : 0) | (self ? CTX_SELF : 0) | (values ? CTX_VALUES : 0));
    } else {
        word32(TYPE_CONTEXT | kind << FX_CTX_KIND_SHIFT | (self ? FX_CTX_SELF : 0) |
               (on_stack ? FX_CTX_ON_STACK : 0) | (values ? FX_CTX_VALUES : 0));
    }
    number(uint32_t(n));
    for (int32_t i = 0; i < n; i++) number(symbol_of(context::word_at(ctx, i)->data2));
    if (!values) return;
    for (int32_t i = 0; i < n; i++) {
        Cell item = context::values_in(ctx)[i];
        record(&item);
    }
}

// Words whose context has no object or function for owner read back bound
// to the global context.
bool Writer::global_word_q(const Cell* value) {
    Node ctx = value->data1;
    if (ctx == 0 || ctx == context::g_global) return true;
    int owner = type_of(context::owner_of(ctx));
    return owner != TYPE_OBJECT && owner != TYPE_FUNCTION;
}

void Writer::word_record(const Cell* value, int type, bool with_value) {
    uint32_t symbol = symbol_of(value->data2);
    bool global = global_word_q(value);
    if (boot_) {
        int32_t root = -1;
        if (!global) {
            auto found = roots_.find(value->data1);
            if (found == roots_.end()) refuse(value);
            root = found->second;
        }
        if (compact_) {
            if (cell::new_line(value)) byte(PREFIX_NEW_LINE);
            if (with_value) byte(PREFIX_WITH_VALUE);
            byte(uint32_t(type) | (global ? 0 : KIND_FLAG));
            varint(symbol);
            if (!global) {
                varint(uint32_t(root));
                zigzag(int32_t(value->data3));
            }
        } else {
            open(value, type, false, with_value ? FX_GLOBAL : 0);
            word32(symbol);
            word32(uint32_t(root));
            word32(global ? uint32_t(-1) : value->data3);
        }
        return;
    }
    if (global) {
        open(value, type, false, FX_GLOBAL);
        number(symbol);
        if (!compact_) word32(value->data3);
        return;
    }
    open(value, type, true, 0);
    number(symbol);
    signed_number(int32_t(value->data3));
    // The owner follows inline; its context is now known by this word's path.
    const Cell owner = *context::owner_of(value->data1);
    if (type_of(&owner) == TYPE_OBJECT) object_content(&owner);
    else function_content(&owner);
}

void Writer::word_with_value(const Cell* word, const Cell* value) {
    Cell w = *word;
    cell::set_type(&w, TYPE_WORD);
    if (!global_word_q(&w)) refuse(word);
    word_record(&w, TYPE_WORD, true);
    // The value is cut away at load: nothing in it may be a reference target.
    no_share_++;
    record(value);
    no_share_--;
    counter_--;
}

void Writer::note_root(const Cell* value) {
    int type = type_of(value);
    if (type == TYPE_OBJECT || type == TYPE_FUNCTION) roots_.emplace(value->data1, counter_);
}

std::vector<uint8_t> Writer::output() const {
    std::vector<uint8_t> out(MAGIC, MAGIC + 6);
    out.push_back(boot_ ? VERSION_BOOT : VERSION_CODEC);
    bool symbols = !symbols_.empty();
    out.push_back(uint8_t((compact_ ? FLAG_COMPACT : 0) | (symbols ? FLAG_SYMBOLS : 0)));
    auto put32 = [&](uint32_t w) {
        for (int i = 0; i < 4; i++) out.push_back(uint8_t(w >> (8 * i)));
    };
    auto put = [&](uint32_t v) {
        if (!compact_) return put32(v);
        while (v >= 0x80) {
            out.push_back(uint8_t((v & 0x7F) | 0x80));
            v >>= 7;
        }
        out.push_back(uint8_t(v));
    };
    put(1);
    put(uint32_t(payload_.size()));
    if (symbols) {
        put(uint32_t(symbols_.size()));
        put(uint32_t(names_.size()));
        if (compact_) {
            uint32_t offset = 0;
            for (size_t i = 0; i < symbols_.size(); i++) {
                put32(offset);
                while (names_[offset] != 0) offset++;
                offset++;
            }
        } else {
            for (uint32_t offset : offsets_) put32(offset);
        }
        out.insert(out.end(), names_.begin(), names_.end());
    }
    out.insert(out.end(), payload_.begin(), payload_.end());
    return out;
}

}  // namespace

Cell* encode(const Cell* value, const Options& options, Cell* result) {
    Writer writer(options.compact, false);
    writer.record(value);
    std::vector<uint8_t> out = writer.output();
    binary::make_at(result, int64_t(out.size()));
    Series* s = memory::series_of(result->data2);
    std::memcpy(s->head(), out.data(), out.size());
    s->tail = s->offset + uint32_t(out.size());
    return result;
}

struct BootWriter::State {
    Writer writer{true, true};
};

BootWriter::BootWriter() : state_(new State) {}
BootWriter::~BootWriter() { delete state_; }

void BootWriter::define(const Cell* word, const Cell* value) { state_->writer.word_with_value(word, value); }

void BootWriter::add(const Cell* value) {
    state_->writer.note_root(value);
    state_->writer.record(value);
}

std::vector<uint8_t> BootWriter::finish() { return state_->writer.output(); }

}  // namespace zel::zelbin
