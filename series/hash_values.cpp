// Hash tables: hashing values and comparing keys. hash_value is the hash of
// every key cell of kinds 0 to 2 (text upper-cased unless case-sensitive,
// words by their symbol's canonical id, series by identity); keys_equal is
// the key equality of kinds 0 and 1, and of lookup keys against stored
// text. Owns fmix32 and the murmur3 entry points for other files.
#include "series/hash_table.h"

#include <algorithm>
#include <cstring>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "scalars/money.h"
#include "series/case_folding.h"
#include "series/hash_shared.h"

namespace zel::hash_table {

using namespace shared;

namespace {

// The characters of a text value from its head (a lookup key: at most its
// limit), whatever the unit of its buffer.
struct Text {
    const uint8_t* p = nullptr;
    int unit = 1;
    int64_t count = 0;

    uint32_t at(int64_t i) const {
        if (unit == 1) return p[i];
        if (unit == 2) {
            uint16_t u;
            std::memcpy(&u, p + i * 2, 2);
            return u;
        }
        uint32_t u;
        std::memcpy(&u, p + i * 4, 4);
        return u;
    }
};

Text text_of(const Cell* value) {
    Text t;
    if (value->data2 == 0) return t;
    Series* s = memory::series_of(value->data2);
    t.unit = s->unit();
    int64_t total = s->used() / uint32_t(t.unit);
    int64_t head = std::max<int64_t>(0, int32_t(value->data1));
    t.count = head < total ? total - head : 0;
    if (type_of(value) == TYPE_LOOKUP_KEY && int32_t(value->data3) >= 0)
        t.count = std::min<int64_t>(t.count, int32_t(value->data3));
    t.p = s->head() + head * t.unit;
    return t;
}

bool text_type(int type) {
    switch (type) {
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL:
        case TYPE_REF:
            return true;
        default: return false;
    }
}

// Each code point, upper-cased unless case-sensitive, is one 4-byte block.
uint32_t text_hash(const Cell* value, bool case_sensitive) {
    Text t = text_of(value);
    Murmur m(random::hash_seed());
    for (int64_t i = 0; i < t.count; i++) {
        uint32_t cp = t.at(i);
        m.block(case_sensitive ? cp : case_folding::change_char(cp, true));
    }
    return m.finish(uint32_t(t.count * 4));
}

// Floats compare equal across the sign of zero, so they hash alike too.
template <class F>
F positive_zero(F x) {
    return x == F(0) ? F(0) : x;
}

uint32_t floats32_hash(const Cell* value, int count) {
    float f[3];
    std::memcpy(f, &value->data1, size_t(count) * 4);
    for (int i = 0; i < count; i++) f[i] = positive_zero(f[i]);
    return murmur3_32(f, count * 4);
}

bool case_sensitive_code(int code) { return code == 2 || code == 8 || code == 9; }

bool lookup_key_equal(const Cell* stored, const Cell* key, int code) {
    if (!text_type(type_of(stored))) return false;
    Text a = text_of(stored), b = text_of(key);
    if (a.count != b.count) return false;
    bool fold = !case_sensitive_code(code);
    for (int64_t i = 0; i < a.count; i++) {
        uint32_t x = a.at(i), y = b.at(i);
        if (fold) {
            x = case_folding::change_char(x, true);
            y = case_folding::change_char(y, true);
        }
        if (x != y) return false;
    }
    return true;
}

}  // namespace

namespace shared {

bool keys_equal(Cell* stored, Cell* key, int code) {
    if (type_of(key) == TYPE_LOOKUP_KEY) return lookup_key_equal(stored, key, code);
    return type_of(stored) == type_of(key) && compare_values(stored, key, code) == 0;
}

}  // namespace shared

uint32_t fmix32(uint32_t h) { return mix32(h); }

uint32_t murmur3_32_seeded(const void* data, int64_t bytes, uint32_t seed) {
    return murmur_bytes(static_cast<const uint8_t*>(data), bytes, seed, same_byte);
}

uint32_t murmur3_32(const void* data, int64_t bytes) {
    return murmur3_32_seeded(data, bytes, random::hash_seed());
}

uint32_t hash_value(const Cell* v, bool case_sensitive) {
    switch (type_of(v)) {
        case TYPE_UNSET: return uint32_t(-2);
        case TYPE_NONE: return uint32_t(-1);
        case TYPE_DATATYPE: case TYPE_LOGIC: case TYPE_OBJECT: case TYPE_ERROR: case TYPE_PORT:
            return mix32(v->data1);
        case TYPE_CHAR: case TYPE_INTEGER: case TYPE_MAP: case TYPE_HANDLE: case TYPE_EVENT:
            return mix32(v->data2);
        case TYPE_NATIVE: case TYPE_ACTION: return mix32(v->data3);
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD:
        case TYPE_REFINEMENT: case TYPE_ISSUE:
            return mix32(symbol_canonical(v->data2));
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_HASH: case TYPE_IMAGE:
            return murmur3_32(&v->data1, 8);
        case TYPE_POINT2D: return floats32_hash(v, 2);
        case TYPE_POINT3D: return floats32_hash(v, 3);
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: {
            double d = positive_zero(cell::get_float(v));
            return murmur3_32(&d, 8);
        }
        case TYPE_PAIR: return murmur3_32(&v->data2, 8);
        case TYPE_OP: case TYPE_FUNCTION: case TYPE_TRIPLE: case TYPE_TYPESET: case TYPE_DATE:
            return murmur3_32(&v->data1, 12);
        case TYPE_TUPLE: return murmur3_32(&v->data1, std::min(12u, (v->header >> 19) & 0xF));
        case TYPE_BINARY: {
            Bytes b = bytes_of(v->data2, int32_t(v->data1));
            return murmur3_32(b.p, b.n);
        }
        case TYPE_MONEY: {
            Cell c = *v;
            // The type and the sign bit; a zero amount is equal to zero
            // whatever its sign, so it hashes as the positive one.
            c.header = TYPE_MONEY | (money::digits_zero_q(v) ? 0 : v->header & 0x4000);
            return murmur3_32(&c, 16);
        }
        case TYPE_SYMBOL: {
            Bytes b = bytes_of(v->data3, 0);
            return name_hash(b.p, b.n);
        }
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL:
        case TYPE_REF: case TYPE_LOOKUP_KEY:
            return text_hash(v, case_sensitive);
        default: return 0;
    }
}

int compare_values(Cell* value1, Cell* value2, int op) { return compare::compare_value(value1, value2, op); }

}  // namespace zel::hash_table
