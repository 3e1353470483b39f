// Checksums, digests, HMAC, secure random bytes and the checksum native.
//
// CRC-32, Adler-32 and the internet checksum are our own code; the digests
// come from libcrypto (opened at the first digest), whose every answer is
// checked, so that a failure is an error and never an uninitialised buffer
// passed off as a digest.
#include "os/checksum.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "os/dynamic_library.h"
#include "os/file.h"
#include "scalars/integer.h"
#include "scalars/random.h"
#include "series/binary.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::checksum {

namespace {

// The nine method words' canonical symbols, in this order.
const char* const METHOD_NAMES[] = {"tcp", "crc32", "md5", "sha1", "sha256", "sha384", "sha512", "adler32", "hash"};
const int METHOD_CODES[] = {TCP, CRC32, MD5, SHA1, SHA256, SHA384, SHA512, ADLER32_WORD, HASH_WORD};
uint32_t g_method_symbols[9];

// The functions of libcrypto used here. The library is opened at the first
// digest, not linked: linking it costs every start-up its symbol binding.
struct Crypto {
    int (*digest)(const void* data, size_t count, unsigned char* md, unsigned int* size, const EVP_MD* type,
                  ENGINE* engine);
    const EVP_MD* (*algorithms[5])();  // md5, sha1, sha256, sha384, sha512
};

using dynamic_library::find;

bool fill_crypto(void* library, Crypto& crypto) {
    const char* names[5] = {"EVP_md5", "EVP_sha1", "EVP_sha256", "EVP_sha384", "EVP_sha512"};
    bool all = find(library, "EVP_Digest", crypto.digest);
    for (int i = 0; i < 5; i++) all = all && find(library, names[i], crypto.algorithms[i]);
    return all;
}

const Crypto* crypto_library() { return dynamic_library::open_once<Crypto>(ZEL_CRYPTO_SONAME, fill_crypto); }

[[noreturn]] void not_here(int method) {
    Cell name = word::load(method >= MD5 && method <= SHA512 ? METHOD_NAMES[method] : "checksum");
    fire(ERR_internal_not_here, &name);
}

// ---- The native -------------------------------------------------------------------------------

// The data as bytes: a file! read whole, a string as UTF-8, a binary! from
// its position.
std::string bytes_of(Cell* data) {
    switch (type_of(data)) {
        case TYPE_BINARY:
            return std::string(reinterpret_cast<const char*>(binary::head(data)), size_t(binary::length_q(data)));
        case TYPE_FILE: {
            Cell file = *data, content{};
            gc::root keep_file(&file), keep_content(&content);
            simple_io::read(&file, nullptr, nullptr, true, false, &content);
            return std::string(reinterpret_cast<const char*>(binary::head(&content)),
                               size_t(binary::length_q(&content)));
        }
        case TYPE_STRING: {
            int limit = -1;
            const char* utf8 = unicode::to_utf8(data, limit);
            return std::string(utf8, size_t(limit));
        }
        default: fire(ERR_script_invalid_arg, data);
    }
}

void box_bytes(Cell* result, const std::vector<uint8_t>& bytes) {
    Cell out{};
    gc::root keep(&out);
    binary::make_at(&out, int64_t(bytes.size()));
    binary::append_bytes(&out, bytes.data(), int64_t(bytes.size()));
    *result = out;
}

// The notice the hash method gives; its answer is 0.
void hash_not_implemented() {
    const char notice[] = "** /hash support not yet implemented; algorithm TBD.";
    platform::print_latin1_line(notice, sizeof notice - 1);
}

// checksum data method /with spec.
natives::Exit checksum_native(bool, const int32_t* r) {
    Cell* data = natives::arg(0);
    Cell method_word = *natives::arg(1);
    const Cell* spec = natives::refinement_arg(r, 0);
    int method = method_of(&method_word);
    if (method == UNKNOWN) fire(ERR_script_invalid_arg, &method_word);
    std::string bytes = bytes_of(data);
    auto p = reinterpret_cast<const uint8_t*>(bytes.data());
    Cell with_word = word::load("with");
    if (method == CRC32 || method == TCP || method == ADLER32_WORD) {
        if (spec) fire(ERR_script_invalid_refine_arg, &with_word, spec);
        int32_t sum = method == CRC32 ? crc32(p, bytes.size()) : method == TCP ? tcp(p, bytes.size()) : adler32(p, bytes.size());
        integer::make_at(data, sum);
        return natives::Exit{};
    }
    if (!spec) {
        if (method == HASH_WORD) fire(ERR_script_invalid_arg, &method_word);
        box_bytes(data, digest(p, bytes.size(), method));
        return natives::Exit{};
    }
    int spec_type = type_of(spec);
    if (spec_type == TYPE_INTEGER) {
        hash_not_implemented();
        integer::make_at(data, 0);
        return natives::Exit{};
    }
    if (method == HASH_WORD) fire(ERR_script_invalid_refine_arg, &with_word, spec);
    // A key of any string type is its UTF-8 text (a file! key is a name, not
    // a file to read); a binary! key its bytes.
    Cell key_cell = *spec;
    std::string key;
    if (spec_type == TYPE_BINARY) {
        key = bytes_of(&key_cell);
    } else {
        int limit = -1;
        const char* utf8 = unicode::to_utf8(&key_cell, limit);
        key.assign(utf8, size_t(limit));
    }
    box_bytes(data, hmac(p, bytes.size(), reinterpret_cast<const uint8_t*>(key.data()), key.size(), method));
    return natives::Exit{};
}

}  // namespace

void init() {
    for (int i = 0; i < 9; i++) g_method_symbols[i] = symbol::resolve(symbol::make(METHOD_NAMES[i]));
    natives::set(natives::Native::checksum, checksum_native);
}

int method_of(const Cell* word) {
    uint32_t s = symbol::resolve(word->data2);
    for (int i = 0; i < 9; i++)
        if (g_method_symbols[i] == s) return METHOD_CODES[i];
    return UNKNOWN;
}

int digest_size(int method) {
    switch (method) {
        case MD5: return 16;
        case SHA1: return 20;
        case SHA256: return 32;
        case SHA384: return 48;
        case SHA512: return 64;
        default: return 0;
    }
}

// The reflected CRC of zlib (polynomial 0xEDB88320), eight bytes a step
// ("slicing by eight": table k gives the CRC of a byte followed by k zero
// bytes); the tables are made on first use.
int32_t crc32(const uint8_t* p, size_t n) {
    static uint32_t table[8][256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; i++)
            for (int k = 1; k < 8; k++) table[k][i] = table[0][table[k - 1][i] & 0xFF] ^ (table[k - 1][i] >> 8);
        made = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (; n >= 8; n -= 8, p += 8) {
        uint32_t low = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        crc = table[7][low & 0xFF] ^ table[6][low >> 8 & 0xFF] ^ table[5][low >> 16 & 0xFF] ^ table[4][low >> 24] ^
              table[3][p[4]] ^ table[2][p[5]] ^ table[1][p[6]] ^ table[0][p[7]];
    }
    for (; n > 0; n--) crc = table[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return int32_t(~crc);
}

// The sum is kept in 64 bits and folded until it fits 16: a 32-bit sum
// would wrap past 128 KB of data and lose the carries RFC 1071 adds back.
int32_t tcp(const uint8_t* p, size_t n) {
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < n; i += 2) sum += uint32_t(p[i]) << 8 | p[i + 1];
    if (i < n) sum += uint32_t(p[i]) << 8;
    while (sum >> 16) sum = (sum >> 16) + (sum & 0xFFFF);
    return int32_t(~sum & 0xFFFF);
}

// Chunks of at most 3,854 bytes: the longest run after which b, reduced
// before it, still fits a signed 32-bit sum.
int32_t adler32(const uint8_t* p, size_t n) {
    constexpr uint32_t MOD = 65521;
    constexpr size_t CHUNK = 3854;
    uint32_t a = 1, b = 0;
    while (n > 0) {
        size_t k = std::min(n, CHUNK);
        n -= k;
        for (; k >= 16; k -= 16, p += 16)
            for (int j = 0; j < 16; j++) {
                a += p[j];
                b += a;
            }
        for (; k > 0; k--) {
            a += *p++;
            b += a;
        }
        a %= MOD;
        b %= MOD;
    }
    return int32_t(b << 16 | a);
}

std::vector<uint8_t> digest(const uint8_t* p, size_t n, int method) {
    if (method < MD5 || method > SHA512) {
        Cell number{};
        integer::make_at(&number, method);
        fire(ERR_script_invalid_arg, &number);
    }
    const Crypto* crypto = crypto_library();
    const EVP_MD* md = crypto ? crypto->algorithms[method - MD5]() : nullptr;
    if (!md) not_here(method);
    std::vector<uint8_t> out(size_t(digest_size(method)));
    unsigned int written = 0;
    if (crypto->digest(p, n, out.data(), &written, md, nullptr) != 1 || written != out.size()) not_here(method);
    return out;
}

std::vector<uint8_t> hmac(const uint8_t* data, size_t n, const uint8_t* key, size_t key_n, int method) {
    size_t block = method == SHA384 || method == SHA512 ? 128 : 64;
    std::vector<uint8_t> hashed_key;
    if (key_n > block) {
        hashed_key = digest(key, key_n, method);
        key = hashed_key.data();
        key_n = hashed_key.size();
    }
    std::vector<uint8_t> inner(block, 0), outer(block, 0);
    std::memcpy(inner.data(), key, key_n);
    std::memcpy(outer.data(), key, key_n);
    for (size_t i = 0; i < block; i++) {
        inner[i] ^= 0x36;
        outer[i] ^= 0x5C;
    }
    inner.insert(inner.end(), data, data + n);
    std::vector<uint8_t> inner_digest = digest(inner.data(), inner.size(), method);
    outer.insert(outer.end(), inner_digest.begin(), inner_digest.end());
    return digest(outer.data(), outer.size(), method);
}

void random_bytes(uint8_t* buffer, size_t n) {
    if (!random::secure_bytes(buffer, n)) {
        Cell name = word::load("random");
        fire(ERR_internal_not_here, &name);
    }
}

}  // namespace zel::checksum
