// Checksums and digests: CRC-32 (gzip), Adler-32 (zlib), the internet
// checksum, the MD5 and SHA digests and their HMAC (through libcrypto), and
// secure random bytes. Also the `checksum` native, which turns its data into
// bytes, picks the method and boxes the result.
//
// Relies on: libcrypto (EVP digests), the secure source of the random
// generator, the natives table, the file reading of simple-io (checksum of a
// file!).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/cell.h"

namespace zel::checksum {

// Method numbers; adler32 and hash have none.
enum Method : int { TCP = 0, CRC32 = 1, MD5 = 2, SHA1 = 3, SHA256 = 4, SHA384 = 5, SHA512 = 6, NO_NUMBER = -1 };

// The method words, made once (case-insensitive, by canonical symbol), and
// the native's entry.
void init();

// The method a word names: its number, ADLER32_WORD or HASH_WORD for the
// two without one; UNKNOWN for any other word.
constexpr int ADLER32_WORD = 100, HASH_WORD = 101, UNKNOWN = -2;
int method_of(const Cell* word);

// 16, 20, 32, 48, 64 for methods 2-6; 0 for the others.
int digest_size(int method);

// As signed 32-bit integers, the way scripts see them.
int32_t crc32(const uint8_t* p, size_t n);
int32_t tcp(const uint8_t* p, size_t n);
int32_t adler32(const uint8_t* p, size_t n);

// The digest of methods 2-6; raises internal not-here when libcrypto fails,
// script invalid-arg for another method.
std::vector<uint8_t> digest(const uint8_t* p, size_t n, int method);
// HMAC (RFC 2104) over the digest of methods 2-6.
std::vector<uint8_t> hmac(const uint8_t* data, size_t n, const uint8_t* key, size_t key_n, int method);

// Fills the buffer from the system's secure source (getrandom, retried on
// EINTR and short reads); raises internal not-here when it fails.
void random_bytes(uint8_t* buffer, size_t n);

}  // namespace zel::checksum
