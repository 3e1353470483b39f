// url! and file!: strings that name resources. They keep the string layout
// and inherit the string actions; what they add is their molded text, paths
// that join a name onto them, and their I/O: files through the file
// module of the OS services, HTTP URLs through its HTTP requests.
//
// Cell layout: as string! {header (type 9 url!, 8 file!), head index, node,
// conversion node}.
//
// Registration: url! (parent string!) with mold, eval-path, read, write
// and open of its own, random, reflect, set-path, the maths, put, sort, trim
// and the other port actions unsupported; file! (parent url!) with its own
// mold, read, write, delete, rename and query, and no open.
//
// Relies on: strings (storage), the workers of any value (form of path
// elements, any_value.h), the file I/O of the OS services (g_file_io,
// services.h).
#pragma once

#include "foundation/cell.h"

#include <vector>

namespace zel::url {

// URLs of schemes other than HTTP go through ports, made by parse-url and
// make port! a layer above, which fills this table when it registers; each
// entry leaves its answer in the url cell:
//   read    open (with /seek), copy (with /part), close;
//   write   open/write (with /seek), insert, copy, close;
//   open    open with the refinements given (access: /allow's argument).
struct Ports {
    void (*read)(Cell* url, Cell* part, Cell* seek);
    void (*write)(Cell* url, Cell* data, Cell* part, Cell* seek);
    void (*open)(Cell* url, bool new_, bool read, bool write, bool seek, Cell* access);
};
extern Ports g_ports;

// The mode that selects the component class (letters, digits and - . _ ~
// kept); any other mode, URL among them, selects the URL class.
constexpr int COMPONENT = 254;
constexpr int URL = 255;

// The percent-encoding class of a 7-bit code: true when it is kept as it is.
// Codes of 128 and above are never kept.
bool kept_q(uint32_t cp, int mode = 0);

// The UTF-8 bytes of any string value from its head, each byte its class
// does not keep written "%XX" (upper-case digits), into a new binary! in
// `out`.
Cell* encode(Cell* text, Cell* out, int mode);

// The text from its head with its escapes decoded, into a new string! in
// `out`. Consecutive escapes of one UTF-8 sequence give its character; an
// escape of a lead byte not followed by the rest of its sequence, and a "%"
// not followed by two hexadecimal digits, stay as they are. Malformed UTF-8
// inside escapes raises access invalid-utf8.
Cell* decode(Cell* text, Cell* out);

// The decoding under `decode` and the lexer's loading of files and URLs:
// the characters of the UTF-8 bytes [p, end) with their escapes decoded,
// appended to `out`. False at a malformed sequence, escaped or not, whose
// bytes (up to four) go to `bad` when given.
struct Malformed {
    uint8_t bytes[4];
    int length;
};
bool decode_bytes(const uint8_t* p, const uint8_t* end, std::vector<uint32_t>& out, Malformed* bad = nullptr);

void init();

}  // namespace zel::url

namespace zel::file {

// The file's text from its head as UTF-8, in the conversion buffer (valid
// until the next conversion): the path the OS is given. Paths are POSIX:
// the Zel path is the local one.
const char* to_os_path(Cell* file);

// The local form of a file! or string! from its head, as a new string! in
// `out`. Paths are POSIX, so the text is kept as it is; with `full` a
// relative path (one not starting with "/") gets the current directory in
// front.
Cell* to_local_path(Cell* path, Cell* out, bool full);

// The process's current directory as a new string! in `out`, ending with
// "/".
Cell* get_current_dir(Cell* out);

// A new file! in `cell` from a UTF-8 path.
Cell* make_at(Cell* cell, const char* utf8, int64_t length);

// Files and HTTP are the OS services' (simple_io, os/file.h and
// os/http.h), a layer above, which hand them over when they register:
//   read      a file! (part and seek integer! cells or null) into `result`,
//             as a binary!, a block of lines or a string!;
//   write     data to a file! (part and seek number! cells or null);
//   remove    a file, or an empty directory named in directory form;
//   rename    without ever replacing an existing target;
//   query     the last-write date (UTC, no zone) into `result`, or none;
//   request   an HTTP request: the method's symbol, the url!, the header
//             block and the data (null when absent), the response into
//             `result`; false on any failure.
struct FileIo {
    Cell* (*read)(Cell* file, Cell* part, Cell* seek, bool binary, bool lines, Cell* result);
    void (*write)(Cell* file, Cell* data, Cell* part, Cell* seek, bool binary, bool append, bool lines);
    bool (*remove)(Cell* file);
    bool (*rename)(Cell* from, Cell* to);
    Cell* (*query)(Cell* file, Cell* result);
    bool (*request)(uint32_t method, Cell* url, Cell* headers, Cell* data, bool binary, bool lines, bool info,
                    Cell* result);
};
extern FileIo g_file_io;

void init();

}  // namespace zel::file
