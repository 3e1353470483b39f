// The base-2, base-16, base-58 and base-64 codecs: known vectors both ways,
// random round trips, and the decoders' lenient rules of `debase` and strict
// rules of binary literals, over text in every code unit width.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "series/binary.h"
#include "series/binary_codec.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

namespace zel::binary {
namespace {

using Bytes = std::vector<uint8_t>;
using Decoder = Node (*)(const uint8_t*, int64_t, int, DecodeRules, int64_t*);
using Encoder = uint8_t* (*)(uint8_t*, const uint8_t*, int64_t);
constexpr DecodeRules general = DecodeRules::general, literal = DecodeRules::literal;

Node base58_decoder(const uint8_t* text, int64_t count, int unit, DecodeRules, int64_t* bad) {
    return decode_base58(text, count, unit, bad);
}

struct Codec {
    int base;
    Encoder encode;
    Decoder decode;
};
const Codec BASE2{2, encode_base2, decode_base2};
const Codec BASE16{16, encode_base16, decode_base16};
const Codec BASE58{58, encode_base58, base58_decoder};
const Codec BASE64{64, encode_base64, decode_base64};
const Codec CODECS[] = {BASE2, BASE16, BASE58, BASE64};

Bytes bytes_of(Node node) {
    Cell bin;
    bin.header = 0;
    make_over(&bin, node);
    return Bytes(head(&bin), head(&bin) + length_q(&bin));
}

std::string hex_of(const Bytes& bytes) {
    std::string out;
    for (uint8_t b : bytes) out += string::byte_to_hex(b);
    return out;
}

Bytes from_hex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string encoded(const Codec& codec, const Bytes& bytes) {
    std::string text(size_t(encoded_capacity(codec.base, int64_t(bytes.size()))), '\0');
    auto* start = reinterpret_cast<uint8_t*>(text.data());
    uint8_t* end = codec.encode(start, bytes.data(), int64_t(bytes.size()));
    text.resize(size_t(end - start));
    return text;
}

// The widest code point decides the units the text can be given in.
std::vector<int> units_for(const std::u32string& text) {
    char32_t widest = 0;
    for (char32_t c : text) widest = std::max(widest, c);
    if (widest > 0xFFFF) return {4};
    if (widest > 0xFF) return {2, 4};
    return {1, 2, 4};
}

// Decodes the first `count` code units of the text (all when negative): the
// bytes in hex, or "bad N" with the offending index.
std::string decoded(const Codec& codec, const std::u32string& text, int unit, DecodeRules rules,
                    int64_t count = -1) {
    Cell cell = test::chars(std::vector<uint32_t>(text.begin(), text.end()), unit);
    int64_t bad = -1;
    Node node = codec.decode(string::head(&cell), count < 0 ? int64_t(text.size()) : count, unit,
                             rules, &bad);
    return node ? hex_of(bytes_of(node)) : "bad " + std::to_string(bad);
}

std::u32string wide(const std::string& ascii) { return std::u32string(ascii.begin(), ascii.end()); }

// Known vectors, encoded and decoded (under both rules) in every unit width.
TEST(BinaryCodec, EncodesAndDecodesKnownVectors) {
    struct Vector {
        const Codec& codec;
        std::string hex, text;
    };
    const Vector vectors[] = {
        // RFC 4648, section 10: "", "f", "fo", "foo", "foob", "fooba", "foobar".
        {BASE16, "", ""},
        {BASE16, "66", "66"},
        {BASE16, "666F", "666F"},
        {BASE16, "666F6F", "666F6F"},
        {BASE16, "666F6F62", "666F6F62"},
        {BASE16, "666F6F6261", "666F6F6261"},
        {BASE16, "666F6F626172", "666F6F626172"},
        {BASE16, "00FFA5", "00FFA5"},
        {BASE64, "", ""},
        {BASE64, "66", "Zg=="},
        {BASE64, "666F", "Zm8="},
        {BASE64, "666F6F", "Zm9v"},
        {BASE64, "666F6F62", "Zm9vYg=="},
        {BASE64, "666F6F6261", "Zm9vYmE="},
        {BASE64, "666F6F626172", "Zm9vYmFy"},
        {BASE64, "FBFF", "+/8="},
        // Bitcoin's vectors, leading zero bytes as "1"s.
        {BASE58, "", ""},
        {BASE58, "61", "2g"},
        {BASE58, "626262", "a3gV"},
        {BASE58, "636363", "aPEr"},
        {BASE58, "73696D706C792061206C6F6E6720737472696E67", "2cFupjhnEsSn59qHXstmK2ffpLv2"},
        {BASE58, "00EB15231DFCEB60925886B67D065299925915AEB172C06647",
         "1NS17iag9jJgTHD1VXjvLCEnZuQ3rJDE9L"},
        {BASE58, "516B6FCD0F", "ABnLTmg"},
        {BASE58, "BF4F89001E670274DD", "3SEo3LWLoPntC"},
        {BASE58, "572E4794", "3EFU7m"},
        {BASE58, "ECAC89CAD93923C02321", "EJDM8drfXA6uyA"},
        {BASE58, "10C8511E", "Rt5zm"},
        {BASE58, "00", "1"},
        {BASE58, "0000", "11"},
        {BASE58, "00000000000000000000", "1111111111"},
        {BASE58, "000000287FB4CD", "111233QC4"},
        {BASE58,
         "000111D38E5FC9071FFCD20B4A763CC9AE4F252BB4E48FD66A835E252ADA93FF480D6DD43DC62A641155A5",
         "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"},
        // Around the steps of the conversion: 58^5, and 2^64 - 1 and 2^64.
        {BASE58, "271F35A0", "211111"},
        {BASE58, "271F359F", "zzzzz"},
        {BASE58, "FFFFFFFFFFFFFFFF", "jpXCZedGfVQ"},
        {BASE58, "010000000000000000", "jpXCZedGfVR"},
        {BASE2, "", ""},
        {BASE2, "0F", "00001111"},
        {BASE2, "A501", "1010010100000001"},
        {BASE2, "FF00", "1111111100000000"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE("base " + std::to_string(v.codec.base) + " " + v.text);
        EXPECT_EQ(encoded(v.codec, from_hex(v.hex)), v.text);
        for (int unit : {1, 2, 4}) {
            EXPECT_EQ(decoded(v.codec, wide(v.text), unit, general), v.hex) << "unit " << unit;
            EXPECT_EQ(decoded(v.codec, wide(v.text), unit, literal), v.hex) << "unit " << unit;
        }
    }
}

// Random bytes of every length from 0 to 1,000, from a fixed seed, encoded
// and decoded again in each base; the unit width of the text turns with the
// length.
TEST(BinaryCodec, RoundTripsRandomBytesOfEveryLength) {
    std::mt19937 random(20);
    const int units[] = {1, 2, 4};
    for (const Codec& codec : CODECS) {
        for (int length = 0; length <= 1000; length++) {
            Bytes bytes(size_t(length), 0);
            for (auto& b : bytes) b = uint8_t(random());
            if (length % 7 == 1)
                std::fill_n(bytes.begin(), length / 3, 0);  // leading zero bytes now and then
            std::string text = encoded(codec, bytes);
            if (codec.base == 58)
                ASSERT_LE(int64_t(text.size()), encoded_capacity(58, length));
            else
                ASSERT_EQ(int64_t(text.size()), encoded_capacity(codec.base, length));
            ASSERT_EQ(decoded(codec, wide(text), units[length % 3], general), hex_of(bytes))
                << "base " << codec.base << " length " << length;
        }
    }
}

struct DecodeCase {
    const Codec& codec;
    std::u32string text;
    DecodeRules rules;
    std::string hex;  // the bytes, or "bad N" with the offending index
};

void expect_decodes(const DecodeCase& c, int64_t count = -1) {
    for (int unit : units_for(c.text))
        EXPECT_EQ(decoded(c.codec, c.text, unit, c.rules, count), c.hex)
            << "base " << c.codec.base << " unit " << unit << " count " << count
            << (c.rules == literal ? " literal" : "");
}

TEST(BinaryCodec, DecodingSkipsBlanksAndComments) {
    const DecodeCase cases[] = {
        {BASE16, U"0f 1\t0\n", general, "0F10"},
        {BASE16,
         U"AB\x01"
         "CD",
         general, "ABCD"},  // anything up to space is blank
        {BASE16,
         U"AB\x01"
         "CD",
         literal, "bad 2"},  // only tab, LF, CR and space are
        {BASE16, U"AB ; note\nCD", literal, "ABCD"},
        {BASE16, U"AB ; to the end", general, "AB"},
        {BASE16, U"AB;CD\n;EF\n12", general, "AB12"},
        {BASE2, U"0000 1111\n1111\t0000", general, "0FF0"},
        {BASE2, U"00001111 ; 2\n", literal, "0F"},
        {BASE58, U" 2g\n", general, "61"},
        {BASE58, U"1\t1 ; zero bytes\n2g", general, "000061"},
        {BASE58, U"a3 ; cut\ngV", general, "626262"},
        {BASE64, U"Zm9v\r\nYmFy", general, "666F6F626172"},
        {BASE64, U"AQ ID\n", literal, "010203"},
        {BASE64, U"AQ'ID", literal, "010203"},
        {BASE64, U"Zm9v ; comment\nYg==", general, "666F6F62"},
        {BASE64, U"Zm9v ; comment reaching the end", literal, "666F6F"},
    };
    for (const DecodeCase& c : cases) expect_decodes(c);
}

TEST(BinaryCodec, DecodingFailsOutsideTheAlphabet) {
    const DecodeCase cases[] = {
        {BASE16, U"AG", general, "bad 1"},
        {BASE16, U"0x10", general, "bad 1"},
        // A code unit above 127 fails, though its low 7 bits are a digit.
        {BASE16, U"\u00C1\u00C2", general, "bad 0"},
        {BASE16, U"A\u00B1", general, "bad 1"},
        {BASE16, U"AB\u0141", literal, "bad 2"},
        {BASE16, U"AB\U00010041", general, "bad 2"},
        {BASE2, U"00001111 2", literal, "bad 9"},
        {BASE2, U"0000111\u00B0", general, "bad 7"},
        {BASE58, U"0", general, "bad 0"},
        {BASE58, U"2gO", general, "bad 2"},
        {BASE58, U"I", general, "bad 0"},
        {BASE58, U"l", general, "bad 0"},
        {BASE58, U"2g+", general, "bad 2"},
        // The text ends at a code unit above 127.
        {BASE58, U"2g\u00E9zz", general, "61"},
        {BASE58, U"2g\u0141", general, "61"},
        {BASE64, U"AQ*D", general, "bad 2"},
        {BASE64, U"AQ-_", general, "bad 2"},       // the URL alphabet is not this one
        {BASE64, U"AQ\u00C9D", general, "bad 2"},  // a code unit above 127 is not skipped
        {BASE64, U"AQI\U0001F600", literal, "bad 3"},
    };
    for (const DecodeCase& c : cases) expect_decodes(c);
}

TEST(BinaryCodec, DecodingHandlesIncompleteGroupsAndPadding) {
    const DecodeCase cases[] = {
        {BASE16, U"", general, ""},
        {BASE16, U"ABC", general, "AB"},  // a digit without its pair is dropped
        {BASE16, U"ABC", literal, "bad 2"},
        {BASE2, U"0000111", general, "bad 0"},  // 7 bits
        {BASE2, U"00001111 0000111", general, "bad 9"},
        {BASE58, U"", general, ""},
        {BASE58, U"111", general, "000000"},
        {BASE64, U"AQID", general, "010203"},
        {BASE64, U"AQI", general, ""},  // leftover digits are dropped
        {BASE64, U"AQIDBA", general, "010203"},
        {BASE64, U"AQI", literal, "bad 3"},
        {BASE64, U"A===", literal, "bad 1"},
        {BASE64, U"A===", general, "bad 1"},
        {BASE64, U"=AAA", general, "bad 0"},
        {BASE64, U"AQ==AQ", literal, "bad 4"},  // nothing after the padding
        // The character after "=" goes with it, and one more after two digits.
        {BASE64, U"AQI=AQID", general, "0102"},
        {BASE64, U"AQI=AAQID", general, "0102010203"},
        {BASE64, U"AQ==AQID", general, "01"},
        {BASE64, U"AQ==AAQID", general, "01010203"},
        {BASE64, U"AQ=", general, "01"},
        {BASE64, U"AQ=", literal, "bad 2"},
    };
    for (const DecodeCase& c : cases) expect_decodes(c);
}

// Text handed over with a count shorter than the string: nothing after the
// count is read, whatever stands there.
TEST(BinaryCodec, DecodingStopsAtTheCount) {
    const struct {
        DecodeCase c;
        int64_t count;
    } cases[] = {
        {{BASE64, U"AQ==", literal, "bad 2"}, 3},  // the second "=" lies past the count
        {{BASE64, U"AQ==", general, "01"}, 3},
        {{BASE64, U"AQI=AQID", general, "0102"}, 4},
        {{BASE64, U"AQ==@@@@", general, "01"}, 4},
        {{BASE64, U"AQIDBAU=", general, "010203"}, 6},  // the leftover digits are dropped
        {{BASE64, U"AQIDBAU=", literal, "bad 6"}, 6},   // or missing their padding
        {{BASE16, U"ABCD", general, "AB"}, 3},
        {{BASE16, U"AB;CD", literal, "AB"}, 3},
        {{BASE2, U"000011110", general, "0F"}, 8},
        {{BASE58, U"2gX", general, "61"}, 2},
        {{BASE58, U"11O", general, "0000"}, 2},
    };
    for (const auto& c : cases) expect_decodes(c.c, c.count);
}

}  // namespace
}  // namespace zel::binary
