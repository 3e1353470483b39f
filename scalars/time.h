// time!: a signed duration or time of day in seconds, kept as a double
// (parent float!, whose handlers it inherits where it has none of its own).
// The hour and minute extraction and the h:mm:ss text are shared with
// date!.
//
// Cell: {header (type 43), unused, the seconds as a double in words 2-3}.
// There is no range: hours are never reduced modulo 24.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::time {

inline double get(const Cell* c) { return cell::get_float(c); }

// The cell becomes a time! (the whole header written).
Cell* make_at(Cell* cell, double seconds);
Cell* push(double seconds);
// The seconds given as the two 32-bit halves of their double.
Cell* make_in(Cell* block, uint32_t high, uint32_t low);

// seconds / 3600 truncated toward zero; a count beyond 32 bits raises
// script out-of-range.
int32_t hours(double seconds);
// The minutes field, 0..59, never negative: floor(fmod(|seconds|, 3600) / 60).
int32_t minutes(double seconds);

// Appends the text form ("-1:02:03.5") and answers the part budget less the
// characters appended. The seconds take 6 significant digits, or with
// `exact` (mold) the shortest digits that load back as the same seconds.
int serialize(double seconds, Cell* buffer, int part, bool exact);

void init();

}  // namespace zel::time
