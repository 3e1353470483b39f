// Random generator: the 624-word stream on signed words, the uniform draw
// with rejection, and the secure source from getrandom.
//
// Every right shift here is arithmetic (the words are signed), which is what
// makes the tempered output lose its top bit: the last tempering step XORs
// the word with itself shifted by 18, sign bit included. The first and last
// tempering steps each fold the sign bit into others, so the outputs cover
// 2^30 of the 2^31 values (2147483647 is not among them); only /secure can
// answer -2147483648 for `random -2147483648`.
#include "scalars/random.h"

#include <sys/random.h>
#include <time.h>

#include <array>
#include <cerrno>

#include "foundation/raise.h"

namespace zel::random {

namespace {

constexpr int WORDS = 624;
constexpr int MIDDLE = 397;
constexpr uint32_t MULTIPLIER = 1812433253u;
constexpr uint32_t TWIST_MATRIX = 0x9908B0DFu;
constexpr uint32_t TEMPER_B = 0x9D2C5680u;
constexpr uint32_t TEMPER_C = 0xEFC60000u;

struct State {
    std::array<int32_t, WORDS> words{};
    int index = 0;
};

// Left shifts and products on the unsigned pattern wrap; right shifts on the
// signed word copy the sign bit in.
constexpr State seeded(uint32_t s) {
    State st;
    st.words[0] = int32_t(s);
    for (int i = 1; i < WORDS; i++) {
        int32_t prev = st.words[size_t(i - 1)];
        st.words[size_t(i)] = int32_t(MULTIPLIER * uint32_t(prev ^ (prev >> 30)) + uint32_t(i));
    }
    st.index = 0;
    return st;
}

// Seeded before anything runs, so a draw made before init (a unit test) is
// already the start-up stream.
constinit State g_state = seeded(uint32_t(INITIAL_SEED));
uint32_t g_hash_seed = 0;

void twist() {
    auto& w = g_state.words;
    for (int i = 0; i < WORDS; i++) {
        int32_t y = int32_t((uint32_t(w[size_t(i)]) & 0x80000000u) |
                            (uint32_t(w[size_t((i + 1) % WORDS)]) & 0x7FFFFFFFu));
        uint32_t mixed = uint32_t(w[size_t((i + MIDDLE) % WORDS)]) ^ uint32_t(y >> 1);
        if (y & 1) mixed ^= TWIST_MATRIX;
        w[size_t(i)] = int32_t(mixed);
    }
    g_state.index = 0;
}

int32_t temper(int32_t y) {
    y ^= y >> 11;
    y ^= int32_t((uint32_t(y) << 7) & TEMPER_B);
    y ^= int32_t((uint32_t(y) << 15) & TEMPER_C);
    y ^= y >> 18;
    return y;
}

// The clock mixed down to 32 bits: hash tables of one run share it, runs
// do not.
uint32_t clock_seed() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    uint64_t z = uint64_t(ts.tv_sec) * 1000000007ull ^ uint64_t(ts.tv_nsec);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint32_t(z ^ (z >> 31));
}

}  // namespace

void init() {
    seed(uint32_t(INITIAL_SEED));
    g_hash_seed = clock_seed();
}

void seed(uint32_t value) { g_state = seeded(value); }

int32_t next() {
    if (g_state.index >= WORDS) twist();
    return temper(g_state.words[size_t(g_state.index++)]);
}

// Four bytes at once or none: an interrupted or short read starts over.
bool secure_bytes(uint8_t* buffer, size_t n) {
    while (n > 0) {
        ssize_t got = getrandom(buffer, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buffer += got;
        n -= size_t(got);
    }
    return true;
}

int32_t secure_next() {
    uint32_t v = 0;
    if (!secure_bytes(reinterpret_cast<uint8_t*>(&v), sizeof v)) fire(ERR_internal_feature_na);
    return int32_t(v & 0x7FFFFFFFu);
}

int32_t int_(bool secure, int32_t n) { return uniform(n, secure ? secure_next : next); }

int32_t uniform(int32_t n, int32_t (*draw)()) {
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
