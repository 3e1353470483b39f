// Random generator: a 64-bit state stepped by splitmix64, the secure source
// from getrandom.
#include "scalars/random.h"

#include <sys/random.h>
#include <time.h>

namespace zel::random {

namespace {
uint64_t g_state = 0x9E3779B97F4A7C15ull;
uint32_t g_hash_seed = 0;

uint64_t step() {
    uint64_t z = (g_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}  // namespace

void init() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    g_state = uint64_t(ts.tv_sec) * 1000000007ull ^ uint64_t(ts.tv_nsec);
    g_hash_seed = uint32_t(step());
}

void seed(uint32_t value) { g_state = value; }

int32_t next() { return int32_t(step() >> 33); }

int32_t secure_next() {
    uint32_t v = 0;
    while (getrandom(&v, sizeof v, 0) != sizeof v) {
    }
    return int32_t(v >> 1);
}

int32_t int_(bool secure, int32_t n) {
    auto draw = [secure] { return secure ? secure_next() : next(); };
    if (n == 0) return 0;
    // Every 31-bit draw is one of the 2^31 answers.
    if (n == INT32_MIN) return -1 - draw();
    int32_t m = n < 0 ? -n : n;
    // Rejection keeps the draw uniform.
    int32_t limit = INT32_MAX / m * m;
    int32_t r;
    do {
        r = draw();
    } while (r >= limit);
    int32_t k = r % m + 1;
    return n < 0 ? -k : k;
}

uint32_t hash_seed() { return g_hash_seed; }

}  // namespace zel::random
