// Sorting: the stable merge sort and the adaptive quick sort over inputs of
// many shapes and sizes, stability, comparison counts on presorted input,
// pass-through options, nested sorts, and comparisons that throw.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "foundation/memory.h"
#include "series/sorting.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using zel::test::error_of;

namespace {

// A record: the key sorted on and its position in the input, which shows
// whether equal keys kept their order.
struct Rec {
    int32_t key;
    int32_t seq;
};

// What the comparison sees through its second option.
struct Probe {
    long comparisons = 0;
    long throw_after = -1;  // throw on this comparison (counted from 0)
};

struct Boom {};

// Option 1 is the direction (1 ascending, -1 descending); option 2 a Probe.
int by_key(const void* a, const void* b, intptr_t direction, intptr_t probe_address) {
    auto* probe = reinterpret_cast<Probe*>(probe_address);
    if (probe) {
        if (probe->comparisons == probe->throw_after) throw Boom{};
        probe->comparisons++;
    }
    int32_t x = static_cast<const Rec*>(a)->key, y = static_cast<const Rec*>(b)->key;
    return int(direction) * ((x > y) - (x < y));
}

using Sorter = void (*)(std::vector<Rec>& v, intptr_t direction, Probe* probe);

void merge(std::vector<Rec>& v, intptr_t direction, Probe* probe) {
    int32_t n = int32_t(v.size());
    EXPECT_EQ(sorting::merge_sort(v.data(), n, sizeof(Rec), direction, intptr_t(probe), by_key), n);
}

void quick(std::vector<Rec>& v, intptr_t direction, Probe* probe) {
    sorting::quick_sort(v.data(), int32_t(v.size()), sizeof(Rec), direction, intptr_t(probe),
                        by_key);
}

std::vector<Rec> numbered(const std::vector<int32_t>& keys) {
    std::vector<Rec> v;
    for (size_t i = 0; i < keys.size(); i++) v.push_back({keys[i], int32_t(i)});
    return v;
}

// Shapes of input, by size.
struct Shape {
    const char* name;
    std::vector<int32_t> (*make)(int n);
};

const Shape SHAPES[] = {
    {"ascending", [](int n) {
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = i;
         return k;
     }},
    {"descending", [](int n) {
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = n - i;
         return k;
     }},
    {"all equal", [](int n) { return std::vector<int32_t>(n, 7); }},
    {"few distinct keys", [](int n) {
         std::mt19937 g(1);
         std::vector<int32_t> k(n);
         for (auto& x : k) x = int32_t(g() % 4);
         return k;
     }},
    {"random", [](int n) {
         std::mt19937 g(2);
         std::vector<int32_t> k(n);
         for (auto& x : k) x = int32_t(g() % 100000);
         return k;
     }},
    {"alternating runs up and down", [](int n) {
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = (i / 30) % 2 ? 1000 - i % 30 : i % 30;
         return k;
     }},
    {"sawtooth", [](int n) {
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = i % 37;
         return k;
     }},
    {"ascending with one percent swapped", [](int n) {
         std::mt19937 g(3);
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = i;
         for (int i = 0; i < n / 100; i++) std::swap(k[g() % n], k[g() % n]);
         return k;
     }},
    {"descending with a tail of noise", [](int n) {
         std::mt19937 g(4);
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = i < n * 9 / 10 ? n - i : int32_t(g() % n);
         return k;
     }},
    {"organ pipe", [](int n) {
         std::vector<int32_t> k(n);
         for (int i = 0; i < n; i++) k[i] = std::min(i, n - i);
         return k;
     }},
};

// Around the thresholds: insertion ranges (7), minimum runs (24), the
// first segment (63), the small range (511) and the presortedness score (512).
const int SIZES[] = {0, 1, 2, 3, 7, 8, 9, 23, 24, 25, 48, 63, 64, 65, 97, 200,
                     511, 512, 513, 1000, 1025, 4099, 20000};

void expect_sorted_permutation(const std::vector<Rec>& in, const std::vector<Rec>& out, bool stable,
                               const std::string& what) {
    ASSERT_EQ(in.size(), out.size()) << what;
    std::vector<Rec> expected = in;
    std::stable_sort(expected.begin(), expected.end(), [](Rec a, Rec b) { return a.key < b.key; });
    for (size_t i = 0; i < out.size(); i++) {
        ASSERT_EQ(out[i].key, expected[i].key) << what << " at " << i;
        if (stable) {
            ASSERT_EQ(out[i].seq, expected[i].seq) << what << " (stability) at " << i;
        }
    }
    if (!stable) {
        std::vector<int32_t> seqs;
        for (const Rec& r : out) seqs.push_back(r.seq);
        std::sort(seqs.begin(), seqs.end());
        for (size_t i = 0; i < seqs.size(); i++) ASSERT_EQ(seqs[i], int32_t(i)) << what;
    }
}

}  // namespace

TEST(Sorting, EveryShapeAndSizeSortsAndMergeSortIsStable) {
    const struct {
        const char* name;
        Sorter sort;
        bool stable;
    } sorters[] = {{"merge sort", merge, true}, {"quick sort", quick, false}};
    for (const auto& s : sorters)
        for (const Shape& shape : SHAPES)
            for (int n : SIZES) {
                std::vector<Rec> in = numbered(shape.make(n)), out = in;
                s.sort(out, 1, nullptr);
                expect_sorted_permutation(in, out, s.stable,
                                          std::string(s.name) + ", " + shape.name + ", n=" +
                                              std::to_string(n));
            }
}

TEST(Sorting, OptionsArePassedThrough) {
    for (Sorter sort : {merge, quick}) {
        std::vector<Rec> v = numbered({3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5});
        Probe probe;
        sort(v, -1, &probe);
        EXPECT_GT(probe.comparisons, 0);
        for (size_t i = 1; i < v.size(); i++) EXPECT_GE(v[i - 1].key, v[i].key);
    }
}

TEST(Sorting, NothingIsComparedBelowTwoRecords) {
    for (Sorter sort : {merge, quick})
        for (int n : {0, 1}) {
            std::vector<Rec> v = numbered(std::vector<int32_t>(n, 5));
            Probe probe;
            sort(v, 1, &probe);
            EXPECT_EQ(probe.comparisons, 0) << n;
        }
}

TEST(Sorting, PresortedInputCostsAboutOneComparisonPerRecord) {
    const struct {
        const char* what;
        Sorter sort;
        int n;
        bool descending;
    } cases[] = {
        {"merge sort reverses a descending input in one run", merge, 10000, true},
        {"merge sort of an ordered input", merge, 10000, false},
        {"quick sort of an ordered input", quick, 100000, false},
        {"quick sort of a reversed input", quick, 100000, true},
    };
    for (const auto& c : cases) {
        std::vector<int32_t> keys(c.n);
        for (int i = 0; i < c.n; i++) keys[i] = c.descending ? c.n - i : i;
        std::vector<Rec> v = numbered(keys);
        Probe probe;
        c.sort(v, 1, &probe);
        EXPECT_LE(probe.comparisons, c.n + c.n / 50) << c.what;
        for (int i = 0; i < c.n; i++) ASSERT_EQ(v[i].key, c.descending ? i + 1 : i) << c.what;
    }
}

// Each sort keeps its comparison in its own record: a comparison that sorts
// something else on the way does not disturb the sort that called it.
namespace {
int nested_by_key(const void* a, const void* b, intptr_t sorter, intptr_t) {
    std::vector<Rec> inner = numbered({5, 3, 8, 1, 9, 2, 7, 4, 6, 0, 11, 10});
    reinterpret_cast<Sorter>(sorter)(inner, -1, nullptr);
    if (inner.front().key != 11 || inner.back().key != 0) throw Boom{};
    return by_key(a, b, 1, 0);
}
}  // namespace

TEST(Sorting, SortsNestInsideComparisons) {
    for (Sorter sort : {merge, quick}) {
        std::vector<int32_t> keys;
        for (int i = 0; i < 300; i++) keys.push_back((i * 7919) % 301);
        std::vector<Rec> in = numbered(keys), out = in;
        int32_t n = int32_t(out.size());
        if (sort == merge)
            sorting::merge_sort(out.data(), n, sizeof(Rec), intptr_t(merge), 0, nested_by_key);
        else
            sorting::quick_sort(out.data(), n, sizeof(Rec), intptr_t(quick), 0, nested_by_key);
        expect_sorted_permutation(in, out, sort == merge, sort == merge ? "merge" : "quick");
    }
}

TEST(Sorting, AThrowingComparisonLeaksNothingAndLosesNoRecord) {
    // Two ordered runs interleaving in value make the merge sort merge from
    // the front (equal runs) or from the back (a shorter second run).
    auto two_runs = [](int first, int second) {
        std::vector<int32_t> keys;
        for (int i = 0; i < first; i++) keys.push_back(2 * i);
        for (int i = 0; i < second; i++) keys.push_back(2 * i + 1);
        return keys;
    };
    std::mt19937 g(9);
    std::vector<int32_t> random(600);
    for (auto& k : random) k = int32_t(g() % 1000);
    const struct {
        const char* what;
        std::vector<int32_t> keys;
    } inputs[] = {{"random", random},
                  {"equal runs", two_runs(300, 300)},
                  {"shorter second run", two_runs(400, 200)}};
    for (Sorter sort : {merge, quick})
        for (const auto& input : inputs)
            for (long after : {0L, 5L, 30L, 400L, 700L, 900L, 2000L}) {
                std::vector<Rec> in = numbered(input.keys), out = in;
                size_t blocks = memory::heap_block_count();
                Probe probe;
                probe.throw_after = after;
                try {
                    sort(out, 1, &probe);
                } catch (const Boom&) {
                }
                std::string what =
                    std::string(input.what) + ", throw after " + std::to_string(after);
                EXPECT_EQ(memory::heap_block_count(), blocks) << "scratch left, " << what;
                std::vector<int32_t> seqs;
                for (const Rec& r : out) seqs.push_back(r.seq);
                std::sort(seqs.begin(), seqs.end());
                for (size_t i = 0; i < seqs.size(); i++)
                    ASSERT_EQ(seqs[i], int32_t(i)) << "a record was lost or doubled, " << what;
            }
}

TEST(Sorting, OddWidthsAndCellWidths) {
    // Records of 3 bytes swap byte by byte; 16-byte records (cells) by words.
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 200; i++) {
        bytes.push_back(uint8_t((i * 37) % 251));
        bytes.push_back(uint8_t(i));
        bytes.push_back(uint8_t(255 - i));
    }
    auto first_byte = [](const void* a, const void* b, intptr_t, intptr_t) {
        return int(*static_cast<const uint8_t*>(a)) - int(*static_cast<const uint8_t*>(b));
    };
    std::vector<uint8_t> quick_bytes = bytes;
    sorting::merge_sort(bytes.data(), 200, 3, 0, 0, first_byte);
    sorting::quick_sort(quick_bytes.data(), 200, 3, 0, 0, first_byte);
    for (const auto* v : {&bytes, &quick_bytes})
        for (int i = 0; i < 200; i++) {
            const uint8_t* r = v->data() + i * 3;
            EXPECT_EQ(uint8_t(r[1] + r[2]), 255) << "record torn apart at " << i;
            if (i) {
                EXPECT_LE(r[-3], r[0]);
            }
        }

    struct alignas(16) Wide {
        int32_t key, a, b, c;
    };
    std::vector<Wide> cells;
    for (int i = 0; i < 100; i++) cells.push_back({(i * 13) % 17, i, i * 2, i * 3});
    auto by_wide_key = [](const void* a, const void* b, intptr_t, intptr_t) {
        return static_cast<const Wide*>(a)->key - static_cast<const Wide*>(b)->key;
    };
    sorting::quick_sort(cells.data(), 100, 16, 0, 0, by_wide_key);
    for (int i = 0; i < 100; i++) {
        EXPECT_EQ(cells[i].b, cells[i].a * 2);
        EXPECT_EQ(cells[i].c, cells[i].a * 3);
        if (i) {
            EXPECT_LE(cells[i - 1].key, cells[i].key);
        }
    }
}

TEST(Sorting, SwapByWordsOrBytes) {
    uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8}, b[8] = {9, 10, 11, 12, 13, 14, 15, 16};
    sorting::swap(a, b, 8, false);
    EXPECT_EQ(a[0], 9);
    EXPECT_EQ(b[7], 8);
    sorting::swap(a, b, 3, true);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[2], 3);
    EXPECT_EQ(a[3], 12);  // past the three bytes: untouched
}

TEST(Sorting, ScratchPastTwoGigabytesIsTooLong) {
    Rec dummy[2] = {};
    EXPECT_EQ(error_of([&] { sorting::merge_sort(dummy, 1 << 30, 16, 0, 0, by_key); }),
              "script/too-long");
}
