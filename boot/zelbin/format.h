// Zelbin: the binary serialization of Zel values, its two forms, and the
// boot image.
//
// A stream is an 8-byte header ("ZELBIN", a version byte, a flags byte),
// then a body: a record count, the payload size, an optional symbol table
// (count, names size, one 4-byte offset per name, the NUL-terminated UTF-8
// names) and the payload, a run of records, one per value, nesting. In the
// fixed form every field is a little-endian 32-bit word and each record
// opens with a header word (type id in the low byte, flags above); in the
// compact form counts are LEB128 varints (signed ones zigzag-coded) and each
// record opens with optional prefix bytes and one kind byte.
//
// A series, context or function met a second time is written as a shared
// record: its kind and head, then a reference path (the positions, level by
// level, of the record that carried it first), read back from the block
// that receives the decoded values. Native and action specs are always
// written in full: nothing inside them is shared.
//
// Boot streams (the boot image, made by zel-mkboot) differ in three ways:
// word-with-value records set a global word and leave no cell; words bound
// outside the global context name the root record that holds their context;
// and every block they hold carries the library-code flag (SERIES_LIBRARY).
//
// Input is untrusted in codec mode: every count is checked against the
// bytes left before anything is allocated, a vector's item type against
// the widths it comes in, word and handler indexes against their context,
// function contexts against their spec, reference paths against the series
// they step through and the layout of the kind they stand for, and nesting
// depth against MAX_DEPTH; a native! or action! is the run-time's own of
// that number, whatever spec the stream gives (the spec decides how
// arguments reach the routine). Faults raise script
// zb-invalid-record with the byte position (counted from 1), or script
// invalid-data for a bad header.
//
// Packing (flag bit 1): the body is an lz-blob (os/lz.h) that unpacks to
// the body of the unpacked stream; a blob that does not unpack is refused
// like a bad header. The encoder never packs.
//
// Relies on: the LZ unpacker, the memory manager, blocks, strings, binaries, vectors, maps,
// hashes, words, contexts, objects, functions, natives, errors, the scalar
// types' cell layouts, symbols.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "series/series.h"

namespace zel::zelbin {

// ---- Header --------------------------------------------------------------------------------

constexpr char MAGIC[6] = {'Z', 'E', 'L', 'B', 'I', 'N'};
constexpr int HEADER_BYTES = 8;
constexpr uint8_t VERSION_CODEC = 2;
constexpr uint8_t VERSION_BOOT = 1;
constexpr uint8_t FLAG_COMPACT = 1;
constexpr uint8_t FLAG_PACKED = 2;
constexpr uint8_t FLAG_SYMBOLS = 4;

// ---- Compact form ----------------------------------------------------------------------------

constexpr uint8_t PREFIX_NEW_LINE = 0xC0;
constexpr uint8_t PREFIX_SHARED = 0xC1;
constexpr uint8_t PREFIX_WITH_VALUE = 0xC4;
constexpr uint8_t LEAD_SMALL_INT = 0x80;  // 0x80-0xBF: integer 0-63
constexpr uint8_t LEAD_TRUE = 0xC2;
constexpr uint8_t LEAD_FALSE = 0xC3;
constexpr uint8_t LEAD_REFERENCE = 0xFF;
constexpr uint8_t KIND_FLAG = 0x40;
constexpr uint8_t KIND_TYPE_MASK = 0x3F;
constexpr uint8_t KIND_LONG_TYPE = 63;  // the type id follows as a varint
constexpr int VARINT_MAX_BYTES = 5;

// Context record flags byte.
constexpr uint8_t CTX_KIND_MASK = 0x03;
constexpr uint8_t CTX_ON_STACK = 0x04;
constexpr uint8_t CTX_SELF = 0x08;
constexpr uint8_t CTX_VALUES = 0x10;

// ---- Fixed form: record header word ------------------------------------------------------------

constexpr uint32_t FX_FILLER = 0;
constexpr uint32_t FX_REFERENCE = 0xFF;
constexpr int FX_UNIT_SHIFT = 8;         // string kinds, vector!: unit; tuple!: length
constexpr int FX_WRAPPED_SHIFT = 16;     // op!: type of the called value
constexpr uint32_t FX_SHARED = 1u << 19;
constexpr uint32_t FX_NEGATIVE = 1u << 22;    // money!
constexpr uint32_t FX_COMPLEMENT = 1u << 23;  // bitset!
constexpr uint32_t FX_HANDLERS = 1u << 24;    // object!
constexpr uint32_t FX_GLOBAL = 1u << 25;      // words: global (codec), word with value (boot)
constexpr int FX_CTX_KIND_SHIFT = 26;
constexpr uint32_t FX_CTX_SELF = 1u << 28;
constexpr uint32_t FX_CTX_ON_STACK = 1u << 29;
constexpr uint32_t FX_CTX_VALUES = 1u << 30;
constexpr uint32_t FX_NEW_LINE = 1u << 31;

// ---- Limits --------------------------------------------------------------------------------------

// Records nested deeper raise internal too-deep, in both directions.
constexpr int MAX_DEPTH = 1000;
constexpr int TYPESET_BYTES = 12;
constexpr int MONEY_BYTES = 12;
constexpr int MAX_TUPLE = 12;

// The kinds whose buffer holds units, not cells: strings, binary!, vector!.
inline bool units_type(int type) { return series::any_string(type) || type == TYPE_BINARY || type == TYPE_VECTOR; }

// Every block a boot stream holds gets the library-code flag of its buffer
// (SERIES_LIBRARY, memory.h), which tells the run-time's own library code
// from the user's.
inline bool library_code_q(Node node) { return node && (memory::series_of(node)->flags & SERIES_LIBRARY); }

// ---- Encoding ---------------------------------------------------------------------------------------

struct Options {
    bool compact = true;
};

// The value, with everything it reaches, as a new binary! in `result` (a
// cell the caller keeps reachable). A routine!, triple!, handle!, port! or
// event! anywhere raises access no-codec.
Cell* encode(const Cell* value, const Options& options, Cell* result);

// The writer of boot streams (zel-mkboot): records in order, then the
// image's bytes.
class BootWriter {
public:
    BootWriter();
    ~BootWriter();
    BootWriter(const BootWriter&) = delete;
    BootWriter& operator=(const BootWriter&) = delete;
    // A word-with-value record: the global word takes the value at load.
    void define(const Cell* word, const Cell* value);
    // A root record: the value becomes the next root cell at load.
    void add(const Cell* value);
    std::vector<uint8_t> finish();

private:
    struct State;
    State* state_;
};

// ---- Decoding ----------------------------------------------------------------------------------------

enum Mode : int { MODE_BOOT = 0, MODE_CODEC = 1 };

// Appends the values of the stream to the block `target` (kept reachable by
// the caller). Answers the count of cells appended.
int32_t decode_into(const uint8_t* data, int64_t length, Cell* target, Mode mode);

// The codec's decode: a new block! of the values of the binary (from its
// head) in `result`.
Cell* decode(const Cell* binary, Cell* result);
// The codec object's decode routine: the one value of the stream itself,
// else the block of them; a binary of 10 bytes or fewer raises script
// invalid-data.
Cell* load(const Cell* binary, Cell* result);

// The boot-image load: decodes the image into the root block with the
// collector off; word-with-value records set their words. Answers the index
// in the root block of root cell 0. A bad header prints the reason and ends
// the process with status 1; a bad record raises its error.
int32_t load_boot_image(const uint8_t* image, int64_t length, Cell* root);

}  // namespace zel::zelbin
