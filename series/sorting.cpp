// Sorting: a natural merge sort with a power-based merge policy (stable),
// and an adaptive quick sort that grows an ordered prefix from presorted
// stretches and finishes with a sample-driven three-way partition sort.
#include "series/sorting.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "series/services.h"

namespace zel::sorting {

ComparatorRunner g_comparator = {
    [](const Cell*, const Cell*, const Cell*) -> Cell { platform::missing_hook("the /compare function runner"); }};

namespace {

constexpr int64_t MIN_RUN = 24;         // runs shorter than this are extended by insertion
constexpr int64_t SCORE_STRIDE = 97;    // one presortedness probe per this many pairs
constexpr int64_t INSERTION_MAX = 7;    // ranges this small are finished by insertion
constexpr int64_t SMALL_RANGE = 511;    // above this a median-of-three segment is 63 records
constexpr int64_t FIRST_SEGMENT = 63;

int sign(int c) { return (c > 0) - (c < 0); }

// A view of the array being sorted, addressed by record index.
struct Records {
    uint8_t* base;
    const SortRecord& r;

    uint8_t* at(int64_t i) const { return base + i * r.width; }
    int order(int64_t i, int64_t j) const { return r.order(at(i), at(j)); }
    void exchange(int64_t i, int64_t j) const {
        if (i != j) swap(at(i), at(j), r.width, r.width % 4 != 0);
    }
    // Exchanges count records from i with count records from j, first to
    // last: right when the areas overlap and j > i (moving j's records down).
    void exchange_down(int64_t i, int64_t j, int64_t count) const {
        for (int64_t t = 0; t < count; t++) exchange(i + t, j + t);
    }
    // The same, last to first: right when the areas overlap and j > i and
    // i's records are the ones moving up.
    void exchange_up(int64_t i, int64_t j, int64_t count) const {
        for (int64_t t = count - 1; t >= 0; t--) exchange(i + t, j + t);
    }
    void reverse(int64_t from, int64_t to) const {
        for (int64_t i = from, j = to - 1; i < j; i++, j--) exchange(i, j);
    }
    // Insertion sort of [from, to) given that [from, start) is ordered.
    void insert_from(int64_t from, int64_t start, int64_t to) const {
        for (int64_t i = std::max(start, from + 1); i < to; i++)
            for (int64_t x = i; x > from && order(x - 1, x) > 0; x--) exchange(x - 1, x);
    }
};

// ---- Merge sort -----------------------------------------------------------

// The scratch buffer of one merge sort, released however the sort ends.
class Scratch {
public:
    explicit Scratch(int64_t bytes) : p_(static_cast<uint8_t*>(memory::heap_alloc(bytes))) {}
    ~Scratch() { memory::heap_free(p_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    uint8_t* get() const { return p_; }

private:
    uint8_t* p_;
};

// The end of the run from start, extended to MIN_RUN records by insertion.
int64_t next_run(const Records& a, int64_t start, int64_t n) {
    int64_t end = (find_run(a.at(start), a.at(n), a.r) - a.base) / a.r.width;
    int64_t wanted = std::min(n, start + MIN_RUN);
    if (end < wanted) {
        a.insert_from(start, end, wanted);
        end = wanted;
    }
    return end;
}

// Depth of the boundary between runs [s1, e1) and [e1, e2) in the implicit
// binary tree over [0, n): the number of leading bits the two runs'
// midpoints share, plus one.
int boundary_power(int64_t s1, int64_t e1, int64_t e2, int64_t n) {
    int64_t x = s1 + e1, y = e1 + e2;
    int count = 0;
    for (;;) {
        bool high_x = x >= n, high_y = y >= n;
        if (high_x != high_y) break;
        if (high_x) {
            x -= n;
            y -= n;
        }
        x *= 2;
        y *= 2;
        count++;
    }
    return count + 1;
}

// ---- Quick sort -----------------------------------------------------------

bool in_direction(const Records& a, int64_t i, int64_t j, int direction) {
    return sign(a.order(i, j)) * direction <= 0;
}

// Grows the ordered prefix [0, prefix) from ordered stretches further on,
// probing every ten records; answers the new prefix length.
int64_t grow_prefix(const Records& a, int64_t n, int64_t prefix, int direction) {
    int64_t position = prefix - 1;
    for (;;) {
        int64_t start = position + 9, end = position + 10;
        if (end >= n) break;
        while (end < n && in_direction(a, end - 1, end, direction)) end++;
        while (start > prefix && in_direction(a, start - 1, start, direction)) start--;
        if (end - start < 4) {
            position = end - 1;
            continue;
        }
        if (prefix > 1) {
            // Records of the prefix's tail and the stretch's head that
            // overlap in order are given up by both sides.
            int64_t limit = std::min((end - start) / 2, (prefix - 1) / 4);
            int64_t j = 0;
            while (j < limit && !in_direction(a, prefix - 1 - j, start + j, direction)) j++;
            if (j == limit) {
                position = end - 1;
                continue;
            }
            prefix -= j;
            start += j;
        }
        if (prefix == 1) {
            a.exchange_down(0, start, end - start);  // a one-record prefix is replaced
            prefix = end - start;
        } else if (start == prefix) {
            prefix = end;
        } else {
            a.exchange_down(prefix, start, end - start);
            prefix += end - start;
        }
        position = prefix - 1;
    }
    return prefix;
}

// ---- Extend sort ----------------------------------------------------------

// Spreads the unsorted records [s, m) over the whole range so that the
// segment [0, m) samples it.
void spread_segment(const Records& a, int64_t s, int64_t m, int64_t n) {
    int64_t stride = n / m;
    for (int64_t i = s; i < m; i++) a.exchange(i, i * stride);
}

// Three-way partition of [lo, hi) around the pivot record at index p
// (outside the range): answers [lt, gt) holding the records equal to it.
void partition(const Records& a, int64_t p, int64_t lo, int64_t hi, int64_t& lt, int64_t& gt) {
    lt = lo;
    gt = hi;
    int64_t i = lo;
    while (i < gt) {
        int c = a.order(i, p);
        if (c < 0) a.exchange(lt++, i++);
        else if (c > 0) a.exchange(i, --gt);
        else i++;
    }
}

}  // namespace

void swap(void* a, void* b, int32_t bytes, bool bytewise) {
    auto* x = static_cast<uint8_t*>(a);
    auto* y = static_cast<uint8_t*>(b);
    if (bytewise) {
        for (int32_t i = 0; i < bytes; i++) std::swap(x[i], y[i]);
        return;
    }
    for (int32_t i = 0; i < bytes; i += 4) {
        uint32_t t, u;
        std::memcpy(&t, x + i, 4);
        std::memcpy(&u, y + i, 4);
        std::memcpy(x + i, &u, 4);
        std::memcpy(y + i, &t, 4);
    }
}

uint8_t* find_run(uint8_t* start, uint8_t* end, const SortRecord& r) {
    int w = r.width;
    uint8_t* p = start + w;
    if (p >= end) return end;
    if (r.order(start, p) > 0) {
        while (p + w < end && r.order(p, p + w) > 0) p += w;
        p += w;
        Records{start, r}.reverse(0, (p - start) / w);
    } else {
        while (p + w < end && r.order(p, p + w) <= 0) p += w;
        p += w;
    }
    return p;
}

void merge_runs(uint8_t* run1, uint8_t* run2, uint8_t* end, uint8_t* scratch, const SortRecord& r) {
    const int64_t w = r.width;
    const int64_t bytes1 = run2 - run1, bytes2 = end - run2;
    if (bytes2 < bytes1) {
        // From the back, with run 2 in the scratch buffer.
        std::memcpy(scratch, run2, size_t(bytes2));
        int64_t a = bytes1 - w;  // last unmerged record of run 1, from run1
        int64_t b = bytes2 - w;  // last unmerged record of the scratch
        int64_t d = bytes1 + bytes2 - w;
        try {
            while (b >= 0) {
                if (a >= 0 && r.order(run1 + a, scratch + b) > 0) {
                    std::memcpy(run1 + d, run1 + a, size_t(w));
                    a -= w;
                } else {
                    std::memcpy(run1 + d, scratch + b, size_t(w));
                    b -= w;
                }
                d -= w;
            }
        } catch (...) {
            std::memcpy(run1 + a + w, scratch, size_t(b + w));  // fill the hole: no record lost
            throw;
        }
        return;
    }
    // From the front, with run 1 in the scratch buffer.
    std::memcpy(scratch, run1, size_t(bytes1));
    int64_t i = 0;          // next scratch record
    uint8_t* j = run2;      // next record of run 2
    uint8_t* d = run1;
    try {
        while (i < bytes1) {
            if (j < end && r.order(scratch + i, j) > 0) {
                std::memcpy(d, j, size_t(w));
                j += w;
            } else {
                std::memcpy(d, scratch + i, size_t(w));
                i += w;
            }
            d += w;
        }
    } catch (...) {
        std::memcpy(d, scratch + i, size_t(bytes1 - i));
        throw;
    }
}

int32_t merge_sort(void* base, int32_t n, int32_t w, intptr_t option1, intptr_t option2,
                   Compare compare) {
    if (n < 2) return n;
    int64_t scratch_bytes = int64_t(n / 2) * w;
    if (scratch_bytes > INT32_MAX) fire(ERR_script_too_long);
    Scratch scratch(scratch_bytes);
    const SortRecord r{w, option1, option2, compare};
    const Records a{static_cast<uint8_t*>(base), r};

    struct Run {
        int64_t start;
        int power;
    };
    Run stack[66];  // powers on the stack rise strictly and stay below 34
    int top = 0;
    stack[0] = {0, 0};

    int64_t s1 = 0, e1 = next_run(a, 0, n);
    while (e1 < n) {
        int64_t e2 = next_run(a, e1, n);
        int power = boundary_power(s1, e1, e2, n);
        while (stack[top].power > power) {
            merge_runs(a.at(stack[top].start), a.at(s1), a.at(e1), scratch.get(), r);
            s1 = stack[top--].start;
        }
        stack[++top] = {s1, power};
        s1 = e1;
        e1 = e2;
    }
    while (top > 0) {
        merge_runs(a.at(stack[top].start), a.at(s1), a.at(n), scratch.get(), r);
        s1 = stack[top--].start;
    }
    return n;
}

void quick_sort(void* base, int32_t n, int32_t w, intptr_t option1, intptr_t option2,
                Compare compare) {
    if (n < 2) return;
    const SortRecord r{w, option1, option2, compare};
    const Records a{static_cast<uint8_t*>(base), r};

    // The first run, in the direction of its first unequal pair.
    int64_t i = 1;
    int direction = 0;
    while (i < n && direction == 0) {
        direction = -sign(a.order(i - 1, i));
        i++;
    }
    if (direction == 0) return;  // all records equal
    while (i < n && in_direction(a, i - 1, i, direction)) i++;
    int64_t prefix = i;

    int64_t score = prefix * direction;
    for (int64_t k = prefix + SCORE_STRIDE - 1; k < n; k += SCORE_STRIDE)
        score -= sign(a.order(k - 1, k));
    if (std::abs(score) > n / 512) {
        if ((score > 0) != (direction > 0)) {
            direction = -direction;
            prefix = 1;
        }
        prefix = grow_prefix(a, n, prefix, direction);
    }
    if (direction < 0) a.reverse(0, prefix);
    if (prefix < n) extend_sort(a.base, prefix, n, r);
}

void extend_sort(uint8_t* base, int64_t s, int64_t n, const SortRecord& r) {
    const Records a{base, r};
    if (s < 0) {
        s = std::min(-s, n);
        a.exchange_down(0, n - s, s);
    }
    while (s < n) {
        if (n <= INSERTION_MAX) {
            a.insert_from(0, s, n);
            return;
        }
        // Segment [0, m): lower sample [0, h), pivot at h, unsorted records,
        // upper sample of u records at its end.
        int64_t m, h, u;
        if (s > 2) {
            m = s > n / 256 ? n : std::min(n, 16 * s - 1);
            if (m < n) spread_segment(a, s, m, n);
            h = s / 2;
            u = s - h - 1;
            a.exchange_up(h + 1, m - u, u);
        } else {
            m = n > SMALL_RANGE ? FIRST_SEGMENT : n;
            int64_t mid = m / 2;
            if (a.order(0, mid) > 0) a.exchange(0, mid);
            if (a.order(mid, m - 1) > 0) a.exchange(mid, m - 1);
            if (a.order(0, mid) > 0) a.exchange(0, mid);
            a.exchange(1, mid);
            h = 1;
            u = 1;
        }
        int64_t lt, gt;
        partition(a, h, h + 1, m - u, lt, gt);
        a.exchange(h, lt - 1);  // the pivot joins the records equal to it
        extend_sort(a.at(gt), -u, m - gt, r);
        extend_sort(base, h, lt - 1, r);
        s = m;
    }
}

}  // namespace zel::sorting
