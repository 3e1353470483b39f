// Base-2, base-16, base-58 and base-64 encoders and decoders.
#include "series/binary_codec.h"

#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "series/string.h"

namespace zel::binary {

namespace {

constexpr uint8_t INVALID = 128;
constexpr uint8_t SKIP = 64;

constexpr std::array<uint8_t, 128> make_hex_table() {
    std::array<uint8_t, 128> t{};
    for (auto& v : t) v = 255;
    for (int c = 0; c < 10; c++) t['0' + c] = uint8_t(c);
    for (int c = 0; c < 6; c++) t['A' + c] = t['a' + c] = uint8_t(10 + c);
    return t;
}
constexpr std::array<uint8_t, 128> HEX = make_hex_table();

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr char BASE58_DIGITS[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr char BASE64_DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A decoding table: each digit its value, the white space given SKIP,
// everything else INVALID.
template <size_t N>
constexpr std::array<uint8_t, 128> make_digit_table(const char (&digits)[N],
                                                    std::initializer_list<uint8_t> blanks) {
    std::array<uint8_t, 128> t{};
    for (auto& v : t) v = INVALID;
    for (size_t i = 0; i + 1 < N; i++) t[uint8_t(digits[i])] = uint8_t(i);
    for (uint8_t c : blanks) t[c] = SKIP;
    return t;
}
constexpr std::array<uint8_t, 128> BASE58 = make_digit_table(BASE58_DIGITS, {8, 9, 10, 12, 13, 32});
constexpr std::array<uint8_t, 128> make_base64_table() {
    std::array<uint8_t, 128> t = make_digit_table(BASE64_DIGITS, {8, 9, 10, 12, 13, 32, '\''});
    t['='] = 0;
    return t;
}
constexpr std::array<uint8_t, 128> BASE64 = make_base64_table();
constexpr std::array<uint8_t, 128> BASE64_DIGITS_ONLY = make_digit_table(BASE64_DIGITS, {});

// Base 58 works on big numbers held in 32-bit limbs and moves five base-58
// digits at a time: 58^5 * 2^32 still fits in 64 bits.
constexpr int DIGITS_PER_STEP = 5;
constexpr uint64_t POWERS_OF_58[DIGITS_PER_STEP + 1] = {
    1, 58, 58 * 58, 58 * 58 * 58, 58ull * 58 * 58 * 58, 58ull * 58 * 58 * 58 * 58};

bool literal_blank(uint32_t c) { return c == 9 || c == 10 || c == 13 || c == 32; }

// Walks the code units of the text, stepping over comments; the width is a
// constant so that reading a unit is one load.
template <int UNIT>
class Reader {
public:
    Reader(const uint8_t* text, int64_t count) : text_(text), count_(count) {}
    // The next code unit outside comments; false at the end.
    bool next(uint32_t& c) {
        while (at_ < count_) {
            c = string::get_char(text_ + at_ * UNIT, UNIT);
            at_++;
            if (c != ';') return true;
            while (at_ < count_ && string::get_char(text_ + at_ * UNIT, UNIT) != '\n') at_++;
        }
        return false;
    }
    int64_t last() const { return at_ - 1; }  // index of the unit next() answered

    // Decodes groups of four units while all four are digits of the table
    // (values below 64), three bytes a group written at `out`, and answers
    // the end of what it wrote; the units of the first other group are left
    // to next(). Most base-64 text is read this way.
    uint8_t* take_digit_groups(const std::array<uint8_t, 128>& table, uint8_t* out) {
        const int64_t count = count_;  // locals: the byte stores may alias the members
        int64_t at = at_;
        for (; count - at >= 4; at += 4) {
            const uint8_t* p = text_ + at * UNIT;
            uint32_t joined = 0, flags = 0;
            for (int i = 0; i < 4; i++) {
                uint32_t c = string::get_char(p + i * UNIT, UNIT);
                uint32_t v = c < 128 ? table[c] : INVALID;
                flags |= v;
                joined = joined << 6 | v;
            }
            if (flags > 63) break;
            out[0] = uint8_t(joined >> 16);
            out[1] = uint8_t(joined >> 8);
            out[2] = uint8_t(joined);
            out += 3;
        }
        at_ = at;
        return out;
    }

private:
    const uint8_t* text_;
    int64_t count_;
    int64_t at_ = 0;
};

// Runs the decoding with a reader of the text's unit width.
template <typename Decode>
Node with_reader(const uint8_t* text, int64_t count, int unit, Decode decode) {
    switch (unit) {
        case 1: return decode(Reader<1>(text, count));
        case 2: return decode(Reader<2>(text, count));
        default: return decode(Reader<4>(text, count));
    }
}

Node fail(int64_t* bad, int64_t at) {
    if (bad) *bad = at;
    return 0;
}

// The output buffer: a byte series filled from its start.
struct Output {
    Node node;
    uint8_t* start;
    uint8_t* p;
    explicit Output(int64_t capacity) : node(memory::alloc_bytes(capacity > 0 ? capacity : 1)) {
        start = p = memory::series_of(node)->data();
    }
    void put(uint8_t b) { *p++ = b; }
    Node done() {
        memory::series_of(node)->tail = uint32_t(p - start);
        return node;
    }
};

// The big-endian bytes as limbs, most significant first, the first limb
// holding what does not fill a whole one.
std::vector<uint32_t> limbs_of(const uint8_t* bytes, int64_t n) {
    std::vector<uint32_t> limbs(size_t((n + 3) / 4));
    int64_t pad = 4 * int64_t(limbs.size()) - n;  // the zero bytes missing from the first limb
    for (int64_t i = 0; i < n; i++) {
        uint32_t& limb = limbs[size_t((i + pad) / 4)];
        limb = limb << 8 | bytes[i];
    }
    return limbs;
}

}  // namespace

int64_t encoded_capacity(int base, int64_t n) {
    switch (base) {
        case 2: return 8 * n;
        case 16: return 2 * n;
        case 58: return 2 * n;  // zero bytes take 1 digit each, the others fewer than 1.37
        case 64: return (n + 2) / 3 * 4;
        default: return 0;
    }
}

uint8_t* encode_base2(uint8_t* out, const uint8_t* bytes, int64_t n) {
    for (int64_t i = 0; i < n; i++)
        for (int bit = 7; bit >= 0; bit--) *out++ = uint8_t('0' + (bytes[i] >> bit & 1));
    return out;
}

uint8_t* encode_base16(uint8_t* out, const uint8_t* bytes, int64_t n) {
    for (int64_t i = 0; i < n; i++) {
        *out++ = uint8_t(HEX_DIGITS[bytes[i] >> 4]);
        *out++ = uint8_t(HEX_DIGITS[bytes[i] & 15]);
    }
    return out;
}

// Repeated division of a private copy of the number: the digits come least
// significant first, so they fill the area from its end and move to its
// start when the number is spent.
uint8_t* encode_base58(uint8_t* out, const uint8_t* bytes, int64_t n) {
    int64_t zeros = 0;
    while (zeros < n && bytes[zeros] == 0) zeros++;
    std::vector<uint32_t> limbs = limbs_of(bytes + zeros, n - zeros);
    uint8_t* end = out + encoded_capacity(58, n);
    uint8_t* digit = end;
    size_t first = 0;  // the leading limbs already divided down to 0 are passed over
    while (first < limbs.size()) {
        uint64_t rest = 0;
        for (size_t i = first; i < limbs.size(); i++) {
            uint64_t v = rest << 32 | limbs[i];
            limbs[i] = uint32_t(v / POWERS_OF_58[DIGITS_PER_STEP]);
            rest = v % POWERS_OF_58[DIGITS_PER_STEP];
        }
        while (first < limbs.size() && limbs[first] == 0) first++;
        // Five digits a step, but no leading zero digits from the last one.
        for (int k = 0; k < DIGITS_PER_STEP && (first < limbs.size() || rest != 0); k++) {
            *--digit = uint8_t(BASE58_DIGITS[rest % 58]);
            rest /= 58;
        }
    }
    int64_t written = end - digit;
    if (written) std::memmove(out + zeros, digit, size_t(written));
    if (zeros) std::memset(out, '1', size_t(zeros));
    return out + zeros + written;
}

uint8_t* encode_base64(uint8_t* out, const uint8_t* bytes, int64_t n) {
    int64_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        *out++ = uint8_t(BASE64_DIGITS[group >> 18]);
        *out++ = uint8_t(BASE64_DIGITS[group >> 12 & 63]);
        *out++ = uint8_t(BASE64_DIGITS[group >> 6 & 63]);
        *out++ = uint8_t(BASE64_DIGITS[group & 63]);
    }
    if (i < n) {
        uint32_t group = uint32_t(bytes[i]) << 16 | (i + 1 < n ? uint32_t(bytes[i + 1]) << 8 : 0);
        *out++ = uint8_t(BASE64_DIGITS[group >> 18]);
        *out++ = uint8_t(BASE64_DIGITS[group >> 12 & 63]);
        *out++ = i + 1 < n ? uint8_t(BASE64_DIGITS[group >> 6 & 63]) : uint8_t('=');
        *out++ = '=';
    }
    return out;
}

Node decode_base2(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    return with_reader(text, count, unit, [&](auto in) {
        Output out(count / 8);
        bool literal = rules == DecodeRules::literal;
        int bits = 0;
        int64_t group_start = 0;
        uint32_t byte = 0;
        uint32_t c;
        while (in.next(c)) {
            if (literal ? literal_blank(c) : c <= ' ') continue;
            if (c != '0' && c != '1') return fail(bad, in.last());
            if (bits == 0) group_start = in.last();
            byte = byte << 1 | (c - '0');
            if (++bits == 8) {
                out.put(uint8_t(byte));
                bits = 0;
                byte = 0;
            }
        }
        if (bits != 0) return fail(bad, group_start);
        return out.done();
    });
}

Node decode_base16(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    return with_reader(text, count, unit, [&](auto in) {
        Output out(count / 2);
        bool literal = rules == DecodeRules::literal;
        int high = -1;
        int64_t high_at = 0;
        uint32_t c;
        while (in.next(c)) {
            if (literal ? literal_blank(c) : c <= ' ') continue;
            // Only ASCII digits count: a wider code unit is never cut down to one.
            if (c > 127) return fail(bad, in.last());
            uint8_t v = HEX[c];
            if (v > 15) return fail(bad, in.last());
            if (high < 0) {
                high = v;
                high_at = in.last();
            } else {
                out.put(uint8_t(high << 4 | v));
                high = -1;
            }
        }
        if (high >= 0 && literal) return fail(bad, high_at);
        return out.done();
    });
}

Node decode_base64(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    return with_reader(text, count, unit, [&](auto in) {
        Output out((count * 3 + 9) / 4);
        bool literal = rules == DecodeRules::literal;
        uint32_t group = 0;
        int digits = 0;
        uint32_t c;
        for (;;) {
            if (digits == 0) out.p = in.take_digit_groups(BASE64_DIGITS_ONLY, out.p);
            if (!in.next(c)) break;
            uint8_t v = c < 128 ? BASE64[c] : INVALID;
            if (v == INVALID) return fail(bad, in.last());
            if (v >= SKIP) continue;
            if (c == '=') {
                // Padding: what the pending digits hold, then the end of the data.
                if (digits == 3) {
                    out.put(uint8_t(group >> 10));
                    out.put(uint8_t(group >> 2));
                } else if (digits == 2) {
                    out.put(uint8_t(group >> 4));
                    uint32_t second;
                    if (!in.next(second) || second != '=') {
                        if (literal) return fail(bad, in.last() < 0 ? count : in.last());
                    }
                } else {
                    return fail(bad, in.last());
                }
                digits = 0;
                group = 0;
                if (!literal) {  // the character after the padding goes with it
                    in.next(c);
                    continue;
                }
                while (in.next(c))
                    if (!(c < 128 && BASE64[c] == SKIP)) return fail(bad, in.last());
                return out.done();
            }
            group = group << 6 | v;
            if (++digits == 4) {
                out.put(uint8_t(group >> 16));
                out.put(uint8_t(group >> 8));
                out.put(uint8_t(group));
                group = 0;
                digits = 0;
            }
        }
        if (digits != 0 && literal) return fail(bad, count);
        return out.done();
    });
}

// Digits gather five at a time and multiply into the number so far, held in
// limbs least significant first; leading "1" digits are the zero bytes.
Node decode_base58(const uint8_t* text, int64_t count, int unit, int64_t* bad) {
    return with_reader(text, count, unit, [&](auto in) {
        int64_t zeros = 0;
        std::vector<uint32_t> limbs;
        uint64_t group = 0;
        int digits = 0;
        auto take_group = [&] {
            uint64_t carry = group;
            for (uint32_t& limb : limbs) {
                uint64_t v = uint64_t(limb) * POWERS_OF_58[digits] + carry;
                limb = uint32_t(v);
                carry = v >> 32;
            }
            if (carry) limbs.push_back(uint32_t(carry));
            group = 0;
            digits = 0;
        };
        uint32_t c;
        while (in.next(c)) {
            if (c > 127) break;  // the text ends at the first code unit outside ASCII
            uint8_t v = BASE58[c];
            if (v == INVALID) return fail(bad, in.last());
            if (v == SKIP) continue;
            if (v == 0 && limbs.empty() && digits == 0) {
                zeros++;
                continue;
            }
            group = group * 58 + v;
            if (++digits == DIGITS_PER_STEP) take_group();
        }
        take_group();
        int top_bytes = limbs.empty() ? 0 : 4 - std::countl_zero(limbs.back()) / 8;
        Output out(zeros + (limbs.empty() ? 0 : 4 * int64_t(limbs.size() - 1) + top_bytes));
        for (int64_t i = 0; i < zeros; i++) out.put(0);
        for (size_t i = limbs.size(); i-- > 0;)
            for (int b = i + 1 == limbs.size() ? top_bytes - 1 : 3; b >= 0; b--)
                out.put(uint8_t(limbs[i] >> (8 * b)));
        return out.done();
    });
}

}  // namespace zel::binary
