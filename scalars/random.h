// The random generator: one stream for `random`, shuffling and `random/only`,
// and the secure source for /secure. init also fixes the seed every hash
// table's hashing uses, once, before any table exists.
#pragma once

#include <cstdint>

namespace zel::random {

void init();
void seed(uint32_t value);
int32_t next();          // non-negative, 31 bits
int32_t secure_next();   // non-negative, 31 bits, from the OS
// Uniform in 1 .. n for n > 0 and in n .. -1 for n < 0; 0 for 0.
int32_t int_(bool secure, int32_t n);
uint32_t hash_seed();

}  // namespace zel::random
