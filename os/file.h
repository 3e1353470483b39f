// simple-io: the run-time's whole access to files and directories. Plain
// functions over POSIX descriptors and paths; no buffering layer and no
// open-file object: every operation opens, works and closes within one call.
// File contents are read whole into memory and become a binary!, a string!
// (UTF-8 on disk) or a block of lines.
//
// The low-level functions answer OS-style results (-1, false) and never
// raise; the value-level functions above them raise Zel errors (access
// cannot-open).
//
// Relies on: strings and the UTF-8 decoder, binaries, blocks, the tracked
// heap (the buffer a file is read into), file! (the OS path of a value).
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
void close_file(int fd);
// True for files and directories alike.
bool file_exists_q(const char* path);
// One level; no parents made.
bool make_dir(const char* path);
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
// UTF-8 bytes as a new string!: a byte-order mark skipped, CR LF and lone
// CR turned into LF.
Cell* load_text(const uint8_t* bytes, int64_t count, Cell* result);
// UTF-8 bytes as a new block of strings, one per line: each LF ends a line,
// a CR before it dropped; a final LF adds no empty line.
Cell* lines_to_block(const uint8_t* bytes, int64_t count, Cell* result);

}  // namespace zel::simple_io
