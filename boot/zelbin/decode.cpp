// The Zelbin reader: a stream in either form appended, value by value, to
// a receiving block; the codec's decode; the boot-image load.
//
// Every read is checked against the end of the payload, and every count
// against the bytes left before anything is allocated, so a damaged or
// hostile stream gives an error at the byte where it went wrong, never a
// read past the data or a huge allocation. A series is given its cell in
// its parent before it is filled, so everything decoded so far is reachable
// from the receiving block and later records may refer to it.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "boot/zelbin/format.h"
#include "foundation/actions.h"
#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "interpreter/error.h"
#include "interpreter/function.h"
#include "interpreter/native.h"
#include "interpreter/object.h"
#include "os/image.h"
#include "os/lz.h"
#include "scalars/date.h"
#include "scalars/money.h"
#include "scalars/simple_types.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/hash_table.h"
#include "series/map.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::zelbin {

namespace {

constexpr int UNSET_INDEX = -1;

bool refused_kind(int type) {
    switch (type) {
        case TYPE_ROUTINE: case TYPE_TRIPLE: case TYPE_HANDLE: case TYPE_PORT: case TYPE_EVENT:
            return true;
        default:
            return false;
    }
}

// The item types a vector holds and the widths each comes in: code points
// and integers of 1, 2 or 4 bytes, floats and percents of 4 or 8.
bool vector_item_fits(uint32_t type, int unit) {
    switch (type) {
        case TYPE_CHAR: case TYPE_INTEGER: return unit == 1 || unit == 2 || unit == 4;
        case TYPE_FLOAT: case TYPE_PERCENT: return unit == 4 || unit == 8;
        default: return false;
    }
}

// The error an integer code names, or none.
bool error_of_code(uint32_t code, ErrorId& id) {
    static const ErrorId known[] = {
#define ZEL_ERR_KNOWN(cat, cname, word, pos) ERR_##cat##_##cname,
        ZEL_ERROR_LIST(ZEL_ERR_KNOWN)
#undef ZEL_ERR_KNOWN
    };
    for (ErrorId e : known)
        if (uint32_t(error_code(e)) == code) {
            id = e;
            return true;
        }
    return false;
}

// The cells of a block node, by absolute index.
inline Cell* cell_at(Node node, int64_t i) { return memory::series_of(node)->cells() + i; }
inline int64_t cell_count(Node node) { return memory::series_of(node)->used() / sizeof(Cell); }
inline int64_t cells_in(const Cell* block) { return cell_count(block->data2); }

Cell block_over(Node node) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, node);
    return b;
}

// One record's opening, in either form.
struct Lead {
    int type = 0;
    bool flag = false;      // compact: bit 6 of the kind byte
    bool new_line = false;
    bool shared = false;
    bool with_value = false;
    uint32_t header = 0;    // fixed: the header word
};

class Reader {
public:
    Reader(const uint8_t* base, Mode mode, Cell* receiving, int32_t root_base)
        : base_(base), mode_(mode), receiving_(receiving), root_base_(root_base) {}

    void body(const uint8_t* body, const uint8_t* end, bool compact, bool symbols);

private:
    const uint8_t* base_;
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
    bool compact_ = true;
    Mode mode_;
    Cell* receiving_;
    int32_t root_base_;
    int depth_ = 0;
    const uint8_t* offsets_ = nullptr;
    const uint8_t* names_ = nullptr;
    uint32_t symbol_count_ = 0, names_size_ = 0;
    std::vector<uint32_t> symbols_;
    // Per symbol of the stream, the global word's index plus one once a
    // global word of it has been read: a boot stream names the same global
    // words thousands of times, and the global context keeps its words in
    // place while the stream is read.
    std::vector<uint32_t> global_indexes_;
    bool natives_found_ = false;
    std::vector<Cell> natives_, actions_;

    bool boot() const { return mode_ == MODE_BOOT; }

    // ---- Bytes ----
    [[noreturn]] void bad(const uint8_t* at) const {
        Cell position;
        cell::set(&position, TYPE_INTEGER, 0, uint32_t(at - base_ + 1));
        fire(ERR_script_zb_invalid_record, &position);
    }
    [[noreturn]] void bad() const { bad(p_); }
    int64_t left() const { return end_ - p_; }
    void need(int64_t n) const {
        if (n < 0 || n > left()) bad();
    }
    uint8_t u8() {
        need(1);
        return *p_++;
    }
    uint8_t peek() const {
        need(1);
        return *p_;
    }
    uint32_t u32() {
        need(4);
        uint32_t w = uint32_t(p_[0]) | uint32_t(p_[1]) << 8 | uint32_t(p_[2]) << 16 | uint32_t(p_[3]) << 24;
        p_ += 4;
        return w;
    }
    uint32_t varint() {
        const uint8_t* at = p_;
        uint32_t v = 0;
        for (int i = 0; i < VARINT_MAX_BYTES; i++) {
            uint8_t b = u8();
            if (i == VARINT_MAX_BYTES - 1 && (b & 0xF0)) bad(at);
            v |= uint32_t(b & 0x7F) << (7 * i);
            if (!(b & 0x80)) return v;
        }
        bad(at);
    }
    int32_t zigzag() {
        uint32_t v = varint();
        return int32_t((v >> 1) ^ (0u - (v & 1)));
    }
    // A count, index or symbol: never negative.
    uint32_t count() {
        const uint8_t* at = p_;
        uint32_t v = compact_ ? varint() : u32();
        if (v > 0x7FFFFFFF) bad(at);
        return v;
    }
    int32_t signed_number() { return compact_ ? zigzag() : int32_t(u32()); }
    // A count of items each at least `size` bytes long (one byte a record in
    // the compact form, a word in the fixed form) must fit in what is left.
    uint32_t count_of(int64_t size) {
        const uint8_t* at = p_;
        uint32_t n = count();
        if (int64_t(n) * size > left()) bad(at);
        return n;
    }
    uint32_t record_count() { return count_of(compact_ ? 1 : 4); }
    double float64() {
        uint64_t bits;
        if (compact_) {
            need(8);
            std::memcpy(&bits, p_, 8);
            p_ += 8;
        } else {
            uint64_t high = u32();
            bits = high << 32 | u32();
        }
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    void skip_padding() {
        while ((p_ - base_) % 4) {
            if (u8() != 0) bad(p_ - 1);
        }
    }
    uint32_t head() { return count(); }

    // ---- Records ----
    void record(Cell* target);
    bool read_lead(Lead& lead, Cell* target);
    void payload(Cell* target, const Lead& lead);
    int32_t append(Cell* target, const Cell& value) {
        block::append_cell(target, &value);
        return int32_t(cells_in(target) - 1);
    }
    void scalar(Cell* target, const Lead& lead);
    void series_record(Cell* target, const Lead& lead);
    void fill_block(Node node, uint32_t n);
    void units(Cell* target, const Lead& lead, uint32_t head);
    void map_record(Cell* target, const Lead& lead);
    void image_record(Cell* target, const Lead& lead);
    uint32_t symbol(uint32_t& index);
    uint32_t symbol() {
        uint32_t index;
        return symbol(index);
    }
    void global_word(uint32_t sym, uint32_t index, Cell* word);
    void word_record(Cell* target, const Lead& lead);
    Node word_context(Cell* target, int32_t index, const Lead& lead);
    void bind_checked(Cell* word, Node ctx, int32_t index, const uint8_t* at);
    void callable(Cell* target, const Lead& lead);
    void op_record(Cell* target, const Lead& lead);
    void error_record(Cell* target, const Lead& lead);

    // Objects and functions go at the end of the target, or become the
    // owner of the word at `word_index` of the target (a word's inline owner).
    struct Place {
        Cell* target;
        int32_t word_index;  // -1: append
    };
    void object_record(const Place& place, const Lead& lead);
    void function_record(const Place& place, const Lead& lead);
    Node owned_context(const Place& place, int owner_type, int32_t class_id, int32_t& index,
                       const Lead* opened = nullptr);
    void context_words(Node ctx, uint32_t n, bool on_stack);
    void context_values(Node ctx, uint32_t n);
    Node function_block(Node ctx, bool body);
    void check_function(Node ctx, const Cell* spec, const uint8_t* at);
    void context_record(Cell* target, const Lead& lead);

    // ---- References ----
    std::vector<uint32_t> path();
    Cell resolve(const std::vector<uint32_t>& path, const uint8_t* at);
    Cell referenced(const uint8_t* at);
    void skip_reference_word();
    Cell shared_value(const Lead& lead, const uint8_t* at);
    const Cell* registered_callable(int type, uint32_t index);
};

// ---- Body ---------------------------------------------------------------------------------

void Reader::body(const uint8_t* body, const uint8_t* end, bool compact, bool with_symbols) {
    compact_ = compact;
    p_ = body;
    end_ = end;
    count();  // the record count: the writers put 1; nothing relies on it
    uint32_t payload_size = count();
    if (with_symbols) {
        symbol_count_ = count();
        names_size_ = count();
        need(int64_t(symbol_count_) * 4);
        offsets_ = p_;
        p_ += int64_t(symbol_count_) * 4;
        need(names_size_);
        names_ = p_;
        if (names_size_ > 0 && names_[names_size_ - 1] != 0) bad(p_ + names_size_ - 1);
        p_ += names_size_;
        symbols_.assign(symbol_count_, 0);
        global_indexes_.assign(symbol_count_, 0);
    }
    need(payload_size);
    end_ = p_ + payload_size;
    while (p_ < end_) record(receiving_);
}

// ---- Records ------------------------------------------------------------------------------

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) {
        if (++depth > MAX_DEPTH) {
            depth--;
            fire(ERR_internal_too_deep);
        }
    }
    ~DepthGuard() { depth--; }
};

void Reader::record(Cell* target) {
    DepthGuard guard(depth_);
    Lead lead;
    if (read_lead(lead, target)) {
        // A one-byte value or a reference: its one cell is in.
        if (lead.new_line) {
            cell_at(target->data2, cells_in(target) - 1)->header |= FLAG_NEW_LINE;
            memory::touch(target);
        }
        return;
    }
    if (!lead.new_line) return payload(target, lead);
    int64_t before = cells_in(target);
    payload(target, lead);
    if (cells_in(target) > before) {
        cell_at(target->data2, cells_in(target) - 1)->header |= FLAG_NEW_LINE;
        memory::touch(target);
    }
}

// Reads the opening of a record; answers true when the record was complete
// with it (the compact form's one-byte values and references).
bool Reader::read_lead(Lead& lead, Cell* target) {
    if (!compact_) {
        const uint8_t* at = p_;
        uint32_t h = u32();
        while ((h & 0xFF) == FX_FILLER) {
            at = p_;
            h = u32();
        }
        lead.header = h;
        lead.type = int(h & 0xFF);
        lead.new_line = (h & FX_NEW_LINE) != 0;
        if (uint32_t(lead.type) == FX_REFERENCE) {
            p_ = at;
            append(target, referenced(at));
            return true;
        }
        bool word = word::any_word_type_q(lead.type) && lead.type != TYPE_ISSUE;
        if (lead.type != TYPE_OP) lead.shared = (h & FX_SHARED) != 0;
        lead.with_value = boot() && word && (h & FX_GLOBAL);
        return false;
    }
    for (;;) {
        uint8_t b = peek();
        if (b == PREFIX_NEW_LINE) lead.new_line = true;
        else if (b == PREFIX_SHARED) lead.shared = true;
        else if (b == PREFIX_WITH_VALUE) lead.with_value = true;
        else break;
        if (b == PREFIX_WITH_VALUE && !boot()) bad();
        p_++;
    }
    const uint8_t* at = p_;
    uint8_t b = u8();
    if (b >= 0x80) {
        if (lead.shared || lead.with_value) bad(at);
        Cell value;
        if (b < PREFIX_NEW_LINE) {
            cell::set(&value, TYPE_INTEGER, 0, uint32_t(b & 0x3F));
        } else if (b == LEAD_TRUE || b == LEAD_FALSE) {
            value = b == LEAD_TRUE ? logic::g_true : logic::g_false;
        } else if (b == LEAD_REFERENCE) {
            value = resolve(path(), at);
        } else {
            bad(at);
        }
        append(target, value);
        return true;
    }
    lead.type = b & KIND_TYPE_MASK;
    lead.flag = (b & KIND_FLAG) != 0;
    if (lead.type == KIND_LONG_TYPE) {
        uint32_t t = varint();
        lead.type = t > 255 ? 255 : int(t);
    }
    if (lead.type == 0) bad(at);
    if (lead.with_value && !(word::any_word_type_q(lead.type))) bad(at);
    return false;
}

void Reader::payload(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int type = lead.type;
    if (refused_kind(type)) {
        Cell datatype = raise::datatype_arg(type);
        fire(ERR_access_no_codec, &datatype);
    }
    if (lead.with_value && type == TYPE_ISSUE) bad(at);
    bool shareable = series::any_block(type) || units_type(type) || type == TYPE_BITSET || type == TYPE_MAP || type == TYPE_OBJECT || type == TYPE_FUNCTION ||
                     (word::any_word_type_q(type) && type != TYPE_ISSUE && !boot());
    if (lead.shared && !shareable) bad(at);
    switch (type) {
        case TYPE_NATIVE: case TYPE_ACTION: return callable(target, lead);
        case TYPE_OP: return op_record(target, lead);
        case TYPE_ERROR: return error_record(target, lead);
        case TYPE_OBJECT: return object_record({target, -1}, lead);
        case TYPE_FUNCTION: return function_record({target, -1}, lead);
        case TYPE_CONTEXT: return context_record(target, lead);
        case TYPE_MAP: return map_record(target, lead);
        case TYPE_IMAGE: return image_record(target, lead);
        default: break;
    }
    if (word::any_word_type_q(type) && type != TYPE_ISSUE) return word_record(target, lead);
    if (series::any_block(type) || units_type(type) || type == TYPE_BITSET) return series_record(target, lead);
    scalar(target, lead);
}

// ---- Scalars --------------------------------------------------------------------------------

bool valid_money(const uint8_t* bytes) {
    if (bytes[0] > money::currency_count()) return false;
    for (int i = 1; i < MONEY_BYTES; i++)
        if ((bytes[i] >> 4) > 9 || (bytes[i] & 0xF) > 9) return false;
    return true;
}

bool valid_date(uint32_t w, double time) {
    if (date::month_of(w) < 1 || date::month_of(w) > 12 || date::day_of(w) < 1) return false;
    if (!date::has_time(w)) return date::zone_of(w) == 0 && time == 0.0;
    return time >= -date::SECONDS_PER_DAY && time <= 2 * date::SECONDS_PER_DAY;
}

void Reader::scalar(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int type = lead.type;
    Cell value;
    cell::set(&value, type);
    switch (type) {
        case TYPE_DATATYPE: {
            uint32_t id = count();
            if (id < 1 || id > uint32_t(TYPE_LAST)) bad(at);
            value.data1 = id;
            break;
        }
        case TYPE_UNSET: case TYPE_NONE:
            break;
        case TYPE_LOGIC: {
            if (compact_) bad(at - 1);
            uint32_t b = u32();
            if (b > 1) bad(at);
            value.data1 = b;
            break;
        }
        case TYPE_INTEGER:
            value.data2 = uint32_t(signed_number());
            break;
        case TYPE_CHAR: {
            uint32_t cp = count();
            if (cp > 0x10FFFF) bad(at);
            value.data2 = cp;
            break;
        }
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: {
            double d;
            if (compact_ && lead.flag) {
                int32_t i = zigzag();
                d = type == TYPE_PERCENT ? i / 100.0 : double(i);
            } else {
                d = float64();
            }
            cell::put_float(&value, d);
            break;
        }
        case TYPE_PAIR:
            value.data2 = uint32_t(signed_number());
            value.data3 = uint32_t(signed_number());
            break;
        case TYPE_TUPLE: {
            int n = compact_ ? (lead.flag ? u8() : 3) : int(lead.header >> FX_UNIT_SHIFT & 0xF);
            if (n < 1 || n > MAX_TUPLE) bad(at);
            int stored = compact_ ? n : MAX_TUPLE;
            need(stored);
            value.header = uint32_t(TYPE_TUPLE) | uint32_t(n) << tuple::LENGTH_SHIFT;
            std::memcpy(tuple::bytes_of(&value), p_, size_t(n));
            p_ += stored;
            break;
        }
        case TYPE_DATE: {
            uint32_t w = u32();
            bool time = compact_ ? lead.flag : true;
            if (compact_ && lead.flag != date::has_time(w)) bad(at);
            double t = time ? float64() : 0.0;
            if (!date::has_time(w)) t = 0.0;
            if (!valid_date(w, t)) bad(at);
            value.data1 = w;
            cell::put_float(&value, t);
            break;
        }
        case TYPE_MONEY: {
            need(MONEY_BYTES);
            if (!valid_money(p_)) bad(at);
            std::memcpy(&value.data1, p_, MONEY_BYTES);
            p_ += MONEY_BYTES;
            bool negative = compact_ ? lead.flag : (lead.header & FX_NEGATIVE) != 0;
            money::set_sign(&value, negative);
            break;
        }
        case TYPE_POINT2D: case TYPE_POINT3D:
            value.data1 = u32();
            value.data2 = u32();
            if (type == TYPE_POINT3D) value.data3 = u32();
            break;
        case TYPE_TYPESET: {
            int n = compact_ ? u8() : TYPESET_BYTES;
            if (n > TYPESET_BYTES) bad(at);
            need(n);
            std::memcpy(&value.data1, p_, size_t(n));
            p_ += n;
            break;
        }
        case TYPE_ISSUE:
            issue::make_at(&value, symbol());
            break;
        default:
            // logic! as a kind byte, symbol!, series! and unknown ids
            bad(at);
    }
    append(target, value);
}

// ---- Series ---------------------------------------------------------------------------------

// Whether a series value met through a reference can stand for a record of
// this kind: the same layout of units.
bool layout_fits(int kind, int found) {
    if (kind == TYPE_HASH) return found == TYPE_HASH;
    if (series::any_block(kind)) return series::any_block(found);
    if (series::any_string(kind)) return series::any_string(found);
    return kind == found;
}

void Reader::series_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int type = lead.type;
    uint32_t head_index = 0;
    if (type != TYPE_BITSET && (!compact_ || lead.flag)) head_index = head();
    if (lead.shared) {
        Cell found = referenced(p_);
        if (!layout_fits(type, type_of(&found))) bad(at);
        // The fixed form says a vector's unit again: it must be the one met.
        if (type == TYPE_VECTOR && !compact_ &&
            int(lead.header >> FX_UNIT_SHIFT & 0xFF) != memory::series_of(found.data2)->unit())
            bad(at);
        Cell value = found;
        value.header = uint32_t(type);
        if (type != TYPE_BITSET) value.data1 = head_index;
        // A hash keeps its table, a bitset its bits, a vector its item type.
        if (type != TYPE_HASH && type != TYPE_BITSET && type != TYPE_VECTOR) value.data3 = 0;
        append(target, value);
        return;
    }
    if (units_type(type)) return units(target, lead, head_index);
    if (type == TYPE_BITSET) {
        bool complement = compact_ ? lead.flag : (lead.header & FX_COMPLEMENT) != 0;
        uint32_t n = count_of(1);
        Cell value;
        int32_t k = append(target, none::g_none);
        Node node = memory::alloc_bytes(n ? n : 1);
        Series* s = memory::series_of(node);
        std::memcpy(s->head(), p_, n);
        s->tail = s->offset + n;
        if (complement) s->flags |= SERIES_NEGATED;
        p_ += n;
        if (!compact_) skip_padding();
        cell::set(&value, TYPE_BITSET, 0, node);
        *cell_at(target->data2, k) = value;
        return;
    }
    uint32_t n = record_count();
    int32_t k = append(target, none::g_none);
    Node node = memory::alloc_cells(n ? n : 1);
    if (boot()) memory::series_of(node)->flags |= SERIES_LIBRARY;
    // A hash! is a block until its cells are in.
    cell::set(cell_at(target->data2, k), type == TYPE_HASH ? TYPE_BLOCK : type, head_index, node);
    fill_block(node, n);
    if (type == TYPE_HASH) {
        Cell cells = block_over(node);
        Node table = hash_table::init(int32_t(n), &cells, hash_table::KIND_HASH, 1);
        cell::set(cell_at(target->data2, k), TYPE_HASH, head_index, node, table);
    }
}

// Reads n records into the block of `node`; in codec mode each record is
// one cell.
void Reader::fill_block(Node node, uint32_t n) {
    Cell block = block_over(node);
    for (uint32_t i = 0; i < n; i++) record(&block);
}

// Strings, binaries and vectors: their units as stored, after the count
// (and for a vector its item type) that says how many and how wide.
void Reader::units(Cell* target, const Lead& lead, uint32_t head_index) {
    const uint8_t* at = p_;
    int type = lead.type;
    int unit = 1;
    uint32_t units;
    uint32_t item_type = 0;
    if (type == TYPE_BINARY) {
        units = count();
    } else if (type == TYPE_VECTOR) {
        const uint8_t* item_at = p_;
        if (compact_) {
            uint8_t code = u8();
            item_type = code >> 2;
            unit = 1 << (code & 3);
            at = p_;
            units = count();
        } else {
            unit = int(lead.header >> FX_UNIT_SHIFT & 0xFF);
            units = count();
            item_at = p_;
            item_type = u32();
        }
        if (!vector_item_fits(item_type, unit)) bad(item_at);
    } else if (compact_) {
        uint32_t e = count();
        if ((e & 3) == 3) bad(at);
        unit = 1 << (e & 3);
        units = e >> 2;
    } else {
        unit = int(lead.header >> FX_UNIT_SHIFT & 0xFF);
        if (unit != 1 && unit != 2 && unit != 4) bad(at);
        units = count();
    }
    int64_t bytes = int64_t(units) * unit;
    if (bytes > left()) bad(at);
    // Wide code units, and char items of 4 bytes, must be code points (a
    // narrower char item always is one).
    if (unit == 4 && (type != TYPE_VECTOR || item_type == TYPE_CHAR))
        for (int64_t i = 0; i < bytes; i += 4)
            if (string::get_char(p_ + i, 4) > 0x10FFFF) bad(p_ + i);
    int32_t k = append(target, none::g_none);
    Node node = memory::alloc_series(units ? units : 1, unit, 0);
    Series* s = memory::series_of(node);
    std::memcpy(s->head(), p_, size_t(bytes));
    s->tail = s->offset + uint32_t(bytes);
    p_ += bytes;
    if (!compact_) skip_padding();
    cell::set(cell_at(target->data2, k), type, head_index, node, item_type);
}

// The size must fit the cell's 16 bits a side and the pixels the stream;
// the cell is taken in the target before the record is made.
void Reader::image_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    uint32_t head_index = !compact_ || lead.flag ? head() : 0;
    uint32_t width, height;
    if (compact_) {
        width = count();
        height = count();
        if (width > codecs::MAX_SIDE || height > codecs::MAX_SIDE) bad(at);
    } else {
        uint32_t size = u32();
        width = size & 0xFFFF;
        height = size >> 16;
    }
    int64_t bytes = int64_t(width) * height * 4;
    if (bytes > left()) bad(at);
    int32_t k = append(target, none::g_none);
    image_os::Record* r = nullptr;
    if (bytes > 0) {
        std::vector<uint32_t> pixels(size_t(width) * height);
        std::memcpy(pixels.data(), p_, size_t(bytes));
        r = image_os::from_memory(int32_t(width), int32_t(height), 0, pixels.data());
    }
    p_ += bytes;
    Cell value;
    image::make_at(&value, r);
    value.data1 = head_index;
    value.data3 = height << 16 | width;
    *cell_at(target->data2, k) = value;
}

void Reader::map_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    if (lead.shared) {
        Cell found = referenced(p_);
        if (type_of(&found) != TYPE_MAP) bad(at);
        found.header = TYPE_MAP;
        append(target, found);
        return;
    }
    uint32_t n = record_count();
    if (n % 2) bad(at);
    int32_t k = append(target, none::g_none);
    Node node = memory::alloc_cells(n ? n : 1);
    // A block until its pairs are in and checked.
    cell::set(cell_at(target->data2, k), TYPE_BLOCK, 0, node);
    fill_block(node, n);
    if (cell_count(node) != n) bad(at);
    for (uint32_t i = 0; i < n; i += 2)
        if (!map::valid_key_q(type_of(cell_at(node, i)))) bad(at);
    Cell pairs = block_over(node), value;
    cell::set(&value, TYPE_NONE);
    map::make_at(&value, &pairs, int(n));
    *cell_at(target->data2, k) = value;
}

// ---- Words ------------------------------------------------------------------------------------

uint32_t Reader::symbol(uint32_t& index) {
    const uint8_t* at = p_;
    index = count();
    if (index >= symbol_count_) bad(at);
    if (symbols_[index]) return symbols_[index];
    const uint8_t* o = offsets_ + 4 * int64_t(index);
    uint32_t offset = uint32_t(o[0]) | uint32_t(o[1]) << 8 | uint32_t(o[2]) << 16 | uint32_t(o[3]) << 24;
    if (offset >= names_size_) bad(at);
    const uint8_t* name = names_ + offset;
    int32_t length = int32_t(std::strlen(reinterpret_cast<const char*>(name)));
    if (length == 0) bad(at);
    for (const uint8_t* q = name; q < name + length;) {
        if (*q < 0x80) {
            q++;
            continue;
        }
        int32_t cp;
        q = unicode::fast_decode_utf8_char(q, cp, name + length);
        if (cp < 0) bad(at);
    }
    symbols_[index] = symbol::make_from_buffer(name, length);
    return symbols_[index];
}

// The word at `index` of a context must be the word of that symbol; -1 looks
// it up and stays -1 when absent (a `self` word).
void Reader::bind_checked(Cell* word, Node ctx, int32_t index, const uint8_t* at) {
    uint32_t symbol = word->data2;
    if (ctx == 0 || ctx == context::g_global) bad(at);
    if (index == UNSET_INDEX) {
        index = context::find_word(ctx, symbol, true);
    } else {
        if (index < 0 || index >= context::word_count(ctx)) bad(at);
        if (symbol::resolve(context::word_at(ctx, index)->data2) != symbol::resolve(symbol)) bad(at);
    }
    word->data1 = ctx;
    word->data3 = uint32_t(index);
}

// A word of the global context, of the stream's symbol at `index`.
void Reader::global_word(uint32_t sym, uint32_t index, Cell* word) {
    uint32_t& known = global_indexes_[index];
    if (known) cell::set(word, TYPE_WORD, context::g_global, sym, known - 1);
    else known = word::make_at(sym, word)->data3 + 1;
}

void Reader::word_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int type = lead.type;
    Cell word;
    cell::set(&word, TYPE_NONE);
    uint32_t symbol_index;
    uint32_t sym = symbol(symbol_index);
    bool global;
    int32_t root = -1, index = UNSET_INDEX;
    if (compact_) {
        global = !lead.flag;
        if (!global && boot()) {
            root = int32_t(count());
            index = zigzag();
        } else if (!global) {
            index = zigzag();
        }
    } else if (boot()) {
        root = int32_t(u32());
        index = int32_t(u32());
        global = root == -1;
    } else {
        index = int32_t(u32());
        global = (lead.header & FX_GLOBAL) != 0;
    }
    if (lead.shared && global) bad(at);
    if (global) {
        if (type == TYPE_REFINEMENT) {
            cell::set(&word, TYPE_REFINEMENT, 0, sym, uint32_t(-1));
        } else {
            global_word(sym, symbol_index, &word);
            cell::set_type(&word, type);
        }
    } else {
        cell::set(&word, type, 0, sym, uint32_t(-1));
    }
    if (!global) {
        Node ctx;
        if (boot()) {
            if (root < 0 || int64_t(root_base_) + root >= cells_in(receiving_)) bad(at);
            Cell owner = *cell_at(receiving_->data2, root_base_ + root);
            int t = type_of(&owner);
            if (t != TYPE_OBJECT && t != TYPE_FUNCTION && t != TYPE_ERROR) bad(at);
            ctx = owner.data1;
        } else {
            // The word takes its place first: its owner's records may refer to it.
            int32_t k = append(target, word);
            ctx = word_context(target, k, lead);
            word = *cell_at(target->data2, k);
            bind_checked(&word, ctx, index, at);
            *cell_at(target->data2, k) = word;
            return;
        }
        bind_checked(&word, ctx, index, at);
    }
    if (!lead.with_value) {
        append(target, word);
        return;
    }
    // A word with value: the next record is the word's value; neither stays.
    int32_t k = append(target, word);
    record(target);
    if (cells_in(target) != k + 2) bad(at);
    Cell value = *cell_at(target->data2, k + 1);
    context::set(&word, &value);
    block::cut_at(target, k);
}

// The context of a bound word in codec mode: through a reference, or from
// the owner record that follows.
Node Reader::word_context(Cell* target, int32_t index, const Lead& lead) {
    const uint8_t* at = p_;
    if (lead.shared) {
        Cell found = referenced(p_);
        switch (type_of(&found)) {
            case TYPE_OBJECT: case TYPE_ERROR: case TYPE_FUNCTION:
            case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD: case TYPE_REFINEMENT:
                return found.data1;
            case TYPE_OP:
                if (op::wrapped_type(&found) == TYPE_FUNCTION) return found.data1;
                bad(at);
            default:
                bad(at);
        }
    }
    Lead owner;
    if (compact_) {
        uint8_t b = u8();
        owner.type = b & KIND_TYPE_MASK;
        owner.flag = (b & KIND_FLAG) != 0;
    } else {
        owner.header = u32();
        owner.type = int(owner.header & 0xFF);
    }
    Place place{target, index};
    if (owner.type == TYPE_OBJECT) object_record(place, owner);
    else if (owner.type == TYPE_FUNCTION) function_record(place, owner);
    else bad(at);
    return cell_at(target->data2, index)->data1;
}

// ---- Contexts, objects, functions --------------------------------------------------------------

// Opens the context record that must follow; makes the context and its
// owner's cell (appended, or given to the word it belongs to).
Node Reader::owned_context(const Place& place, int owner_type, int32_t class_id, int32_t& index,
                           const Lead* opened) {
    const uint8_t* at = p_;
    uint32_t flags;
    if (compact_) {
        if (!opened && u8() != TYPE_CONTEXT) bad(at);
        if (opened && opened->flag) bad(at);
        flags = u8();
        if (flags & ~uint32_t(CTX_KIND_MASK | CTX_ON_STACK | CTX_SELF | CTX_VALUES)) bad(at);
    } else {
        uint32_t h = opened ? opened->header : u32();
        if ((h & 0xFF) != TYPE_CONTEXT) bad(at);
        flags = (h >> FX_CTX_KIND_SHIFT & CTX_KIND_MASK) | (h & FX_CTX_SELF ? CTX_SELF : 0) |
                (h & FX_CTX_ON_STACK ? CTX_ON_STACK : 0) | (h & FX_CTX_VALUES ? CTX_VALUES : 0);
    }
    int kind = int(flags & CTX_KIND_MASK);
    bool on_stack = flags & CTX_ON_STACK, self = flags & CTX_SELF, values = flags & CTX_VALUES;
    // An object's values live in the context, a function's on the stack
    // while it runs: a context of another shape would be read wrongly.
    bool fits = owner_type == TYPE_FUNCTION
                    ? kind == context::KIND_FUNCTION && on_stack && !self && !values
                    : kind == context::KIND_OBJECT && !on_stack;
    if (!fits) bad(at);
    uint32_t n = count_of(1);
    Node ctx = context::create(int32_t(n), on_stack, self, nullptr, kind);
    // Reachable from nothing until its owner is in place.
    gc::root keep_ctx(&ctx);
    Cell owner;
    if (owner_type == TYPE_FUNCTION) {
        // A function of empty spec and body until they are read.
        Node more = function::alloc_more();
        gc::root keep_more(&more);
        cell::set(&owner, TYPE_FUNCTION, ctx, memory::alloc_cells(1), more);
    } else {
        cell::set(&owner, TYPE_OBJECT, ctx, uint32_t(class_id), 0);
    }
    *context::owner_of(ctx) = owner;
    if (place.word_index < 0) index = append(place.target, owner);
    else cell_at(place.target->data2, place.word_index)->data1 = ctx;
    context_words(ctx, n, on_stack);
    if (values && !on_stack) context_values(ctx, n);
    return ctx;
}

void Reader::context_words(Node ctx, uint32_t n, bool on_stack) {
    for (uint32_t i = 0; i < n; i++) {
        const uint8_t* at = p_;
        uint32_t sym = symbol();
        Cell word;
        cell::set(&word, TYPE_WORD, ctx, sym, i);
        if (on_stack) {
            int32_t added = -1;
            if (context::find_or_add_word(ctx, sym, true, &added) >= 0) bad(at);
        } else if (!context::add_word(ctx, &word, &unset::g_unset)) {
            bad(at);
        }
    }
}

// The values are read straight into the context's values series, emptied
// first, so that a path may reach the ones already read.
void Reader::context_values(Node ctx, uint32_t n) {
    const uint8_t* at = p_;
    Node values = context::cell_of(ctx)->data2;
    Series* s = memory::series_of(values);
    s->tail = s->offset;
    Cell block = block_over(values);
    for (uint32_t i = 0; i < n; i++) record(&block);
    if (cell_count(values) != n) bad(at);
}

void Reader::context_record(Cell* target, const Lead& lead) {
    if (lead.shared) bad();
    // A bare context reads as an object over it.
    int32_t index = -1;
    owned_context({target, -1}, TYPE_OBJECT, boot() ? 0 : -1, index, &lead);
}

void Reader::object_record(const Place& place, const Lead& lead) {
    const uint8_t* at = p_;
    if (lead.shared) {
        Cell found = shared_value(lead, at);
        if (type_of(&found) != TYPE_OBJECT) bad(at);
        append(place.target, found);
        return;
    }
    int32_t class_id = signed_number();
    bool handlers = compact_ ? lead.flag : (lead.header & FX_HANDLERS) != 0;
    int32_t on_change = -1, on_deep = -1;
    if (handlers) {
        on_change = signed_number();
        on_deep = signed_number();
    }
    if (!boot()) class_id = -1;
    int32_t index = -1;
    Node ctx = owned_context(place, TYPE_OBJECT, class_id, index);
    Cell object = *context::owner_of(ctx);
    if (handlers) {
        // The indexes must name the handler fields, which must hold functions.
        int32_t found_change = context::find_word(ctx, words::symbol(words::Word::on_change_star), true);
        int32_t found_deep = context::find_word(ctx, words::symbol(words::Word::on_deep_change_star), true);
        if (on_change != found_change || on_deep != found_deep || (on_change < 0 && on_deep < 0)) bad(at);
        for (int32_t i : {on_change, on_deep}) {
            if (i < 0) continue;
            int t = type_of(context::values_in(ctx) + i);
            if (t != TYPE_FUNCTION && t != TYPE_ROUTINE) bad(at);
        }
        object::init_events(&object);
    }
    *context::owner_of(ctx) = object;
    if (index >= 0) *cell_at(place.target->data2, index) = object;
}

void Reader::function_record(const Place& place, const Lead& lead) {
    const uint8_t* at = p_;
    if (lead.shared) {
        Cell found = shared_value(lead, at);
        if (type_of(&found) == TYPE_OP && op::wrapped_type(&found) == TYPE_FUNCTION) found.header = TYPE_FUNCTION;
        if (type_of(&found) != TYPE_FUNCTION) bad(at);
        append(place.target, found);
        return;
    }
    count();  // spec length: the spec record says it again
    count();  // body length
    int32_t index = -1;
    Node ctx = owned_context(place, TYPE_FUNCTION, 0, index);
    // The function while its blocks are read is the owner of its context.
    Node spec_node = function_block(ctx, false);
    Node body_node = function_block(ctx, true);
    Cell spec = block_over(spec_node), body = block_over(body_node);
    check_function(ctx, &spec, at);
    stack::TopScope scope;
    Cell* kept = stack::push(&spec);
    stack::push(&body);
    uint32_t flags = function::validate_spec(kept);
    function::push(kept, kept + 1, ctx, 0, flags);
    Cell fn = *(stack::top() - 1);
    if (index >= 0) *cell_at(place.target->data2, index) = fn;
}

// The spec (or body) block of a function being read: a block! record of its
// own, or a reference to one. The function under construction holds it as
// soon as it exists.
Node Reader::function_block(Node ctx, bool body) {
    Lead lead;
    const uint8_t* at = p_;
    if (compact_) {
        for (;;) {
            uint8_t b = u8();
            if (b == PREFIX_NEW_LINE) continue;
            if (b == PREFIX_SHARED) {
                lead.shared = true;
                continue;
            }
            if ((b & KIND_TYPE_MASK) != TYPE_BLOCK || b >= 0x80) bad(p_ - 1);
            if (b & KIND_FLAG) count();
            break;
        }
    } else {
        uint32_t h = u32();
        if ((h & 0xFF) != TYPE_BLOCK) bad(at);
        lead.shared = (h & FX_SHARED) != 0;
        count();
    }
    Node node;
    uint32_t n = 0;
    if (lead.shared) {
        Cell found = referenced(p_);
        if (type_of(&found) != TYPE_BLOCK) bad(at);
        node = found.data2;
    } else {
        n = record_count();
        node = memory::alloc_cells(n ? n : 1);
        if (boot()) memory::series_of(node)->flags |= SERIES_LIBRARY;
    }
    Cell* owner = context::owner_of(ctx);
    if (body) *function::body_of(owner) = block_over(node);
    else owner->data2 = node;
    if (!lead.shared) fill_block(node, n);
    return node;
}

// A function's context must hold the words its spec makes, in order: a call
// pushes one cell per word of the spec.
void Reader::check_function(Node ctx, const Cell* spec, const uint8_t* at) {
    if (boot()) return;
    Node expected = context::make_from_spec(spec, true, false, context::KIND_FUNCTION);
    int32_t n = context::word_count(ctx);
    if (context::word_count(expected) != n) bad(at);
    for (int32_t i = 0; i < n; i++)
        if (symbol::resolve(context::word_at(ctx, i)->data2) != symbol::resolve(context::word_at(expected, i)->data2))
            bad(at);
}

// ---- Natives, actions, operators, errors ----------------------------------------------------------

// The run-time's own native! or action! of that number, as the global
// context holds it.
const Cell* Reader::registered_callable(int type, uint32_t index) {
    if (!natives_found_) {
        natives_found_ = true;
        natives_.assign(native::TABLE_SLOTS + 1, unset::g_unset);
        actions_.assign(ACTION_COUNT + 1, unset::g_unset);
        // Case variants of a global word share one value: the values are
        // walked, not the words.
        Node values = context::cell_of(context::g_global)->data2;
        for (int64_t i = 0; i < cell_count(values); i++) {
            const Cell& v = *cell_at(values, i);
            std::vector<Cell>& table = type_of(&v) == TYPE_NATIVE ? natives_ : actions_;
            if ((type_of(&v) == TYPE_NATIVE || type_of(&v) == TYPE_ACTION) && v.data1 < table.size() &&
                type_of(&table[v.data1]) == TYPE_UNSET)
                table[v.data1] = v;
        }
    }
    const Cell* found = type == TYPE_NATIVE ? &natives_[index] : &actions_[index];
    return type_of(found) == type ? found : nullptr;
}

void Reader::callable(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int type = lead.type;
    uint32_t index = count();
    uint32_t limit = type == TYPE_ACTION ? uint32_t(ACTION_COUNT) : uint32_t(native::USED_SLOTS);
    if (index < 1 || index > limit) bad(at);
    // The spec is read aside: the value takes one cell.
    stack::TopScope scope;
    Cell* scratch = block::push_only(1);
    const uint8_t* spec_at = p_;
    record(scratch);
    if (cells_in(scratch) != 1) bad(spec_at);
    Cell spec = *cell_at(scratch->data2, 0);
    if (type_of(&spec) != TYPE_BLOCK) bad(spec_at);
    Cell value{};
    gc::root keep_value(&value);  // appending may collect
    if (boot()) {
        // [spec number], as make native! takes it.
        Cell* made = block::push_only(2);
        Cell number;
        cell::set(&number, TYPE_INTEGER, 0, index);
        block::append_cell(made, &spec);
        block::append_cell(made, &number);
        cell::set(&value, TYPE_NONE);
        if (type == TYPE_NATIVE) native::make(&value, made, type);
        else action::make(&value, made, type);
    } else {
        // A spec from outside never decides how the run-time's own routine
        // takes its arguments: the value is the run-time's own.
        const Cell* own = registered_callable(type, index);
        if (!own) bad(at);
        value = *own;
    }
    append(target, value);
}

void Reader::op_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    int64_t before = cells_in(target);
    record(target);
    if (cells_in(target) != before + 1) bad(at);
    Cell wrapped = *cell_at(target->data2, before);
    wrapped.header &= HEADER_TYPE_MASK;
    int t = type_of(&wrapped);
    if (t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_FUNCTION) bad(at);
    if (!compact_ && int(lead.header >> FX_WRAPPED_SHIFT & 0xFF) != t) bad(at);
    Cell value;
    cell::set(&value, TYPE_NONE);
    op::make(&value, &wrapped, TYPE_OP);
    *cell_at(target->data2, before) = value;
}

void Reader::error_record(Cell* target, const Lead& lead) {
    const uint8_t* at = p_;
    if (lead.shared) bad(at);
    ErrorId id;
    if (!error_of_code(count(), id)) bad(at);
    Cell error{};
    gc::root keep_error(&error);  // appending may collect
    {
        stack::TopScope scope;
        error = *error::create(id, nullptr, nullptr, nullptr);
    }
    int32_t k = append(target, error);
    // arg1 .. stack read straight into the fields, files put back after.
    Node values = context::cell_of(error.data1)->data2;
    Series* s = memory::series_of(values);
    s->tail = s->offset + error::FIELD_ARG1 * sizeof(Cell);
    Cell fields = block_over(values);
    for (int f = error::FIELD_ARG1; f <= error::FIELD_STACK; f++) record(&fields);
    if (cell_count(values) != error::FIELD_FILES) bad(at);
    block::append_cell(&fields, &none::g_none);
    (void)k;
}

// ---- References ----------------------------------------------------------------------------------

std::vector<uint32_t> Reader::path() {
    const uint8_t* at = p_;
    uint32_t n = count_of(compact_ ? 1 : 4);
    if (n == 0) bad(at);
    std::vector<uint32_t> indexes(n);
    for (uint32_t& i : indexes) i = count();
    return indexes;
}

// A fixed-form reference record {0xFF, n, indexes}, or a compact path; the
// value it leads to.
Cell Reader::referenced(const uint8_t* at) {
    if (!compact_ && u32() != FX_REFERENCE) bad(at);
    return resolve(path(), at);
}

Cell Reader::shared_value(const Lead&, const uint8_t* at) {
    Cell found = referenced(p_);
    // A path to a word stands for the owner of its context.
    if (word::any_word_type_q(type_of(&found)) && type_of(&found) != TYPE_ISSUE) {
        if (found.data1 == 0 || found.data1 == context::g_global) bad(at);
        found = *context::owner_of(found.data1);
    }
    return found;
}

Cell Reader::resolve(const std::vector<uint32_t>& path, const uint8_t* at) {
    int64_t first = int64_t(root_base_) + path[0];
    if (first >= cells_in(receiving_)) bad(at);
    Cell v = *cell_at(receiving_->data2, first);
    for (size_t k = 1; k < path.size(); k++) {
        uint32_t i = path[k];
        int t = type_of(&v);
        Node cells = 0;
        int64_t offset = 0;
        if (word::any_word_type_q(t) && t != TYPE_ISSUE) {
            Node ctx = v.data1;
            if (ctx == 0 || ctx == context::g_global) bad(at);
            if (context::on_stack(ctx)) {
                v = *context::owner_of(ctx);
                t = type_of(&v);
                if (t != TYPE_FUNCTION) bad(at);
            } else {
                cells = context::cell_of(ctx)->data2;
            }
        }
        if (t == TYPE_OP) t = op::wrapped_type(&v);
        if (series::any_block(t) || t == TYPE_MAP) {
            cells = v.data2;
        } else if (t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_FUNCTION) {
            // The function step: 0 the spec (one more index picks in it), 1 the body.
            if (i == 0) {
                cell::set(&v, TYPE_BLOCK, 0, v.data2);
                if (k + 1 == path.size()) break;
                i = path[++k];
                cells = v.data2;
            } else if (i == 1 && t == TYPE_FUNCTION) {
                v = *function::body_of(&v);
                if (type_of(&v) != TYPE_BLOCK) bad(at);
                continue;
            } else {
                bad(at);
            }
        } else if (t == TYPE_OBJECT || t == TYPE_ERROR) {
            if (context::on_stack(v.data1)) bad(at);
            cells = context::cell_of(v.data1)->data2;
            if (t == TYPE_ERROR) offset = error::FIELD_ARG1;
        } else if (!cells) {
            bad(at);
        }
        if (!cells || int64_t(i) + offset >= cell_count(cells)) bad(at);
        v = *cell_at(cells, int64_t(i) + offset);
    }
    v.header &= ~FLAG_NEW_LINE;
    return v;
}

// ---- Streams ---------------------------------------------------------------------------------------

// A boot image that cannot be read leaves no run-time to report through:
// the reason is printed and the process ends with a failure status.
[[noreturn]] void boot_failure(const char* message) {
    platform::print_line({message});
    platform::restore_terminal();
    _exit(1);
}

int32_t decode_stream(const uint8_t* data, int64_t length, Cell* target, Mode mode, const Cell* source);

// A packed stream's body is an lz-blob. Unpacked, it goes behind a copy of
// the header without the packed flag (the unpacker's buffer has 8 bytes of
// room for it) and is read as an unpacked stream. A blob that does not
// unpack is the stream's fault like a bad header.
int32_t decode_packed(const uint8_t* data, int64_t length, Cell* target, Mode mode, const Cell* source) {
    int64_t count = 0;
    uint8_t* body = lz::decompress(data + HEADER_BYTES, length - HEADER_BYTES, &count);
    if (!body) {
        if (mode == MODE_BOOT) boot_failure("Error: Zelbin compressed data corrupted!");
        fire(ERR_script_invalid_data, source);
    }
    struct Release {
        uint8_t* buffer;
        ~Release() { lz::free_buffer(buffer); }
    } release{body};
    std::memmove(body + HEADER_BYTES, body, size_t(count));
    std::memcpy(body, data, HEADER_BYTES);
    body[7] = uint8_t(data[7] & ~FLAG_PACKED);
    return decode_stream(body, count + HEADER_BYTES, target, mode, source);
}

int32_t decode_stream(const uint8_t* data, int64_t length, Cell* target, Mode mode, const Cell* source) {
    Cell none_source = none::g_none;
    if (!source) source = &none_source;
    bool header_ok = length >= HEADER_BYTES && std::memcmp(data, MAGIC, sizeof MAGIC) == 0;
    if (!header_ok) {
        if (mode == MODE_BOOT) boot_failure("Error: Not a Zelbin file!");
        fire(ERR_script_invalid_data, source);
    }
    uint8_t flags = data[7];
    if (flags & FLAG_PACKED) return decode_packed(data, length, target, mode, source);
    bool compact = flags & FLAG_COMPACT;
    if (!compact && length - HEADER_BYTES < 8) {
        if (mode == MODE_BOOT) boot_failure("Error: Not a Zelbin file!");
        fire(ERR_script_invalid_data, source);
    }
    int64_t before = cells_in(target);
    Reader reader(data, mode, target, mode == MODE_BOOT ? int32_t(before) : 0);
    reader.body(data + HEADER_BYTES, data + length, compact, flags & FLAG_SYMBOLS);
    return int32_t(cells_in(target) - before);
}

}  // namespace

int32_t decode_into(const uint8_t* data, int64_t length, Cell* target, Mode mode) {
    return decode_stream(data, length, target, mode, nullptr);
}

Cell* decode(const Cell* binary, Cell* result) {
    // The bytes are copied out: decoding allocates, and the data must stay put.
    std::vector<uint8_t> bytes(binary::head(binary), binary::head(binary) + binary::length_q(binary));
    stack::TopScope scope;
    Cell* source = stack::push(binary);
    Cell* block = block::push_only(16);
    decode_stream(bytes.data(), int64_t(bytes.size()), block, MODE_CODEC, source);
    *result = *block;
    return result;
}

Cell* load(const Cell* binary, Cell* result) {
    if (type_of(binary) != TYPE_BINARY || binary::length_q(binary) <= 10) fire(ERR_script_invalid_data, binary);
    decode(binary, result);
    if (cells_in(result) == 1) *result = *cell_at(result->data2, 0);
    return result;
}

int32_t load_boot_image(const uint8_t* image, int64_t length, Cell* root) {
    collector::Pause pause;
    int32_t base = int32_t(cells_in(root));
    decode_into(image, length, root, MODE_BOOT);
    return base;
}

}  // namespace zel::zelbin
