// url! and file!: molded text, path joining, and their I/O handlers, which
// check the refinements and the request block and leave the work to the OS
// services (g_file_io).
//
// Cell layout: as string! (see file.h).
//
// Relies on: strings, blocks, logic!, the predefined method words, the
// workers of any value (forming path elements), the OS services' file and
// HTTP I/O (g_file_io).
#include "series/file.h"

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "scalars/simple_types.h"
#include "scalars/text_to_number.h"
#include "series/any_value.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/series.h"
#include "series/services.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/words.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zel::url {

namespace {

// The URL class: letters, digits and ! # $ & ' ( ) * + , - . / : = ? @ _ ~.
constexpr const char* KEPT_MARKS = "!#$&'()*+,-./:=?@_~";

// "%" and two upper-case hexadecimal digits for each UTF-8 byte of a
// character outside the class, and of "(" and ")", at which the lexer ends a
// URL. The scheme, up to the first ":", is written as it is: the lexer reads
// it as a word, in which an escape cannot stand.
int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    Cell text = *value;
    int n = string::length_q(&text);
    int32_t head = int32_t(text.data1);
    int colon = 0;
    while (colon < n && string::abs_at(&text, head + colon) != ':') colon++;
    if (colon == n) colon = 0;  // no scheme
    for (int i = 0; i < n && part > 0; i++) {
        uint32_t cp = string::abs_at(&text, head + i);
        Series* s = string::buffer_of(buffer);
        if (i < colon || (cp < 128 && kept_q(cp) && cp != '(' && cp != ')')) {
            string::append_char(s, cp);
            part--;
            continue;
        }
        uint8_t bytes[4];
        int count = unicode::cp_to_utf8(cp, bytes);
        for (int b = 0; b < count && part > 0; b++) {
            s = string::append_char(string::buffer_of(buffer), '%');
            const char* hex = string::byte_to_hex(bytes[b]);
            s = string::append_char(s, uint32_t(hex[0]));
            string::append_char(s, uint32_t(hex[1]));
            part--;
        }
    }
    return part;
}

// url/name, %dir/name: a new value of the same type, the element's text
// joined on with exactly one "/" between them; the value stays as it was.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int, bool, bool, bool) {
    if (value) fire(ERR_script_bad_path_set, path, element);
    static Cell joined;
    joined = Cell{};  // what the last call made may be gone
    Cell base = *parent, part{};
    gc::root keep_base(&base), keep_part(&part), keep_joined(&joined);
    string::make_at(&part, 16);
    any_value::form(element, &part, INT32_MAX);
    string::make_at(&joined, string::length_q(&base) + string::length_q(&part) + 1);
    string::concatenate(&joined, &base, -1, 0, true, string::CONCAT_APPEND);
    int n = string::length_q(&joined);
    bool ends = n > 0 && string::abs_at(&joined, n - 1) == '/';
    bool begins = string::length_q(&part) > 0 && string::abs_at(&part, int32_t(part.data1)) == '/';
    if (ends && begins) string::remove_char(&joined, n - 1);
    if (!ends && !begins) string::append_char(string::buffer_of(&joined), '/');
    string::concatenate(&joined, &part, -1, 0, true, string::CONCAT_APPEND);
    cell::set_type(&joined, type_of(parent));
    return &joined;
}

// A block, paren or hash! gives scheme "://" host [":" port] then the other
// items joined by "/", or by "#" before an issue!; any other spec converts
// as a string.
Cell* from_items(Cell* proto, Cell* spec, int type, bool by_make) {
    int spec_type = type_of(spec);
    if (spec_type != TYPE_BLOCK && spec_type != TYPE_PAREN && spec_type != TYPE_HASH) {
        auto fallback = by_make ? datatype::handler<ACT_MAKE>(TYPE_STRING) : datatype::handler<ACT_TO>(TYPE_STRING);
        return fallback(proto, spec, type);
    }
    Cell items = *spec;
    gc::root keep_items(&items);
    int n = block::length_q(&items);
    if (n <= 0) raise::bad_to_arg(TYPE_URL, spec);
    int32_t head = int32_t(items.data1);
    string::make_at(proto, 32);
    gc::root keep_proto(proto);
    auto text = [proto](const char* literal) {
        for (const char* c = literal; *c; c++) string::append_char(string::buffer_of(proto), uint32_t(*c));
    };
    any_value::form(block::abs_at(&items, head), proto, INT32_MAX);
    text("://");
    int i = 1;
    if (i < n) any_value::form(block::abs_at(&items, head + i++), proto, INT32_MAX);
    if (i < n && type_of(block::abs_at(&items, head + i)) == TYPE_INTEGER) {
        text(":");
        any_value::form(block::abs_at(&items, head + i++), proto, INT32_MAX);
    }
    for (; i < n; i++) {
        Cell* item = block::abs_at(&items, head + i);
        text(type_of(item) == TYPE_ISSUE ? "#" : "/");
        any_value::form(item, proto, INT32_MAX);
    }
    cell::set_type(proto, type);
    return proto;
}

Cell* make(Cell* proto, Cell* spec, int type) { return from_items(proto, spec, type, true); }
Cell* to(Cell* proto, Cell* spec, int type) { return from_items(proto, spec, type, false); }

// The byte of the escape at p ("%" and two hexadecimal digits), or -1.
int escape_at(const uint8_t* p, const uint8_t* end) {
    if (p >= end || p[0] != '%') return -1;
    int byte;
    text_to_number::hex_pair(p + 1, end, byte);
    return byte;
}

// HTTP URLs are the OS services' requests; every other URL goes through a
// port of its scheme.
bool http_q(Cell* url) {
    Cell text = *url;
    int n = string::length_q(&text);
    int32_t head = int32_t(text.data1);
    const char* prefix = "http";
    for (int i = 0; prefix[i]; i++)
        if (i >= n || string::abs_at(&text, head + i) != uint32_t(prefix[i])) return false;
    return true;
}

// A none answer of the request service is a failed connection.
void request(uint32_t method, Cell* url, Cell* headers, Cell* data, bool binary, bool lines, bool info, Cell* result) {
    Cell target = *url;
    gc::root keep(&target);
    if (!file::g_file_io.request(method, &target, headers, data, binary, lines, info, result))
        fire(ERR_access_no_connect, &target);
}

Cell* read(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as) {
    if (!http_q(source)) {
        g_ports.read(source, part, seek);
        return source;
    }
    if (part || seek || as) fire(ERR_internal_not_done);
    request(words::symbol(words::Sym::get), source, nullptr, nullptr, binary, lines, info, source);
    return source;
}

// Data that is not a block is posted; a block is [method headers data],
// each optional after the method, an empty one a plain get.
Cell* write(Cell* destination, Cell* data, bool, bool, bool info, bool, Cell* part, Cell* seek, Cell* allow,
            Cell* as) {
    if (!http_q(destination)) {
        g_ports.write(destination, data, part, seek);
        return destination;
    }
    if (seek || allow || as) fire(ERR_internal_not_done);
    uint32_t method = words::symbol(words::Sym::post);
    Cell headers{}, body = *data;
    gc::root keep_headers(&headers), keep_body(&body);
    bool has_headers = false;
    if (type_of(data) == TYPE_BLOCK) {
        Cell spec = *data;
        int n = block::length_q(&spec);
        int32_t head = int32_t(spec.data1);
        cell::set(&body, TYPE_NONE);
        if (n == 0) {
            method = words::symbol(words::Sym::get);
        } else {
            Cell* first = block::abs_at(&spec, head);
            if (type_of(first) != TYPE_WORD) fire(ERR_script_invalid_arg, first);
            method = first->data2;
            if (n > 1) {
                Cell* second = block::abs_at(&spec, head + 1);
                if (type_of(second) != TYPE_BLOCK) fire(ERR_script_invalid_arg, second);
                headers = *second;
                has_headers = true;
            }
            if (n > 2) body = *block::abs_at(&spec, head + 2);
        }
    }
    int body_type = type_of(&body);
    if (body_type != TYPE_NONE && body_type != TYPE_BLOCK && body_type != TYPE_STRING && body_type != TYPE_BINARY)
        fire(ERR_script_invalid_arg, &body);
    request(method, destination, has_headers ? &headers : nullptr, body_type == TYPE_NONE ? nullptr : &body, false,
            false, info, destination);
    return destination;
}

Cell* open(Cell* url, bool new_, bool read, bool write, bool seek, Cell* access) {
    g_ports.open(url, new_, read, write, seek, access);
    return url;
}

}  // namespace

bool kept_q(uint32_t cp, int mode) {
    if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9')) return true;
    for (const char* m = mode == COMPONENT ? "-._~" : KEPT_MARKS; *m; m++)
        if (uint32_t(*m) == cp) return true;
    return false;
}

Cell* encode(Cell* text, Cell* out, int mode) {
    int limit = -1;
    const char* utf8 = unicode::to_utf8(text, limit);
    std::string bytes(utf8, size_t(limit));  // the conversion buffer is reused below
    binary::make_at(out, int64_t(bytes.size()) * 3);
    for (unsigned char b : bytes) {
        if (b < 128 && kept_q(b, mode)) {
            binary::append_bytes(out, &b, 1);
            continue;
        }
        const char* hex = string::byte_to_hex(b);
        uint8_t escape[3] = {'%', uint8_t(hex[0]), uint8_t(hex[1])};
        binary::append_bytes(out, escape, 3);
    }
    return out;
}

bool decode_bytes(const uint8_t* p, const uint8_t* end, std::vector<uint32_t>& out, Malformed* bad) {
    auto malformed = [bad](const uint8_t* bytes, int64_t n) {
        if (bad) {
            bad->length = int(std::min<int64_t>(n, 4));
            std::memcpy(bad->bytes, bytes, size_t(bad->length));
        }
        return false;
    };
    while (p < end) {
        int byte = escape_at(p, end);
        if (byte >= 0) {
            int size = unicode::utf8_char_size_q(uint8_t(byte));
            if (size == 0) {
                out.push_back(uint32_t(byte));
                p += 3;
                continue;
            }
            uint8_t sequence[4] = {uint8_t(byte)};
            int have = 1;
            for (int next; have < size && (next = escape_at(p + 3 * have, end)) >= 0;) sequence[have++] = uint8_t(next);
            if (have == size) {
                int32_t cp;
                const uint8_t* after = unicode::fast_decode_utf8_char(sequence, cp, sequence + size);
                if (cp < 0 || after != sequence + size) return malformed(sequence, size);
                out.push_back(uint32_t(cp));
                p += 3 * size;
                continue;
            }
            // A lead escape without the rest of its sequence stays as it is.
        }
        int32_t cp;
        const uint8_t* at = p;
        p = unicode::fast_decode_utf8_char(p, cp, end);
        if (cp < 0) return malformed(at, p - at);
        out.push_back(uint32_t(cp));
    }
    return true;
}

Cell* decode(Cell* text, Cell* out) {
    int limit = -1;
    const char* utf8 = unicode::to_utf8(text, limit);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8);
    std::vector<uint32_t> cps;
    Malformed bad;
    if (!decode_bytes(p, p + limit, cps, &bad)) unicode::raise_invalid_utf8(bad.bytes, bad.length);
    string::make_at(out, int(cps.size()) + 1);
    for (uint32_t cp : cps) string::append_char(string::buffer_of(out), cp);
    return out;
}

Ports g_ports = {
    [](Cell*, Cell*, Cell*) { platform::missing_hook("port reading"); },
    [](Cell*, Cell*, Cell*, Cell*) { platform::missing_hook("port writing"); },
    [](Cell*, bool, bool, bool, bool, Cell*) { platform::missing_hook("port opening"); },
};

void init() {
    datatype::TypeRecord r(TYPE_URL, TYPE_STRING, "url!", true);
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_READ>(read).set<ACT_WRITE>(write).set<ACT_OPEN>(open);
    for (int action : {ACT_RANDOM, ACT_REFLECT, ACT_SET_PATH, ACT_PUT, ACT_SORT, ACT_TRIM, ACT_CREATE, ACT_CLOSE,
                       ACT_DELETE, ACT_OPEN_Q, ACT_QUERY, ACT_RENAME, ACT_UPDATE})
        r.unsupported(action);
    for (int action = ACT_ABSOLUTE; action <= ACT_XOR_T; action++) r.unsupported(action);
    datatype::register_type(r);
}

}  // namespace zel::url

namespace zel::file {

FileIo g_file_io = {
    [](Cell*, Cell*, Cell*, bool, bool, Cell*) -> Cell* { platform::missing_hook("file reading"); },
    [](Cell*, Cell*, Cell*, Cell*, bool, bool, bool) { platform::missing_hook("file writing"); },
    [](Cell*) -> bool { platform::missing_hook("file deleting"); },
    [](Cell*, Cell*) -> bool { platform::missing_hook("file renaming"); },
    [](Cell*, Cell*) -> Cell* { platform::missing_hook("file dates"); },
    [](uint32_t, Cell*, Cell*, Cell*, bool, bool, bool, Cell*) -> bool { platform::missing_hook("HTTP requests"); },
};

namespace {

// A character a file name cannot hold without quotes: one up to 126 outside
// the URL class, the URL marks at which the lexer ends an unquoted file
// ("(", ")", ":", "@"), since its name would load cut short, and a
// surrogate, which only an escape writes.
bool needs_quotes_q(uint32_t cp) {
    if (cp > 126) return cp >= 0xD800 && cp <= 0xDFFF;
    return !url::kept_q(cp) || cp == '(' || cp == ')' || cp == ':' || cp == '@';
}

// "%" and the characters; "%""" when empty. A name that needs quotes is
// written in double quotes with the caret escapes of strings (a double
// quote as ^"), so that it loads back as it is.
int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    Cell text = *value;
    int n = string::length_q(&text);
    int32_t head = int32_t(text.data1);
    part = cell_text::mold_literal(buffer, "%", false, part);
    if (n == 0) return cell_text::mold_literal(buffer, "\"\"", false, part);
    bool quoted = false;
    for (int i = 0; i < n && !quoted; i++) quoted = needs_quotes_q(string::abs_at(&text, head + i));
    if (quoted) part = cell_text::mold_literal(buffer, "\"", false, part);
    for (int i = 0; i < n && part > 0; i++, part--) {
        uint32_t cp = string::abs_at(&text, head + i);
        if (!quoted)
            string::append_char(string::buffer_of(buffer), cp);
        else
            string::append_escaped_char(buffer, cp, false);
    }
    if (quoted) part = cell_text::mold_literal(buffer, "\"", false, part);
    return part;
}

Cell* read(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool, Cell* as) {
    if (as) fire(ERR_internal_not_done);
    Cell file = *source;
    gc::root keep(&file);
    g_file_io.read(&file, part, seek, binary, lines, source);
    return source;
}

Cell* write(Cell* destination, Cell* data, bool binary, bool lines, bool, bool append, Cell* part, Cell* seek,
            Cell* allow, Cell* as) {
    if (allow || as) fire(ERR_internal_not_done);
    Cell file = *destination;
    gc::root keep(&file);
    g_file_io.write(&file, data, part, seek, binary, append, lines);
    cell::set(destination, TYPE_UNSET);
    return destination;
}

Cell* remove(Cell* file) {
    logic::set(file, g_file_io.remove(file));
    return file;
}

Cell* rename(Cell* from, Cell* to) {
    if (!series::any_string(type_of(to))) fire(ERR_script_invalid_arg, to);
    logic::set(from, g_file_io.rename(from, to));
    return from;
}

Cell* query(Cell* file) {
    Cell target = *file;
    gc::root keep(&target);
    return g_file_io.query(&target, file);
}

}  // namespace

const char* to_os_path(Cell* file) {
    int limit = -1;
    return unicode::to_utf8(file, limit);
}

Cell* to_local_path(Cell* path, Cell* out, bool full) {
    Cell source = *path;
    gc::root keep(&source);
    bool relative = string::length_q(&source) <= 0 || string::abs_at(&source, int32_t(source.data1)) != '/';
    if (full && relative) get_current_dir(out);
    else string::make_at(out, string::length_q(&source) + 1);
    gc::root keep_out(out);
    string::concatenate(out, &source, -1, 0, true, string::CONCAT_APPEND);
    cell::set_type(out, TYPE_STRING);
    return out;
}

Cell* get_current_dir(Cell* out) {
    std::string dir = platform::get_current_dir();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return string::make_from_utf8(out, reinterpret_cast<const uint8_t*>(dir.data()), int64_t(dir.size()));
}

Cell* make_at(Cell* cell, const char* utf8, int64_t length) {
    string::make_from_utf8(cell, reinterpret_cast<const uint8_t*>(utf8), length);
    cell::set_type(cell, TYPE_FILE);
    return cell;
}

void init() {
    datatype::TypeRecord r(TYPE_FILE, TYPE_URL, "file!", true);
    r.set<ACT_MOLD>(mold).set<ACT_READ>(read).set<ACT_WRITE>(write);
    r.set<ACT_DELETE>(remove).set<ACT_RENAME>(rename).set<ACT_QUERY>(query);
    r.unsupported(ACT_OPEN);
    datatype::register_type(r);
}

}  // namespace zel::file
