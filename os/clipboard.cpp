// The system clipboard (clipboard.h).
#include "os/clipboard.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "os/call.h"
#include "os/image.h"
#include "scalars/simple_types.h"
#include "scalars/text_to_number.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/file.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::clipboard {

namespace {

constexpr int TOOL_TIMEOUT_MS = 2000;
constexpr const char* TEXT_TYPES[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};
constexpr const char* FILES_TYPE = "text/uri-list";
constexpr const char* IMAGE_TYPES[] = {"image/png", "image/jpeg", "image/gif", "image/bmp"};

// What the process keeps when no system clipboard can be reached: none, a
// string!, a block of file!, or an image as its PNG bytes (a binary!).
Cell g_store;

enum class Backend { wayland, x11, store };

bool set_q(const char* variable) {
    const char* v = std::getenv(variable);
    return v && *v;
}

bool on_path(const char* tool) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
        candidate.push_back('/');
        candidate.append(tool);
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

Backend backend() {
    if (set_q("WAYLAND_DISPLAY") && on_path("wl-copy") && on_path("wl-paste")) return Backend::wayland;
    if (set_q("DISPLAY") && on_path("xclip")) return Backend::x11;
    return Backend::store;
}

// The types the clipboard offers; false when the tool failed to run. An
// empty clipboard (the tool answers with a failure status) offers none.
bool offered_types(Backend b, std::vector<std::string>& types) {
    std::string out;
    int status = b == Backend::wayland
                     ? call::run_tool({"wl-paste", "--list-types"}, "", &out, TOOL_TIMEOUT_MS)
                     : call::run_tool({"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"}, "", &out,
                                      TOOL_TIMEOUT_MS);
    if (status < 0) return false;
    if (status != 0) return true;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::string t = out.substr(start, end - start);
        if (!t.empty() && t.back() == '\r') t.pop_back();
        if (!t.empty()) types.push_back(t);
        start = end + 1;
    }
    return true;
}

// The clipboard's data of a type; false when the tool failed.
bool fetch(Backend b, const std::string& type, std::string& out) {
    int status = b == Backend::wayland
                     ? call::run_tool({"wl-paste", "--no-newline", "--type", type}, "", &out, TOOL_TIMEOUT_MS)
                     : call::run_tool({"xclip", "-selection", "clipboard", "-t", type, "-o"}, "", &out,
                                      TOOL_TIMEOUT_MS);
    return status == 0;
}

bool put(Backend b, const std::string& type, const std::string& data) {
    int status = b == Backend::wayland
                     ? call::run_tool({"wl-copy", "--type", type}, data, nullptr, TOOL_TIMEOUT_MS)
                     : call::run_tool({"xclip", "-selection", "clipboard", "-t", type, "-i"}, data, nullptr,
                                      TOOL_TIMEOUT_MS);
    return status == 0;
}

bool clear(Backend b) {
    if (b == Backend::wayland) return call::run_tool({"wl-copy", "--clear"}, "", nullptr, TOOL_TIMEOUT_MS) == 0;
    return put(b, "UTF8_STRING", "");
}

bool offers(const std::vector<std::string>& types, const char* type) {
    for (const std::string& t : types)
        if (t == type) return true;
    return false;
}

// A file! of the library's to-zel-file of a local path.
void zel_file_at(Cell* result, const std::string& path) {
    stack::TopScope scope;
    Cell* text = stack::push_new();
    call::make_lenient_string(text, reinterpret_cast<const uint8_t*>(path.data()), int64_t(path.size()));
    Cell name = word::load("to-zel-file");
    Cell function = *context::get(&name);
    if (exits::Exit e = interpreter::call_with(&function, text, 1, &name)) exits::raise_exit(e);
    *result = *(stack::top() - 1);
}

// The text, CRs dropped; none for an empty one.
void text_value(Cell* result, std::string text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (c != '\r') kept += c;
    if (kept.empty()) {
        cell::set(result, TYPE_NONE);
        return;
    }
    call::make_lenient_string(result, reinterpret_cast<const uint8_t*>(kept.data()), int64_t(kept.size()));
}

void files_value(Cell* result, const std::string& list) {
    std::vector<std::string> paths = paths_of_uri_list(list);
    Cell files{}, file{};
    gc::root keep(&files), keep_file(&file);
    block::make_at(&files, int(paths.size()) + 1);
    for (const std::string& p : paths) {
        zel_file_at(&file, p);
        block::append_cell(&files, &file);
    }
    *result = files;
}

// An image decoded from its bytes (the format found from them).
void image_value(Cell* result, const std::string& bytes) {
    Cell data{};
    gc::root keep(&data);
    binary::make_at(&data, int64_t(bytes.size()));
    binary::append_bytes(&data, reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
    image::decode(&data, result);
}

Cell* read_tools(Backend b, Cell* result) {
    std::vector<std::string> types;
    if (!offered_types(b, types)) return logic::set(result, false), result;
    std::string data;
    for (const char* type : TEXT_TYPES) {
        if (!offers(types, type)) continue;
        if (!fetch(b, type, data)) return logic::set(result, false), result;
        text_value(result, data);
        return result;
    }
    if (offers(types, FILES_TYPE)) {
        if (!fetch(b, FILES_TYPE, data)) return logic::set(result, false), result;
        files_value(result, data);
        return result;
    }
    for (const char* type : IMAGE_TYPES) {
        if (!offers(types, type)) continue;
        if (!fetch(b, type, data)) return logic::set(result, false), result;
        image_value(result, data);
        return result;
    }
    cell::set(result, TYPE_NONE);
    return result;
}

// The local, absolute paths of a block's files, as UTF-8.
std::vector<std::string> paths_of_block(Cell* block) {
    std::vector<std::string> paths;
    Cell list = *block;
    gc::root keep(&list);
    int n = block::length_q(&list);
    int32_t head = int32_t(list.data1);
    for (int i = 0; i < n; i++) {
        Cell item = *block::abs_at(&list, head + i);
        if (type_of(&item) != TYPE_FILE && type_of(&item) != TYPE_STRING) fire(ERR_script_invalid_arg, &item);
        Cell local{};
        gc::root keep_local(&local), keep_item(&item);
        file::to_local_path(&item, &local, true);
        paths.push_back(unicode::to_utf8_string(&local));
    }
    return paths;
}

void mark_store() { collector::mark_value(&g_store); }

}  // namespace

std::vector<std::string> paths_of_uri_list(const std::string& list) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line.rfind("file://", 0) != 0) continue;
        // file://host/path: the path starts at the first slash after the host.
        size_t slash = line.find('/', 7);
        if (slash == std::string::npos) continue;
        std::string path;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(line.data()) + slash;
        const uint8_t* stop = reinterpret_cast<const uint8_t*>(line.data()) + line.size();
        while (p < stop) {
            int byte = -1;
            if (*p == '%') text_to_number::hex_pair(p + 1, stop, byte);
            if (byte >= 0) {
                path += char(byte);
                p += 3;
            } else {
                path += char(*p++);
            }
        }
        paths.push_back(path);
    }
    return paths;
}

std::string uri_list_of(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& p : paths) {
        if (!list.empty()) list += "\r\n";
        list += "file://";
        for (unsigned char c : p) {
            if (c == '/' || (c < 128 && url::kept_q(c, url::COMPONENT))) {
                list += char(c);
            } else {
                list += '%';
                list += string::byte_to_hex(c);
            }
        }
    }
    return list;
}

Cell* read(Cell* result) {
    Backend b = backend();
    if (b != Backend::store) return read_tools(b, result);
    Cell copy_of = g_store;
    gc::root keep(&copy_of);
    if (type_of(&copy_of) == TYPE_STRING) series::copy(&copy_of, result, nullptr, false, nullptr);
    else if (type_of(&copy_of) == TYPE_BLOCK) block::copy(&copy_of, result, nullptr, true, nullptr);
    else if (type_of(&copy_of) == TYPE_BINARY) image::decode(&copy_of, result);
    else cell::set(result, TYPE_NONE);
    return result;
}

bool write(Cell* value) {
    int type = type_of(value);
    if (type != TYPE_STRING && type != TYPE_BLOCK && type != TYPE_NONE && type != TYPE_IMAGE)
        fire(ERR_script_invalid_arg, value);
    std::vector<std::string> paths;
    if (type == TYPE_BLOCK) paths = paths_of_block(value);
    // An image goes as PNG, alpha kept; one without pixels empties the
    // clipboard.
    std::vector<uint8_t> png;
    bool empty_image = type == TYPE_IMAGE && image::pixel_count(value) == 0;
    if (type == TYPE_IMAGE && !empty_image && !image::to_png(value, png)) fire(ERR_access_bad_media);
    Backend b = backend();
    if (b == Backend::store) {
        Cell kept{};
        gc::root keep(&kept);
        if (type == TYPE_STRING) {
            series::copy(value, &kept, nullptr, false, nullptr);
        } else if (type == TYPE_BLOCK) {
            block::copy(value, &kept, nullptr, true, nullptr);
        } else if (type == TYPE_IMAGE && !empty_image) {
            binary::make_at(&kept, int64_t(png.size()));
            binary::append_bytes(&kept, png.data(), int64_t(png.size()));
        } else {
            cell::set(&kept, TYPE_NONE);
        }
        g_store = kept;
        return true;
    }
    if (type == TYPE_NONE || empty_image) return clear(b);
    if (type == TYPE_STRING) return put(b, b == Backend::wayland ? TEXT_TYPES[0] : "UTF8_STRING", unicode::to_utf8_string(value));
    if (type == TYPE_IMAGE) return put(b, "image/png", std::string(png.begin(), png.end()));
    return put(b, FILES_TYPE, uri_list_of(paths));
}

void init() {
    cell::set(&g_store, TYPE_NONE);
    collector::add_mark_callback(mark_store, "the clipboard's store");
}

}  // namespace zel::clipboard
