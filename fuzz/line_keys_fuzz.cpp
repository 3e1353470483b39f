// Fuzz target: random bytes as what a terminal sends the line editor. The
// first bytes choose the screen's width and height and where the reads are
// split; the rest are the keys. The decoder must give the same keys however
// the bytes are split, and only codes the editor knows: code points (no
// surrogates), the negative key codes, 0, or a cursor report. The editor,
// driven by those keys on that screen (Tab answering a fixed completion),
// must not fault, and must write only well-formed UTF-8.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/line_editor.h"

namespace {

namespace le = zel::line_editor;

void check(bool ok) {
    if (!ok) std::abort();
}

bool known(int32_t key) {
    if (key == le::KEY_CURSOR_REPORT || key == 0) return true;
    if (key < 0) return key >= le::KEY_PAGE_DOWN && key <= le::KEY_UP;
    return key <= 0x10FFFF && (key < 0xD800 || key > 0xDFFF);
}

bool well_formed_utf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        uint8_t b = uint8_t(s[i]);
        int n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (n < 0 || i + size_t(n) >= s.size()) return false;
        for (int k = 1; k <= n; k++)
            if ((uint8_t(s[i + size_t(k)]) & 0xC0) != 0x80) return false;
        i += size_t(n) + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    int columns = 1 + data[0] % 12;
    int rows = 1 + data[1] % 6;
    size_t split = 1 + data[2] % 7;
    const char* bytes = reinterpret_cast<const char*>(data + 3);
    size_t n = size - 3;

    le::KeyDecoder whole, pieces;
    std::vector<int32_t> at_once, in_pieces;
    whole.feed(bytes, n, at_once);
    for (size_t i = 0; i < n; i += split) pieces.feed(bytes + i, std::min(split, n - i), in_pieces);
    whole.timeout(at_once);
    pieces.timeout(in_pieces);
    check(at_once == in_pieces);
    for (int32_t k : at_once) check(known(k));

    std::string written;
    size_t next = 0;
    // Half-way through the keys the screen widens, as a resize while a read
    // waits.
    le::Editor* editor = nullptr;
    bool resized = false;
    std::vector<std::u32string> history = {U"one", U"\U0001F34E\t\u4E2D", U""};
    le::Hooks hooks{
        [&]() -> int32_t {
            if (!resized && next >= at_once.size() / 2) {
                resized = true;
                editor->resize(columns + 3, rows);
            }
            while (next < at_once.size() && at_once[next] == le::KEY_CURSOR_REPORT) next++;
            return next < at_once.size() ? at_once[next++] : -1;
        },
        [&](const std::string& s) { written += s; },
        [&] { return int(history.size()); },
        [&](int i, std::u32string& out) {
            if (i == 2) return false;  // no text
            out = history[size_t(i)];
            return true;
        },
        [&](const std::u32string& line, size_t cursor) {
            check(cursor <= line.size());
            le::Completion c;
            if (line.size() % 3 == 1) {
                c.kind = le::Completion::line;
                c.text = line + U"\u00E9\U0001F300";
                c.cursor = line.size() + 5;  // beyond the end: clamped
            } else if (line.size() % 3 == 2) {
                c.kind = le::Completion::several;
                c.text = U"ab";
                c.cursor = 9;
                c.candidates = {U"abc", U"abd\t"};
            }
            return c;
        },
    };
    le::Editor ed(hooks);
    editor = &ed;
    std::u32string line;
    for (int read = 0; read < 4; read++) {
        le::Ending e = ed.edit(U"\x1b[31m>\x1b[0m ", read == 1, columns, rows, read % columns, read - 1, line);
        if (e == le::Ending::end_of_input) break;
    }
    check(well_formed_utf8(written));
    return 0;
}
