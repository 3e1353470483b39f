// time!: a signed duration or time of day in seconds, kept as a double
// (parent float!, whose handlers it inherits where it has none of its own).
// The hour and minute extraction and the h:mm:ss text are shared with
// date!.
//
// Cell: {header (type 43), unused, the seconds as a double in words 2-3}.
// There is no range: hours are never reduced modulo 24.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/cell.h"
#include "words/words.h"

namespace zel::time {

inline double get(const Cell* c) { return cell::get_float(c); }

// The cell becomes a time! (the whole header written).
Cell* make_at(Cell* cell, double seconds);
Cell* push(double seconds);
// The seconds given as the two 32-bit halves of their double.
Cell* make_in(Cell* block, uint32_t high, uint32_t low);

// seconds / 3600 truncated toward zero; a count beyond 32 bits (or NaN)
// raises script type-limit for integer!.
int32_t hours(double seconds);
// The minutes field, 0..59, never negative: floor(fmod(|seconds|, 3600) / 60).
int32_t minutes(double seconds);

// ---- Fields: hour, minute, second ---------------------------------------------------------

enum Field : int { FIELD_HOUR = 1, FIELD_MINUTE = 2, FIELD_SECOND = 3 };

// The field a path element or pick index names among `count` fields: an
// integer! 1..count, or a word of the table (any case); 0 for anything else.
// Shared with date!.
struct FieldName {
    words::Sym name;
    int field;
};
int field_named(const Cell* element, std::span<const FieldName> names, int count);

// The field a path element or pick index names: an integer! 1..3 or the
// word hour, minute or second (any case); 0 for anything else.
int field_of(const Cell* element);
// The cell becomes the field's value: the hours (integer!), the minutes
// (integer!) or the seconds within the minute (float!, the sign kept).
Cell* field_at(Cell* cell, double seconds, int field);
// The seconds t with one field replaced by the value: an integer! for each
// field, a float! also for the seconds; another value raises script
// invalid-arg. The hours and minutes are counted down from t (floor), so
// the fields of a negative time move it as they do a positive one.
double with_field(double t, int field, const Cell* value);

// Appends the text form ("-1:02:03.5") and answers the part budget less the
// characters appended. The seconds take 6 significant digits, or with
// `exact` (mold) the shortest digits that load back as the same seconds.
int serialize(double seconds, Cell* buffer, int part, bool exact);

void init();

}  // namespace zel::time
