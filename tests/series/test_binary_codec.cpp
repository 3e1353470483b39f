// The base-2, base-16 and base-64 decoders, with the lenient rules of
// `debase` and the strict rules of binary literals.
#include <gtest/gtest.h>

#include <string>

#include "series/binary.h"
#include "series/binary_codec.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

namespace zel::binary {
namespace {

using Decoder = Node (*)(const uint8_t*, int64_t, int, DecodeRules, int64_t*);

struct Case {
    Decoder decode;
    std::string text;
    DecodeRules rules;
    std::string hex;  // the bytes, or "bad N" with the offending index
};

std::string hex_of(Node node) {
    Cell bin;
    bin.header = 0;
    make_over(&bin, node);
    std::string out;
    for (int64_t i = 0; i < length_q(&bin); i++) out += string::byte_to_hex(head(&bin)[i]);
    return out;
}

std::string decoded(const Case& c, int unit) {
    std::vector<uint32_t> cps(c.text.begin(), c.text.end());
    for (auto& cp : cps) cp &= 0xFF;
    Cell text = test::chars(cps, unit);
    int64_t bad = -1;
    Node node = c.decode(string::head(&text), int64_t(cps.size()), unit, c.rules, &bad);
    return node ? hex_of(node) : "bad " + std::to_string(bad);
}

TEST(BinaryCodec, DecodesEveryBaseInEveryUnitWidth) {
    const DecodeRules general = DecodeRules::general, literal = DecodeRules::literal;
    const Case cases[] = {
        {decode_base16, "0F10", general, "0F10"},
        {decode_base16, "0f 1\t0\n", general, "0F10"},
        {decode_base16, "", general, ""},
        {decode_base16, "ABC", general, "AB"},  // a digit without its pair is dropped
        {decode_base16, "ABC", literal, "bad 2"},
        {decode_base16, "AB\x01" "CD", general, "ABCD"},  // anything up to space is blank
        {decode_base16, "AB\x01" "CD", literal, "bad 2"},
        {decode_base16, "AB ; note\nCD", literal, "ABCD"},
        {decode_base16, "AB ; to the end", literal, "AB"},
        {decode_base16, "AG", general, "bad 1"},
        {decode_base2, "00001111 11110000", general, "0FF0"},
        {decode_base2, "0000111", general, "bad 0"},
        {decode_base2, "00001111 2", literal, "bad 9"},
        {decode_base64, "AQID", general, "010203"},
        {decode_base64, "AQ ID\n", literal, "010203"},
        {decode_base64, "AQI=", literal, "0102"},
        {decode_base64, "AQ==", literal, "01"},
        {decode_base64, "AQ==AQ", literal, "bad 4"},  // nothing after the padding
        {decode_base64, "AQI", general, ""},  // leftover digits are dropped
        {decode_base64, "AQI", literal, "bad 3"},
        {decode_base64, "A===", literal, "bad 1"},
        {decode_base64, "AQ*D", general, "bad 2"},
    };
    for (const Case& c : cases) {
        for (int unit : {1, 2, 4}) EXPECT_EQ(decoded(c, unit), c.hex) << c.text << " unit " << unit;
    }
}

}  // namespace
}  // namespace zel::binary
