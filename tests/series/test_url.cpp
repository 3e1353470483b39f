// url! percent-encoding: the two character classes, encode into bytes and
// decode back into characters.
#include <string>

#include "series/binary.h"
#include "series/file.h"
#include "series/string.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

std::string encoded(const char* utf8, int mode) {
    Cell source = text(utf8), out;
    url::encode(&source, &out, mode);
    return std::string(reinterpret_cast<const char*>(binary::head(&out)), size_t(binary::length_q(&out)));
}

std::string decoded(const char* utf8) {
    Cell source = text(utf8), out;
    url::decode(&source, &out);
    return utf8_of(out);
}

}  // namespace

TEST(UrlClasses, KeepLettersDigitsAndTheirOwnMarks) {
    const std::string url_marks = "!#$&'()*+,-./:=?@_~";
    const std::string component_marks = "-._~";
    for (uint32_t cp = 0; cp < 128; cp++) {
        bool alnum = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
        char c = char(cp);
        EXPECT_EQ(url::kept_q(cp), alnum || (cp && url_marks.find(c) != std::string::npos)) << cp;
        EXPECT_EQ(url::kept_q(cp, url::COMPONENT), alnum || (cp && component_marks.find(c) != std::string::npos))
            << cp;
    }
    for (uint32_t cp : {128u, 0xE9u, 0x20ACu}) {
        EXPECT_FALSE(url::kept_q(cp));
        EXPECT_FALSE(url::kept_q(cp, url::COMPONENT));
    }
}

struct EncodeCase {
    const char* source;
    int mode;
    const char* expected;
};

TEST(UrlEncode, EscapesWhatTheClassDoesNotKeep) {
    const EncodeCase cases[] = {
        {"a/b c", 0, "a/b%20c"},
        {"a/b c", url::COMPONENT, "a%2Fb%20c"},
        {"x?y=1&z#f", 0, "x?y=1&z#f"},
        {"x?y=1&z#f", url::COMPONENT, "x%3Fy%3D1%26z%23f"},
        {"\"%;<>[\\]^`{|}", 0, "%22%25%3B%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
        {"\x7f\t\n", 0, "%7F%09%0A"},
        {"caf\xC3\xA9", 0, "caf%C3%A9"},
        {"\xE2\x82\xAC", url::COMPONENT, "%E2%82%AC"},
        {"A-Z_a.z~0", url::COMPONENT, "A-Z_a.z~0"},
        {"", 0, ""},
        {"/", 1, "/"},  // any mode but the component's is the URL class
    };
    for (const auto& c : cases) EXPECT_EQ(encoded(c.source, c.mode), c.expected) << c.source << " " << c.mode;
}

TEST(UrlDecode, DecodesWholeSequencesAndKeepsWhatIsNotAnEscape) {
    const std::pair<const char*, const char*> cases[] = {
        {"%C3%A9", "\xC3\xA9"},
        {"%c3%a9", "\xC3\xA9"},
        {"%C3", "%C3"},                // a lone lead byte
        {"%C3x", "%C3x"},
        {"%41", "A"},
        {"%4", "%4"},
        {"%", "%"},
        {"%zz%", "%zz%"},
        {"a%20b", "a b"},
        {"%E2%82%AC!", "\xE2\x82\xAC!"},
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"%E2%82", "%E2\xC2\x82"},     // cut short: the lead kept, the continuation byte its own character
        {"caf\xC3\xA9%21", "caf\xC3\xA9!"},
        {"", ""},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(decoded(source), expected) << source;
}

TEST(UrlDecode, MalformedUtf8InsideEscapesIsAnError) {
    for (const char* source : {"%C3%28", "%C3%41", "%E2%28%A1", "%F8%80%80%80", "%C0%80", "%ED%A0%80"})
        EXPECT_EQ(error_of([&] { decoded(source); }), "access/invalid-utf8") << source;
}

TEST(UrlDecode, UndoesEncodeInBothClasses) {
    for (const char* source : {"a b/c?d=\xC3\xA9&\xE2\x82\xAC", "%%41 \"^", "\xF0\x9F\x98\x80/(x)"})
        for (int mode : {0, url::COMPONENT}) {
            std::string escaped = encoded(source, mode);
            EXPECT_EQ(decoded(escaped.c_str()), source) << source << " " << mode;
        }
}
