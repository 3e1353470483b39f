// The DEFLATE decoder over a whole input. Prefix codes are decoded through
// a table of the first 9 bits with a canonical walk for longer codes. The
// decoder refuses what a writer cannot have meant: over-subscribed or
// incomplete code sets (but for the two kinds RFC 1951 allows), and input
// that ends before the final block's end; it never reads or writes outside
// the buffers it is given.
//
// Relies on: the shared DEFLATE tables.
#include <cstring>

#include "os/deflate.h"
#include "os/deflate_tables.h"

namespace zel::deflate {

namespace {

constexpr int DONE = 0, TOO_SMALL = 1, CORRUPT = 2;
constexpr int FAST_BITS = 9;
constexpr int MAX_LENGTHS = 288 + 32;  // HLIT and HDIST at their most

// Bits least significant first; past the end of the input zero bits are
// supplied, and `overrun` tells when any of them has been consumed.
class BitReader {
public:
    BitReader(const uint8_t* src, int64_t n) : src_(src), n_(n) {}

    // At least 32 bits in the buffer.
    void refill() {
        if (count_ >= 32) return;
        if (pos_ + 8 <= n_) {
            uint64_t word;
            std::memcpy(&word, src_ + pos_, 8);
            buffer_ |= word << count_;
            pos_ += (63 - count_) >> 3;
            count_ |= 56;
            return;
        }
        while (count_ <= 56) {
            buffer_ |= uint64_t(pos_ < n_ ? src_[pos_] : 0) << count_;
            pos_++;
            count_ += 8;
        }
    }
    uint32_t peek() const { return uint32_t(buffer_); }
    void drop(int bits) {
        buffer_ >>= bits;
        count_ -= bits;
    }
    // Up to 16 bits.
    uint32_t get(int bits) {
        refill();
        uint32_t v = uint32_t(buffer_) & ((1u << bits) - 1);
        drop(bits);
        return v;
    }
    int64_t consumed_bits() const { return pos_ * 8 - count_; }
    bool overrun() const { return consumed_bits() > n_ * 8; }
    bool used_up() const { return consumed_bits() >= n_ * 8; }

    // To the next byte boundary; the buffered whole bytes go back to the
    // input. False when bits past the end were consumed.
    bool to_byte_boundary() {
        drop(count_ & 7);
        pos_ -= count_ >> 3;
        buffer_ = 0;
        count_ = 0;
        return pos_ <= n_;
    }
    int64_t pos() const { return pos_; }
    int64_t left() const { return n_ - pos_; }
    const uint8_t* at() const { return src_ + pos_; }
    void skip(int64_t bytes) { pos_ += bytes; }

private:
    const uint8_t* src_;
    int64_t n_, pos_ = 0;
    uint64_t buffer_ = 0;
    int count_ = 0;
};

// A canonical prefix code: codes per length, symbols in code order, and
// the first FAST_BITS bits (reversed) to symbol << 4 | length (0: longer
// code, or none).
struct Code {
    uint16_t count[16];
    uint16_t symbol[MAX_LENGTHS];
    uint16_t fast[1 << FAST_BITS];

    // False for an over-subscribed set, and for an incomplete one other
    // than a single code of length 1 or no codes at all (which RFC 1951
    // allows for distances, and which decodes nothing).
    bool build(const uint8_t* lengths, int n) {
        std::memset(count, 0, sizeof count);
        for (int s = 0; s < n; s++) count[lengths[s]]++;
        const int used = n - count[0];
        count[0] = 0;
        int left = 1;
        for (int len = 1; len < 16; len++) {
            left = 2 * left - count[len];
            if (left < 0) return false;
        }
        if (left > 0 && used > 0 && !(used == 1 && count[1] == 1)) return false;
        uint16_t offset[16];
        offset[1] = 0;
        for (int len = 1; len < 15; len++) offset[len + 1] = uint16_t(offset[len] + count[len]);
        for (int s = 0; s < n; s++)
            if (lengths[s]) symbol[offset[lengths[s]]++] = uint16_t(s);
        std::memset(fast, 0, sizeof fast);
        uint32_t code = 0;
        int index = 0;
        for (int len = 1; len <= FAST_BITS; len++, code <<= 1) {
            for (int k = 0; k < count[len]; k++, code++, index++) {
                uint32_t r = 0;
                for (int i = 0; i < len; i++) r |= ((code >> i) & 1) << (len - 1 - i);
                for (; r < (1u << FAST_BITS); r += 1u << len) fast[r] = uint16_t(symbol[index] << 4 | len);
            }
        }
        return true;
    }

    // The next symbol, or -1 for bits that are no code.
    int decode(BitReader& in) const {
        in.refill();
        uint32_t bits = in.peek();
        if (uint16_t e = fast[bits & ((1u << FAST_BITS) - 1)]) {
            in.drop(e & 15);
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; len++, bits >>= 1) {
            code |= int(bits & 1);
            int c = count[len];
            if (code - first < c) {
                in.drop(len);
                return symbol[index + code - first];
            }
            index += c;
            first = (first + c) << 1;
            code <<= 1;
        }
        return -1;
    }
};

struct FixedCodes {
    Code lit, dist;
    FixedCodes() {
        uint8_t lengths[288];
        for (int s = 0; s < 288; s++) lengths[s] = uint8_t(fixed_length(s));
        lit.build(lengths, 288);
        std::memset(lengths, 5, 32);
        dist.build(lengths, 32);
    }
};
const FixedCodes FIXED;

// The output: bytes past the capacity are counted, not written.
struct Output {
    uint8_t* dst;
    int64_t capacity, count = 0;

    void put(uint8_t b) {
        if (count < capacity) dst[count] = b;
        count++;
    }
    void copy(int64_t distance, int length) {
        if (count + length + 8 <= capacity) {
            // Eight bytes a step while the source lies eight or more back;
            // the few bytes written past the match lie within the
            // capacity and are written over by what follows.
            uint8_t* to = dst + count;
            const uint8_t* from = to - distance;
            if (distance >= 8) {
                for (int i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
            } else {
                for (int i = 0; i < length; i++) to[i] = from[i];
            }
            count += length;
            return;
        }
        if (count >= capacity) {  // measuring, or past the capacity: counted only
            count += length;
            return;
        }
        for (int i = 0; i < length; i++, count++)
            if (count < capacity) dst[count] = dst[count - distance];
    }
    void bytes(const uint8_t* p, int64_t n) {
        if (count < capacity) {
            int64_t room = capacity - count;
            std::memcpy(dst + count, p, size_t(n < room ? n : room));
        }
        count += n;
    }
};

int stored_block(BitReader& in, Output& out) {
    if (!in.to_byte_boundary() || in.left() < 4) return CORRUPT;
    const uint8_t* p = in.at();
    // NLEN is not compared: writers that get it wrong exist, and LEN alone
    // says where the block ends.
    int64_t length = p[0] | p[1] << 8;
    in.skip(4);
    if (length > in.left()) return STORED_PAST_END;
    out.bytes(in.at(), length);
    in.skip(length);
    return DONE;
}

int coded_block(BitReader& in, Output& out, const Code& lit, const Code& dist) {
    for (;;) {
        int s = lit.decode(in);
        if (s < 0) return CORRUPT;
        if (s < END_OF_BLOCK) {
            out.put(uint8_t(s));
        } else if (s == END_OF_BLOCK) {
            return in.overrun() ? CORRUPT : DONE;
        } else {
            s -= END_OF_BLOCK + 1;
            if (s >= 29) return CORRUPT;
            int length = LENGTH_BASE[s] + int(in.get(LENGTH_EXTRA[s]));
            int d = dist.decode(in);
            if (d < 0 || d >= DIST_CODES) return CORRUPT;
            int64_t distance = DIST_BASE[d] + in.get(DIST_EXTRA[d]);
            if (in.overrun()) return CORRUPT;
            if (distance > out.count) return DISTANCE_TOO_FAR;
            out.copy(distance, length);
        }
        if (in.overrun()) return CORRUPT;
    }
}

int dynamic_block(BitReader& in, Output& out) {
    const int hlit = int(in.get(5)) + 257, hdist = int(in.get(5)) + 1, hclen = int(in.get(4)) + 4;
    uint8_t lengths[MAX_LENGTHS] = {};
    for (int i = 0; i < hclen; i++) lengths[CODELEN_ORDER[i]] = uint8_t(in.get(3));
    Code lit, dist;
    if (!lit.build(lengths, CODELEN_CODES)) return CORRUPT;
    const Code& code_lengths = lit;
    uint8_t read[MAX_LENGTHS];
    for (int i = 0; i < hlit + hdist;) {
        int s = code_lengths.decode(in);
        if (s < 0) return CORRUPT;
        if (s < 16) {
            read[i++] = uint8_t(s);
        } else {
            uint8_t value = 0;
            int repeat;
            if (s == 16) {
                if (i == 0) return CORRUPT;
                value = read[i - 1];
                repeat = 3 + int(in.get(2));
            } else if (s == 17) {
                repeat = 3 + int(in.get(3));
            } else {
                repeat = 11 + int(in.get(7));
            }
            if (i + repeat > hlit + hdist) return CORRUPT;
            std::memset(read + i, value, size_t(repeat));
            i += repeat;
        }
        if (in.overrun()) return CORRUPT;
    }
    // A block without an end-of-block code could never end.
    if (!read[END_OF_BLOCK]) return CORRUPT;
    if (!lit.build(read, hlit) || !dist.build(read + hlit, hdist)) return CORRUPT;
    return coded_block(in, out, lit, dist);
}

}  // namespace

int decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n) {
    Output out{dst, dst ? *size : 0};
    BitReader in(src, n);
    for (bool final = false; !final;) {
        // Input used up before the final block ended: cut short.
        if (in.used_up()) return CORRUPT;
        final = in.get(1);
        int type = int(in.get(2));
        int result = type == 0 ? stored_block(in, out)
                     : type == 1 ? coded_block(in, out, FIXED.lit, FIXED.dist)
                     : type == 2 ? dynamic_block(in, out)
                                 : RESERVED_BLOCK;
        if (result != DONE) {
            *size = out.count;
            return result;
        }
    }
    *size = out.count;
    return out.count > out.capacity ? TOO_SMALL : DONE;
}

}  // namespace zel::deflate
