// Unicode conversion: UTF-8, UTF-16LE and Windows-1251 in, UTF-8 and
// UTF-16LE out, and the in-place widening of text buffers.
#include "series/unicode.h"

#include <algorithm>
#include <array>

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "series/string.h"

namespace zel::unicode {

namespace {

// ---- The UTF-8 automaton ---------------------------------------------------------------

// Byte classes, as ranges: every byte of [first, last] has the class.
struct ClassRange {
    uint8_t first, last, cls;
};
constexpr ClassRange CLASS_RANGES[] = {
    {0x00, 0x7F, 0}, {0x80, 0x8F, 1}, {0x90, 0x9F, 9}, {0xA0, 0xBF, 7},
    {0xC0, 0xC1, 8}, {0xC2, 0xDF, 2}, {0xE0, 0xE0, 10}, {0xE1, 0xEC, 3},
    {0xED, 0xED, 4}, {0xEE, 0xEF, 3}, {0xF0, 0xF0, 11}, {0xF1, 0xF3, 6},
    {0xF4, 0xF4, 5}, {0xF5, 0xFF, 8},
};

constexpr std::array<uint8_t, 256> make_classes() {
    std::array<uint8_t, 256> t{};
    for (const ClassRange& r : CLASS_RANGES)
        for (int b = r.first; b <= r.last; b++) t[size_t(b)] = r.cls;
    return t;
}
constexpr std::array<uint8_t, 256> UTF8_CLASS = make_classes();

constexpr int UTF8_ACCEPT = 0;
constexpr int UTF8_REJECT = 12;

// Next state, indexed by state + class; states are multiples of 12.
constexpr uint8_t UTF8_TRANSITION[108] = {
    0,  12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72,  // 0: accept
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 12: reject
    12, 0,  12, 12, 12, 12, 12, 0,  12, 0,  12, 12,  // 24: one continuation left
    12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,  // 36: two left
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12,  // 48: after E0
    12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,  // 60: after ED
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // 72: after F0
    12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // 84: after F1-F3
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 96: after F4
};

// Windows-1251: the code points of the bytes 0x80-0xFF (the unassigned
// 0x98 as U+0098).
constexpr uint16_t CP1251_HIGH[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

inline uint32_t cp1251_char(uint8_t b) { return b < 0x80 ? b : CP1251_HIGH[b - 0x80]; }

inline uint32_t read_utf16(const uint8_t* src, int64_t i) {
    return uint32_t(src[2 * i]) | (uint32_t(src[2 * i + 1]) << 8);
}

inline bool is_continuation(uint8_t b) { return b >= 0x80 && b <= 0xBF; }

[[noreturn]] void raise_invalid_char(uint32_t cp) {
    Cell arg;
    cell::set(&arg, TYPE_INTEGER, 0, cp);
    fire(ERR_script_invalid_char, &arg);
}

// Characters of a string from its head, clipped to a limit unless it is -1.
int64_t clipped_length(const Cell* str, int limit) {
    int64_t n = string::length_q(str);
    if (limit != -1 && limit < n) n = limit < 0 ? 0 : limit;
    return n;
}

// Encodes n units as UTF-8, a CR before every LF when asked; answers the bytes.
int64_t encode_units(const uint8_t* src, int64_t n, int unit, uint8_t* dst, bool cr) {
    uint8_t* out = dst;
    for (int64_t i = 0; i < n; i++) {
        uint32_t cp = string::get_char(src + i * unit, unit);
        if (cr && cp == '\n') *out++ = '\r';
        out += cp_to_utf8(cp, out);
    }
    return out - dst;
}

void set_unit(Series* s, int unit) { s->flags = (s->flags & ~SERIES_UNIT_MASK) | uint32_t(unit); }

// The text buffer that a UTF-16 or byte decoder writes: the string's own,
// made large enough for `count` units of `unit` and given that unit, or a
// new one (a unit-2 buffer of one unit when there is nothing to decode).
Node decoding_target(Cell* str, int64_t count, int unit) {
    if (!str) return count == 0 ? memory::alloc_series(1, 2, 0) : memory::alloc_series(count, unit, 0);
    Node node = str->data2;
    Series* s = memory::series_of(node);
    int64_t need = count * unit;
    if (int64_t(s->offset) + need > s->capacity) s = memory::expand_series(s, need);
    set_unit(s, unit);
    return node;
}

// The decoder source: the given bytes, or the string's conversion buffer.
const uint8_t* decoding_source(const uint8_t* src, const Cell* str) {
    return src || !str ? src : memory::series_of(str->data3)->data();
}

// Decodes `count` input units into the decoding target: `next` reads the
// character at the input index, advancing it past what it used, and answers
// -1 for input that is dropped.
template <typename Next>
Node store_decoded(const uint8_t* src, int64_t count, Cell* str, int unit, Next next) {
    Node node = decoding_target(str, count, unit);
    Series* s = memory::series_of(node);
    src = decoding_source(src, str);
    uint8_t* out = s->head();
    int64_t chars = 0;
    for (int64_t i = 0; i < count;) {
        int64_t cp = next(src, i);
        if (cp >= 0) string::put_char(out + chars++ * unit, unit, uint32_t(cp));
    }
    s->tail = s->offset + uint32_t(chars * unit);
    return node;
}

Series* widen(Series* s, int from, int to, int64_t extra) {
    int64_t used = s->used();
    int64_t need = used / from * to + extra;
    if (int64_t(s->offset) + need > s->capacity) s = memory::expand_series(s, need);
    uint8_t* h = s->head();
    int64_t n = used / from;
    // From the last unit down, so no unit is overwritten before it is read.
    for (int64_t i = n - 1; i >= 0; i--) string::put_char(h + i * to, to, string::get_char(h + i * from, from));
    s->tail = s->offset + uint32_t(n * to);
    set_unit(s, to);
    return s;
}

}  // namespace

// ---- UTF-8 scanning -------------------------------------------------------------------------

const uint8_t* fast_decode_utf8_char(const uint8_t* p, int32_t& cp, const uint8_t* end) {
    uint8_t b = *p++;
    int cls = UTF8_CLASS[b];
    uint32_t code = (0xFFu >> cls) & b;
    int state = UTF8_TRANSITION[cls];
    while (state != UTF8_ACCEPT && state != UTF8_REJECT) {
        if (end && p >= end) {
            cp = -1;
            return p;
        }
        b = *p++;
        code = (b & 0x3Fu) | (code << 6);
        state = UTF8_TRANSITION[state + UTF8_CLASS[b]];
    }
    cp = state == UTF8_ACCEPT ? int32_t(code) : -1;
    return p;
}

int count_utf8_chars(const uint8_t* start, const uint8_t* end) {
    int n = 0;
    int32_t cp;
    for (const uint8_t* p = start; p < end; n++) p = fast_decode_utf8_char(p, cp, end);
    return n;
}

const uint8_t* skip_utf8_chars(const uint8_t* p, const uint8_t* end, int n) {
    int32_t cp;
    for (; n > 0 && p < end; n--) p = fast_decode_utf8_char(p, cp, end);
    return p;
}

int utf8_char_size_q(uint8_t lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 0;
}

void raise_invalid_utf8(const uint8_t* p, int64_t n) {
    Node node = memory::alloc_bytes(n);
    Series* s = memory::series_of(node);
    std::memcpy(s->data(), p, size_t(n));
    s->tail = uint32_t(n);
    Cell arg;
    cell::set(&arg, TYPE_BINARY, 0, node, 0);
    fire(ERR_access_invalid_utf8, &arg);
}

int32_t decode_utf8_char(const uint8_t* p, int& count) {
    int available = count;
    uint8_t b = p[0];
    int size;
    uint32_t cp = 0;
    if (b < 0x80) {
        count = 1;
        return b;
    } else if (b < 0xC0) {
        size = 0;
    } else if (b < 0xE0) {
        size = 2;
        cp = b - 0xC0u;
    } else if (b < 0xF0) {
        size = 3;
        cp = b - 0xE0u;
    } else if (b < 0xF8) {
        size = 4;
        cp = b - 0xF0u;
    } else {
        size = 0;
    }
    if (size > 0) {
        if (available < size) return -1;
        bool valid = true;
        for (int k = 1; k < size && valid; k++) {
            valid = is_continuation(p[k]);
            cp = (cp << 6) | (p[k] - 0x80u);
        }
        if (valid && size == 3 && cp >= 0xDC00 && cp <= 0xDCFF) valid = false;
        if (valid && size == 4 && cp > MAX_CODE_POINT) valid = false;
        if (valid) {
            count = size;
            return int32_t(cp);
        }
    }
    raise_invalid_utf8(p, std::min(available, 4));
}

// ---- Single code points ---------------------------------------------------------------------

int cp_utf8_size(uint32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    if (cp < 0x10000) return 3;
    if (cp <= MAX_CODE_POINT) return 4;
    raise_invalid_char(cp);
}

int cp_to_utf8(uint32_t cp, uint8_t* dst) {
    if (cp > MAX_CODE_POINT) raise_invalid_char(cp);
    return encode_utf8(cp, dst);
}

int cp_to_utf8_bounded(uint32_t cp, uint8_t* dst, int room) {
    if (cp_utf8_size(cp) > room) return 0;
    return encode_utf8(cp, dst);
}

int cp_to_utf16(uint32_t cp, uint16_t* dst) {
    if (cp < 0x10000) {
        dst[0] = uint16_t(cp);
        return 1;
    }
    if (cp > MAX_CODE_POINT) return 0;
    dst[0] = uint16_t(0xD800 + ((cp - 0x10000) >> 10));
    dst[1] = uint16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    return 2;
}

// ---- Strings to encoded bytes -------------------------------------------------------------------

int64_t utf8_size_of_units(const uint8_t* start, const uint8_t* end, int unit) {
    int64_t size = 0;
    for (const uint8_t* p = start; p < end; p += unit) size += cp_utf8_size(string::get_char(p, unit));
    return size;
}

uint8_t* conversion_buffer(Cell* str, int64_t size) {
    Node node = str->data3;
    if (!node) {
        node = memory::alloc_bytes(size);
        str->data3 = node;
    } else if (memory::series_of(node)->capacity < size) {
        memory::expand_series(memory::series_of(node), size);
    }
    return memory::series_of(node)->data();
}

char* to_utf8_crlf(Cell* str, int& limit, bool cr) {
    int64_t n = clipped_length(str, limit);
    int unit = check_unit(string::buffer_of(str));
    // Room for the worst case: the widest form of every unit, a CR before
    // every LF, and the NUL.
    int64_t size = unit == 4 ? (n + 1) * 4 : (n + 1) * (unit + 1);
    uint8_t* out = conversion_buffer(str, size);
    int64_t bytes = encode_units(string::head(str), n, unit, out, cr);
    out[bytes] = 0;
    limit = int(bytes);
    return reinterpret_cast<char*>(out);
}

char* to_utf8(Cell* str, int& limit) { return to_utf8_crlf(str, limit, false); }

std::string to_utf8_string(Cell* str) {
    int limit = -1;
    const char* bytes = to_utf8(str, limit);
    return std::string(bytes, size_t(limit));
}

int to_utf8_buffer(Cell* str, uint8_t* buffer, int limit, bool nul) {
    int64_t n = clipped_length(str, limit);
    int unit = check_unit(string::buffer_of(str));
    int64_t bytes = encode_units(string::head(str), n, unit, buffer, false);
    if (nul) buffer[bytes] = 0;
    return int(bytes);
}

int to_utf8_into(Cell* str, uint8_t* dst, int room, int part, bool nul) {
    int64_t n = string::length_q(str);
    if (part >= 1 && part < n) n = part;
    int unit = check_unit(string::buffer_of(str));
    const uint8_t* src = string::head(str);
    int written = 0;
    for (int64_t i = 0; i < n; i++) {
        int k = cp_to_utf8_bounded(string::get_char(src + i * unit, unit), dst + written, room - written);
        if (k == 0) break;
        written += k;
    }
    if (nul) dst[written] = 0;
    return written;
}

uint16_t* to_utf16_part(Cell* str, int& limit, bool cr) {
    int64_t n = clipped_length(str, limit);
    int unit = check_unit(string::buffer_of(str));
    int64_t extra = 0;
    const uint8_t* src = string::head(str);
    for (int64_t i = 0; i < n; i++) {
        uint32_t cp = string::get_char(src + i * unit, unit);
        if (cp == '\n' || cp > 0xFFFF) extra++;
    }
    auto* out = reinterpret_cast<uint16_t*>(conversion_buffer(str, n * 2 + 2 + extra * 2));
    src = string::head(str);
    int64_t w = 0;
    for (int64_t i = 0; i < n; i++) {
        uint32_t cp = string::get_char(src + i * unit, unit);
        if (cr && cp == '\n') out[w++] = '\r';
        int k = cp_to_utf16(cp, out + w);
        if (k == 0) return nullptr;
        w += k;
    }
    out[w] = 0;
    limit = int(w);
    return out;
}

uint16_t* to_utf16(Cell* str) {
    int limit = -1;
    return to_utf16_part(str, limit, true);
}

void ascii_to_utf16(const char* s, uint16_t* dst) {
    while (*s) *dst++ = uint8_t(*s++);
    *dst = 0;
}

// ---- Encoded bytes to strings -----------------------------------------------------------------

Node load_utf8_buffer(const uint8_t* src, int64_t size, Node target, int* remainder, bool cr) {
    Node node = target;
    gc::root keep(&node);  // a new buffer is held by nothing else while it widens and grows
    if (!node) {
        node = memory::alloc_series(std::max<int64_t>(size, 1), 1, 0);
    } else {
        Series* s = memory::series_of(node);
        int unit = check_unit(s);
        if ((int64_t(s->capacity) - s->offset) / unit < size) memory::expand_series(s, size * unit);
    }
    if (remainder) *remainder = 0;
    Series* s = memory::series_of(node);
    int unit = check_unit(s);
    int64_t written = 0;  // units from the first unit in use
    // A given buffer's old text is replaced, even by nothing.
    auto finish = [&] { s->tail = s->offset + uint32_t(written * unit); };
    const uint8_t* p = src;
    const uint8_t* end = src + size;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
    while (p < end) {
        int count = int(std::min<int64_t>(end - p, 4));
        int32_t cp;
        try {
            cp = decode_utf8_char(p, count);
        } catch (...) {
            finish();
            throw;
        }
        if (cp < 0) {
            if (remainder) *remainder = int(end - p);
            break;
        }
        p += count;
        if (cr && cp == '\r') {
            if (p < end && *p == '\n') continue;
            cp = '\n';
        }
        if ((unit == 1 && cp > 0xFF) || (unit == 2 && cp > 0xFFFF)) {
            finish();
            if (cp > 0xFFFF) s = unit == 1 ? widen_1_4(s) : widen_2_4(s);
            else s = widen_1_2(s);
            unit = s->unit();
        }
        if (int64_t(s->offset) + (written + 1) * unit > s->capacity) {
            // Grown by a share of the input rather than per character.
            finish();
            int64_t grow = std::max<int64_t>(unit == 4 ? size : size >> 2, 16);
            s = memory::expand_series(s, int64_t(s->capacity) + grow);
        }
        string::put_char(s->head() + written * unit, unit, uint32_t(cp));
        written++;
    }
    finish();
    return node;
}

Node load_utf8_into(const uint8_t* src, int64_t size, Cell* str, int* remainder) {
    return load_utf8_buffer(src, size, str->data2, remainder, false);
}

Node load_utf8(const uint8_t* src, int64_t size) { return load_utf8_buffer(src, size, 0, nullptr, false); }

int utf16_unit_needed(const uint8_t* src, int64_t count) {
    int unit = 1;
    for (int64_t i = 0; i < count; i++) {
        uint8_t high = src[2 * i + 1];
        if (high >= 0xD8 && high <= 0xDF) return 4;
        if (high) unit = 2;
    }
    return unit;
}

Node load_utf16(const uint8_t* src, int64_t count, Cell* str, bool cr) {
    int unit = utf16_unit_needed(decoding_source(src, str), count);
    return store_decoded(src, count, str, unit, [count, cr](const uint8_t* in, int64_t& i) -> int64_t {
        uint32_t u = read_utf16(in, i++);
        if (cr && u == '\r') return -1;
        if (u >= 0xD800 && u <= 0xDBFF && i < count) {
            uint32_t low = read_utf16(in, i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                i++;
                return (((u & 0x3FF) << 10) | (low & 0x3FF)) + 0x10000;
            }
        }
        return u;
    });
}

// CRs are dropped as in UTF-16 input.
Node load_cp1251(const uint8_t* src, int64_t count, Cell* str, bool cr) {
    const uint8_t* bytes = decoding_source(src, str);
    int unit = 1;
    for (int64_t i = 0; i < count; i++)
        if (cp1251_char(bytes[i]) > 0xFF) unit = 2;
    return store_decoded(src, count, str, unit, [cr](const uint8_t* in, int64_t& i) -> int64_t {
        uint8_t b = in[i++];
        return cr && b == '\r' ? -1 : int64_t(cp1251_char(b));
    });
}

// ---- Widening ---------------------------------------------------------------------------------

Series* widen_1_2(Series* s) { return widen(s, 1, 2, 2); }
Series* widen_1_4(Series* s) { return widen(s, 1, 4, 4); }
Series* widen_2_4(Series* s) { return widen(s, 2, 4, 4); }

int check_unit(const Series* s) {
    int unit = s->unit();
    if (unit != 1 && unit != 2 && unit != 4)
        platform::runtime_error(101, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    return unit;
}

}  // namespace zel::unicode
