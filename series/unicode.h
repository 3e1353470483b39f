// Unicode conversion: between the fixed-width storage of text buffers and
// the byte forms the outside world uses.
//
// A text buffer holds one code point per unit, with one unit width for the
// whole buffer (1, 2 or 4 bytes, the unit field of the series header); it
// never holds UTF-8 or surrogate pairs. This module decodes UTF-8, UTF-16LE
// and Windows-1251 into such buffers (always choosing the narrowest unit
// that holds every character), encodes strings as UTF-8 or UTF-16LE, and
// widens a buffer in place.
//
// It owns the fourth word of a string value: the node of the string's
// conversion buffer, a byte series made on the first conversion for the OS
// and reused (grown, never shrunk) by later ones. A conversion answers an
// address inside it, valid until the next conversion of that string or the
// next allocation: use it at once.
//
// Relies on the memory manager for buffers, on the string module for the
// text of a string value, on the foundation's UTF-8 encoder (foundation/utf8.h),
// and on fire() for script invalid-char and access invalid-utf8.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/utf8.h"

namespace zel::unicode {

// ---- UTF-8 scanning (byte addresses, no string involved) ------------------------

// Decodes one character with the validating automaton and answers the
// address just past it. A rejected sequence gives -1, the byte that failed
// consumed. With an end, a sequence cut short by it also gives -1 and stops
// there: no byte at or past the end is read.
const uint8_t* fast_decode_utf8_char(const uint8_t* p, int32_t& cp, const uint8_t* end = nullptr);
// Decoding steps until the address reaches or passes the end.
int count_utf8_chars(const uint8_t* start, const uint8_t* end);
// Advances over at most n characters, stopping at the end.
const uint8_t* skip_utf8_chars(const uint8_t* p, const uint8_t* end, int n);
// 4 for a lead byte 0xF0-0xFF, 3 for 0xE0-0xEF, 2 for 0xC0-0xDF, else 0.
int utf8_char_size_q(uint8_t lead);
// Decodes the character at p; `count` holds the bytes available and
// receives the bytes used. Answers -1, count untouched, when the sequence
// is cut short by the end of the input. Overlong forms are accepted; a
// malformed sequence raises access invalid-utf8 with up to four bytes.
int32_t decode_utf8_char(const uint8_t* p, int& count);
// Raises access invalid-utf8 with a binary! of the n bytes at p.
[[noreturn]] void raise_invalid_utf8(const uint8_t* p, int64_t n);

// ---- Single code points ---------------------------------------------------------------

// The one UTF-8 encoder (foundation/utf8.h): the shortest form of cp (at most
// 0x10FFFF, not checked), 1 to 4 bytes; answers the count.
inline int encode_utf8(uint32_t cp, uint8_t* out) { return utf8::encode_shortest(cp, out); }

using utf8::MAX_CODE_POINT;

// Bytes of the UTF-8 form; above 0x10FFFF raises script invalid-char.
int cp_utf8_size(uint32_t cp);
// Writes the UTF-8 form and answers its size; above 0x10FFFF raises
// script invalid-char.
int cp_to_utf8(uint32_t cp, uint8_t* dst);
// As cp_to_utf8 when the whole character fits in `room` bytes; otherwise
// writes nothing and answers 0, so bounded output never ends inside a
// character.
int cp_to_utf8_bounded(uint32_t cp, uint8_t* dst, int room);
// One UTF-16 unit below 0x10000, a surrogate pair up to 0x10FFFF; answers
// the units written, 0 (nothing written) above.
int cp_to_utf16(uint32_t cp, uint16_t* dst);

// ---- Strings to encoded bytes (the text from the string's head) -------------------

// UTF-8 bytes the units in [start, end) encode to; a unit above 0x10FFFF
// raises script invalid-char.
int64_t utf8_size_of_units(const uint8_t* start, const uint8_t* end, int unit);
// UTF-8 of at most `limit` characters (-1 = all) in the conversion buffer,
// NUL-terminated; `limit` receives the bytes written without the NUL.
char* to_utf8(Cell* str, int& limit);
// All of it as a string of its own (for the OS services' C interfaces).
std::string to_utf8_string(Cell* str);
// The same; with `cr` every LF is written as CR LF.
char* to_utf8_crlf(Cell* str, int& limit, bool cr);
// UTF-8 into the caller's buffer, which holds at least 4 bytes a character
// plus the NUL; answers the bytes written without the NUL.
int to_utf8_buffer(Cell* str, uint8_t* buffer, int limit, bool nul);
// At most `room` bytes of whole characters; `part` limits the characters
// when it lies between 1 and the length; the NUL, when asked, comes after
// the text and is not counted in the room. Answers the bytes written.
int to_utf8_into(Cell* str, uint8_t* dst, int room, int part, bool nul);
// UTF-16LE of at most `limit` characters (-1 = all) in the conversion
// buffer, ended by a zero unit; with `cr` every LF becomes CR LF. `limit`
// receives the units written without the zero. Null when a unit holds a
// code point above 0x10FFFF.
uint16_t* to_utf16_part(Cell* str, int& limit, bool cr);
// The whole string, LF written as CR LF.
uint16_t* to_utf16(Cell* str);
// The data address of the string's conversion buffer, made or grown to at
// least `size` bytes.
uint8_t* conversion_buffer(Cell* str, int64_t size);
// Widens each byte of a NUL-terminated string to a 16-bit unit, ending with
// a zero unit.
void ascii_to_utf16(const char* s, uint16_t* dst);

// ---- Encoded bytes to strings ---------------------------------------------------------

// Decodes UTF-8 into `target` (0 makes a new unit-1 buffer), writing from
// the buffer's first unit; a given buffer keeps its unit until a character
// needs a wider one. A byte-order mark is skipped. A sequence cut short by
// the end of the input stops decoding, its bytes reported in `remainder`
// (may be null) so a stream reader can prepend them to the next chunk. With
// `cr`, CR LF becomes LF and a lone CR becomes LF. Malformed input raises
// access invalid-utf8. Answers the buffer's node.
Node load_utf8_buffer(const uint8_t* src, int64_t size, Node target, int* remainder, bool cr);
Node load_utf8_into(const uint8_t* src, int64_t size, Cell* str, int* remainder);
Node load_utf8(const uint8_t* src, int64_t size);
// The narrowest unit for `count` UTF-16LE units: 4 as soon as a surrogate
// is seen, 2 when some unit is above 0xFF, else 1.
int utf16_unit_needed(const uint8_t* src, int64_t count);
// Decodes `count` UTF-16LE units (src null: the conversion buffer of `str`)
// into the text buffer of `str`, or a new buffer when `str` is null. A
// surrogate pair becomes one character; a surrogate without its partner is
// kept as a character of its own. With `cr` every CR is dropped.
Node load_utf16(const uint8_t* src, int64_t count, Cell* str, bool cr);
// Windows-1251 bytes, the same way.
Node load_cp1251(const uint8_t* src, int64_t count, Cell* str, bool cr);

// ---- Widening a text buffer in place ------------------------------------------------

// Each rewrites the used units into the wider form inside the buffer,
// expanding it first when needed; answers the buffer to use from then on.
Series* widen_1_2(Series* s);
Series* widen_1_4(Series* s);
Series* widen_2_4(Series* s);

// The unit of a text buffer; any width other than 1, 2 or 4 is a corrupted
// header and ends the process with run-time error 101.
int check_unit(const Series* s);

}  // namespace zel::unicode
