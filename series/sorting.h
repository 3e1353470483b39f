// Sorting: in-place sorts of arrays of fixed-width records through a
// caller's comparison function. The sort action of blocks and strings uses
// the stable merge sort when asked for stability and the adaptive quick sort
// otherwise.
//
// Each sort keeps its width, options and comparison in a record of its own,
// passed down its calls, so sorts may nest (a comparison may sort). The
// merge sort's scratch buffer lives on the tracked heap and is released on
// every way out, a comparison that throws included; a throwing comparison
// leaves the array partly sorted but holding every record once.
//
// A /compare function is run by the evaluator, a layer above, through the
// table it sets from its init (g_comparator, see services.h).
//
// Relies on: memory (tracked heap), error (too-long).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::sorting {

// Negative when record a sorts before record b, 0 when they are equal,
// positive when a sorts after b. The two options come from the caller of the
// sort untouched (its comparison flags and its /compare argument).
using Compare = int (*)(const void* a, const void* b, intptr_t option1, intptr_t option2);

struct SortRecord {
    int32_t width;
    intptr_t option1;
    intptr_t option2;
    Compare compare;

    int order(const void* a, const void* b) const { return compare(a, b, option1, option2); }
};

// Exchanges two areas of `bytes` bytes: byte by byte when `bytewise` is set,
// else by 32-bit words.
void swap(void* a, void* b, int32_t bytes, bool bytewise);

// Stable sort of n records of w bytes; answers n. Raises script too-long when
// the scratch buffer of n / 2 records would pass 2 GB.
int32_t merge_sort(void* base, int32_t n, int32_t w, intptr_t option1, intptr_t option2,
                   Compare compare);

// Unstable sort, near-linear on ordered, reversed and mostly ordered input.
void quick_sort(void* base, int32_t n, int32_t w, intptr_t option1, intptr_t option2,
                Compare compare);

// Sorts n records given an ordered sample of s records at the front; a
// negative s means the sample of -s records lies at the end.
void extend_sort(uint8_t* base, int64_t s, int64_t n, const SortRecord& r);

// The end of the natural run from `start`: non-descending, or strictly
// descending, in which case the run is reversed in place.
uint8_t* find_run(uint8_t* start, uint8_t* end, const SortRecord& r);

// Merges the ordered runs [run1, run2) and [run2, end) in place through a
// scratch buffer holding the shorter of them; ties keep run 1's records first.
void merge_runs(uint8_t* run1, uint8_t* run2, uint8_t* end, uint8_t* scratch, const SortRecord& r);

// Running a sort's /compare function: `run` calls it with the two values
// under the <compare-callback> frame word and answers its result. A break,
// return or exit leaving the function travels on as an exception: a sort
// cannot hand an exit back. Set by the evaluator's init.
struct ComparatorRunner {
    Cell (*run)(const Cell* function, const Cell* first, const Cell* second);
};
extern ComparatorRunner g_comparator;

}  // namespace zel::sorting
