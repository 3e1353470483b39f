// Base-2, base-16 and base-64 decoders.
#include "series/binary_codec.h"

#include <array>

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

constexpr std::array<uint8_t, 128> make_base64_table() {
    std::array<uint8_t, 128> t{};
    for (auto& v : t) v = INVALID;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; i++) t[uint8_t(alphabet[i])] = uint8_t(i);
    t['='] = 0;
    for (uint8_t c : {uint8_t(8), uint8_t(9), uint8_t(10), uint8_t(12), uint8_t(13), uint8_t(32), uint8_t('\'')}) t[c] = SKIP;
    return t;
}
constexpr std::array<uint8_t, 128> BASE64 = make_base64_table();

bool literal_blank(uint32_t c) { return c == 9 || c == 10 || c == 13 || c == 32; }

// Walks the code units of the text, stepping over comments.
class Reader {
public:
    Reader(const uint8_t* text, int64_t count, int unit) : text_(text), count_(count), unit_(unit) {}
    // The next code unit outside comments; false at the end.
    bool next(uint32_t& c) {
        while (at_ < count_) {
            c = string::get_char(text_ + at_ * unit_, unit_);
            at_++;
            if (c != ';') return true;
            while (at_ < count_ && string::get_char(text_ + at_ * unit_, unit_) != '\n') at_++;
        }
        return false;
    }
    int64_t last() const { return at_ - 1; }  // index of the unit next() answered
    int64_t count() const { return count_; }

private:
    const uint8_t* text_;
    int64_t count_;
    int unit_;
    int64_t at_ = 0;
};

Node fail(int64_t* bad, int64_t at) {
    if (bad) *bad = at;
    return 0;
}

// The output buffer: a byte series filled from its start.
struct Output {
    Node node;
    uint8_t* p;
    explicit Output(int64_t capacity) : node(memory::alloc_bytes(capacity > 0 ? capacity : 1)) {
        p = memory::series_of(node)->data();
    }
    void put(uint8_t b) { p[used++] = b; }
    Node done() {
        memory::series_of(node)->tail = uint32_t(used);
        return node;
    }
    int64_t used = 0;
};

}  // namespace

Node decode_base2(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    Reader in(text, count, unit);
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
}

Node decode_base16(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    Reader in(text, count, unit);
    Output out(count / 2);
    bool literal = rules == DecodeRules::literal;
    int high = -1;
    int64_t high_at = 0;
    uint32_t c;
    while (in.next(c)) {
        if (literal) {
            if (literal_blank(c)) continue;
            if (c > 127) return fail(bad, in.last());
        } else {
            c &= 0x7F;
            if (c <= ' ') continue;
        }
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
}

Node decode_base64(const uint8_t* text, int64_t count, int unit, DecodeRules rules, int64_t* bad) {
    Reader in(text, count, unit);
    Output out((count * 3 + 9) / 4);
    bool literal = rules == DecodeRules::literal;
    uint32_t group = 0;
    int digits = 0;
    uint32_t c;
    while (in.next(c)) {
        uint8_t v = c < 128 ? BASE64[c] : (literal ? INVALID : SKIP);
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
}

}  // namespace zel::binary
