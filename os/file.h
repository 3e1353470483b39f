// simple-io: the run-time's whole access to files and directories. Plain
// functions over POSIX descriptors and paths; no buffering layer and no
// open-file object: every operation opens, works and closes within one call.
// File contents are read whole into memory and become a binary!, a string!
// (UTF-8 on disk) or a block of lines.
//
// The low-level functions answer OS-style results (-1, false) and never
// raise; the value-level functions above them raise Zel errors (access
// cannot-open, script invalid-refine-arg, internal no-memory).
//
// Line ends: text is written as it is (LF), and read with CR LF and a lone
// CR turned into LF.
//
// Relies on: strings and the UTF-8 decoder, binaries, blocks, date! (file
// times), molding (writing values that are not text), the tracked heap (the
// buffer a file is read into), file! (the OS path of a value).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::simple_io {

// file-open-mode bits.
constexpr int MODE_READ = 1;
constexpr int MODE_WRITE = 2;
constexpr int MODE_APPEND = 4;
constexpr int MODE_SEEK = 8;

// ---- Low level: descriptors and paths --------------------------------------------------

// A descriptor, or -1. Read mode opens an existing file; write mode creates
// it, truncating it unless MODE_APPEND or MODE_SEEK is given.
int open_file(const char* path, int mode);
// The size in bytes, or -1.
int64_t file_size_q(int fd);
bool seek_file(int fd, int64_t offset);
// Bytes read, or -1 on failure.
int64_t read_data(int fd, uint8_t* buffer, int64_t count);
// Bytes written (all of them, short writes and interrupts resumed), or -1.
int64_t write_data(int fd, const uint8_t* buffer, int64_t count);
void close_file(int fd);
// True for files and directories alike.
bool file_exists_q(const char* path);
// One level; no parents made.
bool make_dir(const char* path);
// A file, or (dir) an empty directory.
bool remove_path(const char* path, bool dir);
// Never replaces an existing target: false, and both stay as they were.
bool rename_path(const char* from, const char* to);
// The directory form of a path, by its spelling only: it ends in "/", or
// is ".", "..", or ends in "/." or "/..".
bool dir_q(const Cell* path);
// The process's current directory, ending in "/" (empty when the OS
// refuses it); set_current_dir answers false when it cannot go there.
std::string get_current_dir();
bool set_current_dir(const char* path);

// ---- Value level -----------------------------------------------------------------------

// read of a file!: a directory form lists the directory; otherwise the
// file's content (part and seek: integer! cells or null) as a binary!
// (binary), a block of lines (lines) or a string!. The result goes to
// `result`; access cannot-open with the file when it cannot be read.
Cell* read(Cell* file, Cell* part, Cell* seek, bool binary, bool lines, Cell* result);
// The content of the file at an OS path, or false when it cannot be
// opened, sized or read (part and seek -1 when absent).
bool read_file(const char* path, int64_t part, int64_t seek, bool binary, bool lines, Cell* result);
// The content of an open descriptor, as read_file gives it; the descriptor
// stays open. A file whose size the system cannot tell (a pipe, a device, a
// file of /proc) is read to its end in chunks: its bytes can be read only
// once. No value holds more than SERIES_MAX_BYTES, so a file that goes on
// beyond `most` bytes raises internal no-memory (tests pass a smaller most).
bool read_descriptor(int fd, int64_t part, int64_t seek, bool binary, bool lines, Cell* result,
                     int64_t most = SERIES_MAX_BYTES);
// The entries of a directory as file! values sorted by name, directories
// with a trailing "/", without "." and ".."; cannot-open when it cannot be
// listed.
Cell* read_dir(Cell* dir, Cell* result);
// write of a file!: the data (part and seek: number! cells or null) as
// UTF-8 text, a binary's bytes or the molded value; with `lines` each value
// of a block (or a value that is not a block) is followed by LF. A plain
// write truncates the file, append and seek do not. A negative part writes
// nothing; a part that is not an integer raises script invalid-refine-arg,
// a file that cannot be written access cannot-open.
void write(Cell* file, Cell* data, Cell* part, Cell* seek, bool binary, bool append, bool lines);
// The bytes of the value: a string's UTF-8 (at most `part` characters when
// part is not negative), a binary's from its head (cut to part when part is
// at least 1), any other value molded (whole). The address stays valid until
// the next conversion or allocation.
const uint8_t* value_to_bytes(Cell* value, int64_t part, int64_t& count);
// delete of a file!: a directory form removes an empty directory, anything
// else a file.
bool remove(Cell* file);
bool rename(Cell* from, Cell* to);
// query of a file!: its last-write time, in UTC truncated to milliseconds,
// as a date! without zone; none when it does not exist, or when a path in
// directory form names something other than a directory.
Cell* query(Cell* file, Cell* result);
// The date! of a time in seconds and nanoseconds since 1-Jan-1970 UTC, to
// the millisecond.
Cell* file_date(Cell* result, int64_t seconds, int64_t nanoseconds);
// UTF-8 bytes as a new string!: a byte-order mark skipped, CR LF and lone
// CR turned into LF.
Cell* load_text(const uint8_t* bytes, int64_t count, Cell* result);
// UTF-8 bytes as a new block of strings, one per line: each LF ends a line,
// a CR before it dropped; a final LF adds no empty line.
Cell* lines_to_block(const uint8_t* bytes, int64_t count, Cell* result);

}  // namespace zel::simple_io
