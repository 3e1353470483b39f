// url! and file!: strings that name resources. They keep the string layout
// and inherit the string actions; what they add is their molded text, paths
// that join a name onto them, and reading (file! through the file I/O
// module).
//
// Cell layout: as string! {header (type 9 url!, 8 file!), head index, node,
// conversion node}.
//
// Registration: url! (parent string!) with mold and eval-path of its own,
// random, reflect, set-path, the maths, put, sort, trim and the port
// actions unsupported; file! (parent url!) with its own mold and read.
//
// Relies on: strings (storage), the workers of any value (form of path
// elements, any_value.h), the file I/O of the OS services (g_file_io,
// services.h).
#pragma once

#include "foundation/cell.h"

namespace zel::url {

// The percent-encoding class of a 7-bit code: true when it is kept as it is.
bool kept_q(uint32_t cp);

void init();

}  // namespace zel::url

namespace zel::file {

// The file's text from its head as UTF-8, in the conversion buffer (valid
// until the next conversion): the path the OS is given. Paths are POSIX:
// the Zel path is the local one.
const char* to_os_path(Cell* file);

// A new file! in `cell` from a UTF-8 path.
Cell* make_at(Cell* cell, const char* utf8, int64_t length);

// Reading a file is the OS services' (simple_io::read, os/file.h), a layer
// above, which hand it over when they register: read of a file! (part and
// seek integer! cells or null) into `result`, as a binary!, a block of
// lines or a string!.
struct FileIo {
    Cell* (*read)(Cell* file, Cell* part, Cell* seek, bool binary, bool lines, Cell* result);
};
extern FileIo g_file_io;

void init();

}  // namespace zel::file
