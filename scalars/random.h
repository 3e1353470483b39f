// The random generator: one stream for `random`, shuffling and `random/only`,
// and the secure source for /secure. init also fixes the seed every hash
// table's hashing uses, once, before any table exists.
//
// The stream is a 624-word twisted feedback shift register with the
// Mersenne Twister's constants and tempering, computed on signed 32-bit
// words with arithmetic right shifts, so every output is a non-negative
// 31-bit number and a seed gives the same sequence on every run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::random {

// The seed the stream starts from, and takes again at init.
constexpr int32_t INITIAL_SEED = 19650218;

void init();
// Resets the stream: the next 624 outputs are the seeded words tempered, the
// first of them the tempered seed itself.
void seed(uint32_t value);
int32_t next();          // non-negative, 31 bits
int32_t secure_next();   // non-negative, 31 bits, from the OS
// Fills the buffer from the system's secure source (getrandom, resumed
// after signals and short reads); false when the system refuses.
bool secure_bytes(uint8_t* buffer, size_t n);
// Uniform in 1 .. n for n > 0 and in n .. -1 for n < 0; 0 for 0: `uniform`
// drawing from secure_next when secure, else from next.
int32_t int_(bool secure, int32_t n);
// The uniform integer for n made of draws from any 31-bit source: below
// the largest multiple of |n| a draw is kept, above it drawn again; for
// -2147483648 one draw r gives -1 - r.
int32_t uniform(int32_t n, int32_t (*draw)());
uint32_t hash_seed();

}  // namespace zel::random
