// date!: a calendar date with an optional time of day and time zone, held
// wholly in the cell, and the calendar arithmetic on day numbers.
//
// Cell: {header (type 47), the packed date word, the time as a double in
// words 2-3}. Packed word, bit 0 lowest:
//   17-31  year, signed 15 bits (read with an arithmetic shift)
//   12-15  month 1..12
//    7-11  day 1..31
//   16     time flag: the value carries a time (and so a zone)
//    0-6   zone: bit 6 negative, bits 2-5 whole hours, bits 0-1 quarter hours
// The date fields hold the local date; the double holds the time in UTC
// measured from the local date's midnight, so local time = stored time +
// zone offset, and after every normalising operation 0 <= local time <
// 86400. Without the time flag the zone is 0 and the time 0.0.
//
// Day numbers count days on the proleptic Gregorian calendar, day 0 being
// 1 March of year 0 (1-Jan-1970 is day 719468).
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::date {

constexpr uint32_t TIME_FLAG = 0x10000;
constexpr uint32_t ZONE_MASK = 0x7F;
constexpr uint32_t ZONE_NEGATIVE = 0x40;
constexpr int32_t EPOCH_DAYS = 719468;  // 1-Jan-1970
constexpr double SECONDS_PER_DAY = 86400.0;

// ---- The packed word --------------------------------------------------------------------

inline uint32_t word_of(const Cell* c) { return c->data1; }
inline double time_of(const Cell* c) { return cell::get_float(c); }
inline int year_of(uint32_t w) { return int32_t(w) >> 17; }
inline int month_of(uint32_t w) { return int(w >> 12 & 0xF); }
inline int day_of(uint32_t w) { return int(w >> 7 & 0x1F); }
inline uint32_t zone_of(uint32_t w) { return w & ZONE_MASK; }
inline bool has_time(uint32_t w) { return (w & TIME_FLAG) != 0; }

// The word of the fields as they are (no range checks, no normalisation).
uint32_t pack(int year, int month, int day, uint32_t zone, bool time);
// Zone bits of an offset in hours and minutes; the sign is the hours' sign,
// or the minutes' when the hours are 0.
uint32_t pack_zone(int hours, int minutes);

// ---- Calendar ---------------------------------------------------------------------------

bool leap_year_q(int year);
int32_t to_days(uint32_t w);
uint32_t from_days(int32_t n, uint32_t zone, bool time);
int32_t jan1_days(uint32_t w);
int year_day(uint32_t w);  // 1..366
int weekday(int32_t n);    // 1 Monday .. 7 Sunday
// The day number of the Monday that starts ISO week 1 of w's year; writes
// the weekday of 1 January.
int32_t first_isoweek(uint32_t w, int& jan1_weekday);

// ---- Time and zone ----------------------------------------------------------------------

// The zone's offset from UTC in seconds.
double zone_offset(uint32_t zone);
inline double to_local(double t, uint32_t zone) { return t + zone_offset(zone); }
inline double to_utc(double t, uint32_t zone) { return t - zone_offset(zone); }
// Moves whole days between the UTC time t and day n so that the local time
// lies in 0 .. 86400 seconds; answers the new day number.
int32_t normalize_time(int32_t n, double& t, uint32_t zone);

// ---- Changing a date in place (zone bits and time flag kept) ----------------------------

// Any month: the year carries, and a day past the month's end rolls on.
void set_month(Cell* date, int32_t month);
// With `local` the time is first converted to UTC; then the day moves as the
// time asks.
void set_time(Cell* date, double t, bool local);
void set_weekday(Cell* date, int32_t k);  // 1 Monday .. 7 Sunday, in the same week
void set_yearday(Cell* date, int32_t k);  // day k of the year, rolling on past its end
void set_isoweek(Cell* date, int32_t k);  // the Monday of ISO week k
// The zone bits of a time! given as a zone: its hours and minutes modulo 16
// hours, negative when the whole offset is.
uint32_t zone_of_time(double t);
// A new zone from an integer! (hours, modulo 16) or a time!; anything else
// raises script invalid-arg. The time flag is set. With keep_instant the
// local date and time move to the new zone; without it the local time stays
// and the instant moves.
void set_zone(Cell* date, const Cell* value, bool keep_instant);

// ---- Making ------------------------------------------------------------------------------

// The date from its fields, normalised as the date! type normalises (the
// loader has already checked the ranges). time_of_day in seconds, local.
Cell* make_at(Cell* cell, int year, int month, int day, double time_of_day, int zone_hours,
              int zone_minutes, bool has_time);
// ISO week form and ordinal form: the date of the given week/weekday or
// day of year in `year`, with the same time/zone arguments.
Cell* make_from_week(Cell* cell, int year, int week, int weekday, double time_of_day,
                     int zone_hours, int zone_minutes, bool has_time);
Cell* make_from_yearday(Cell* cell, int year, int yearday, double time_of_day, int zone_hours,
                        int zone_minutes, bool has_time);
// A file date: UTC, with its time.
Cell* make_at_hms(Cell* cell, int year, int month, int day, int hour, int minute, int second,
                  int nanosecond);
// The cell becomes the date! of a packed word and time as they are.
Cell* set_at(Cell* cell, uint32_t w, double t);
Cell* push(uint32_t w, double t);
Cell* make_in(Cell* block, uint32_t w, double t);

// ---- Reading -----------------------------------------------------------------------------

// Seconds since 1-Jan-1970 00:00 UTC of the stored date and time, to the
// nearest second; beyond 32 bits raises script type-limit (integer!).
int32_t epoch_seconds(const Cell* date);
// Weeks starting on Sunday, week 1 holding 1 January.
int week(uint32_t w);
// The ISO 8601 week: weeks starting on Monday, week 1 holding the year's
// first Thursday; days before it belong to the previous year's last week.
int isoweek(uint32_t w);
// a becomes the time! from b to a.
void difference(Cell* a, const Cell* b);

// ---- Fields --------------------------------------------------------------------------------

// By index, as paths and pick name them (yearday is also julian).
enum Field : int {
    FIELD_DATE = 1, FIELD_YEAR, FIELD_MONTH, FIELD_DAY, FIELD_ZONE, FIELD_TIME, FIELD_HOUR, FIELD_MINUTE,
    FIELD_SECOND, FIELD_WEEKDAY, FIELD_YEARDAY, FIELD_TIMEZONE, FIELD_WEEK, FIELD_ISOWEEK
};
// The field an integer! 1..14 or a field word names; 0 for anything else.
int field_of(const Cell* element);
// The cell becomes the field's value; the time fields read the local time.
Cell* field_at(Cell* cell, const Cell* date, int field);
Cell* push_field(const Cell* date, int field);
// Sets one field as a path set does; a value of the wrong type raises
// script invalid-arg and leaves the date unchanged. The time fields change
// the local time.
void set_field(Cell* date, int field, const Cell* value);

// ---- Arithmetic ----------------------------------------------------------------------------

// On the first two argument cells, the date first: add an integer! of days
// or a time!; subtract one of those or a date! (giving the integer! count
// of days between them). The result replaces the date.
Cell* add();
Cell* subtract();

void init();

}  // namespace zel::date
