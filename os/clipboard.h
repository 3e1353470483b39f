// The system clipboard behind `read-clipboard` and `write-clipboard`.
//
// A chain of back-ends, chosen at each call: Wayland when WAYLAND_DISPLAY
// is set and wl-copy and wl-paste are on the PATH; else X11 when DISPLAY is
// set and xclip is (the clipboard selection); else a store inside the
// process. The tools run without a shell, each for at most two seconds; a
// tool that is missing, fails or does not answer gives false, never an
// error or a hang.
//
// Formats, read in this order: text (text/plain;charset=utf-8, UTF8_STRING
// or text/plain; every CR dropped), then files (text/uri-list: file:// URIs
// percent-decoded, each through the library's to-zel-file), then images
// (image/png, image/jpeg, image/gif, image/bmp, decoded by the image
// back-end). Written: a string as UTF-8, a block of files as text/uri-list
// (absolute paths, percent-encoded, CR LF between lines), an image as PNG
// (alpha kept; one without pixels empties the clipboard), none empties it.
//
// Relies on: child processes (run_tool), strings, blocks, files and their
// percent-encoding, the evaluator (to-zel-file), the collector (the store
// is a root).
#pragma once

#include <string>
#include <vector>

#include "foundation/cell.h"

namespace zel::clipboard {

// false when the clipboard cannot be read, none when it holds nothing of
// the formats, else a string!, a block of file! or an image!; into
// `result`.
Cell* read(Cell* result);

// True on success. A value that is not a string, a block of files, an
// image or none raises script invalid-arg.
bool write(Cell* value);

// The paths of a text/uri-list (file:// entries only, percent-decoded, as
// UTF-8 bytes); and the list for paths given as UTF-8.
std::vector<std::string> paths_of_uri_list(const std::string& list);
std::string uri_list_of(const std::vector<std::string>& paths);

// Registers the store as a collector root (run-time init).
void init();

}  // namespace zel::clipboard
