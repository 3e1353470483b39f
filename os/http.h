// simple-io's HTTP requests, through libcurl: one easy handle per request,
// made and released within the call; no socket code of our own. libcurl is
// opened, and initialised once, at the first request, so that start-up
// does not pay for loading it; a system without it fails every request.
//
// A request follows redirects and keeps only the final response's status
// and headers; an error status (a 404) still answers its body. It gives up
// on a connection that takes 60 s to open or moves under one byte a second
// for 30 s. TLS certificates are verified.
//
// Relies on: strings (the URL and the bodies as UTF-8), binaries, blocks,
// maps, words (header names as keys), the text conversions of the file
// module (load_text, lines_to_block), molding (header names and values that
// are not text).
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/cell.h"

namespace zel::simple_io {

// The request: the method's symbol (get, head and post by identity, any
// other word by its spelling in upper case), the url!, the header block
// (null: the three default headers) and the data (null: no body; get and
// head never send one). The response body goes to `result` as a binary!
// (binary), a block of lines (lines) or a string!; with info, a block
// [status headers-map body]. False, with nothing made, on any failure.
bool request_http(uint32_t method, Cell* url, Cell* headers, Cell* data, bool binary, bool lines, bool info,
                  Cell* result);

// The header lines of a response ("Name: value" each, CR LF or LF ended) as
// a new map! in `result`: the name as a word is the key, the value a string
// with the blanks around it trimmed; a name met again makes its entry a
// block of the strings. Lines without a colon (the status line) are skipped.
Cell* headers_to_map(std::string_view text, Cell* result);

}  // namespace zel::simple_io
