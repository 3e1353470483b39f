// simple-io's HTTP requests over libcurl (see http.h).
//
// Relies on: libcurl (opened with dlopen), strings, binaries, blocks, maps, words, integers, the
// file module's text conversions, url!'s character classes (escaping what a
// URL cannot hold as it is).
#include "os/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "foundation/collector.h"
#include "os/dynamic_library.h"
#include "os/file.h"
#include "scalars/integer.h"
#include "series/any_value.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/file.h"
#include "series/map.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::simple_io {

namespace {

constexpr long CONNECT_TIMEOUT_S = 60;
constexpr long LOW_SPEED_TIME_S = 30;

// Sent when a request brings no header block of its own, and only then.
constexpr const char* DEFAULT_HEADERS[] = {
    "Content-Type: application/x-www-form-urlencoded",
    "Accept-Charset: UTF-8",
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)",
};

// The functions of libcurl used here, found when it is first opened.
struct Curl {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL* curl, CURLoption option, ...);
    CURLcode (*easy_perform)(CURL* curl);
    CURLcode (*easy_getinfo)(CURL* curl, CURLINFO info, ...);
    void (*easy_cleanup)(CURL* curl);
    curl_slist* (*slist_append)(curl_slist* list, const char* text);
    void (*slist_free_all)(curl_slist* list);
};

using dynamic_library::find;

bool fill_curl(void* library, Curl& curl) {
    return find(library, "curl_global_init", curl.global_init) && find(library, "curl_easy_init", curl.easy_init) &&
           find(library, "curl_easy_setopt", curl.easy_setopt) &&
           find(library, "curl_easy_perform", curl.easy_perform) &&
           find(library, "curl_easy_getinfo", curl.easy_getinfo) &&
           find(library, "curl_easy_cleanup", curl.easy_cleanup) &&
           find(library, "curl_slist_append", curl.slist_append) &&
           find(library, "curl_slist_free_all", curl.slist_free_all);
}

bool init_curl(Curl& curl) { return curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

// libcurl, opened and initialised at the first call; null, then and ever
// after, when it cannot be.
const Curl* curl_library() { return dynamic_library::open_once<Curl>(ZEL_CURL_SONAME, fill_curl, init_curl); }

// A header name or value: a word's spelling, a string as it is, any other
// value formed.
std::string header_text(Cell* value) {
    int type = type_of(value);
    if (type == TYPE_WORD || type == TYPE_SET_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD) {
        int32_t length;
        const uint8_t* name = symbol::utf8(value->data2, length);
        return std::string(reinterpret_cast<const char*>(name), size_t(length));
    }
    if (type == TYPE_STRING) return unicode::to_utf8_string(value);
    Cell text{};
    gc::root keep(&text);
    string::make_at(&text, 16);
    any_value::form(value, &text, INT32_MAX);
    return unicode::to_utf8_string(&text);
}

// The URL's text with the bytes a URL cannot hold as they are (blanks,
// quotes, characters beyond ASCII) escaped; "%" is taken as an escape
// already made, the brackets as those of an IPv6 host.
std::string url_text(Cell* url) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : unicode::to_utf8_string(url)) {
        if (b < 128 && (url::kept_q(b) || b == '%' || b == '[' || b == ']')) {
            text += char(b);
        } else {
            text += '%';
            text += HEX[b >> 4];
            text += HEX[b & 15];
        }
    }
    return text;
}

std::string method_text(uint32_t method) {
    uint32_t m = symbol::resolve(method);
    if (m == symbol::resolve(words::symbol(words::Sym::get))) return "GET";
    if (m == symbol::resolve(words::symbol(words::Sym::head))) return "HEAD";
    if (m == symbol::resolve(words::symbol(words::Sym::post))) return "POST";
    int32_t length;
    const uint8_t* name = symbol::utf8(method, length);
    std::string text(reinterpret_cast<const char*>(name), size_t(length));
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The lines of the request's headers: the block's name/value pairs (a last
// name without a value ignored), or else the defaults. curl's own
// Content-Type for a body and its Expect are turned off, so that what goes
// out is what the script asked for.
std::vector<std::string> header_lines(Cell* headers) {
    std::vector<std::string> lines;
    if (!headers) {
        lines.assign(std::begin(DEFAULT_HEADERS), std::end(DEFAULT_HEADERS));
    } else {
        Cell list = *headers;
        gc::root keep(&list);
        int n = block::length_q(&list);
        bool content_type = false;
        for (int i = 0; i + 1 < n; i += 2) {
            Cell name = *block::abs_at(&list, int32_t(list.data1) + i);
            Cell value = *block::abs_at(&list, int32_t(list.data1) + i + 1);
            gc::root keep_name(&name), keep_value(&value);
            std::string key = header_text(&name);
            content_type = content_type || same_name(key, "Content-Type");
            lines.push_back(key + ": " + header_text(&value));
        }
        if (!content_type) lines.push_back("Content-Type:");
    }
    lines.push_back("Expect:");
    return lines;
}

// The request body: a binary's bytes, a string's UTF-8; anything else sends
// none.
bool body_of(Cell* data, std::string& body) {
    if (!data) return false;
    if (type_of(data) == TYPE_BINARY) {
        const uint8_t* bytes = binary::head(data);
        body.assign(reinterpret_cast<const char*>(bytes), size_t(binary::length_q(data)));
        return true;
    }
    if (type_of(data) == TYPE_STRING) {
        body = unicode::to_utf8_string(data);
        return true;
    }
    return false;
}

struct Response {
    std::string headers;
    std::string body;
};

size_t on_body(char* bytes, size_t size, size_t count, void* user) {
    static_cast<Response*>(user)->body.append(bytes, size * count);
    return size * count;
}

// A status line starts a new response (after a redirect, or a 100
// Continue): only the last one's headers are kept.
size_t on_header(char* bytes, size_t size, size_t count, void* user) {
    std::string_view line(bytes, size * count);
    std::string& headers = static_cast<Response*>(user)->headers;
    if (line.substr(0, 5) == "HTTP/") headers.clear();
    headers.append(line);
    return size * count;
}

// One easy handle and its header list, released however the request ends.
struct Request {
    const Curl& lib;
    CURL* curl = lib.easy_init();
    curl_slist* headers = nullptr;
    ~Request() {
        lib.slist_free_all(headers);
        if (curl) lib.easy_cleanup(curl);
    }
};

// The response body as the file module turns file bytes into values.
void body_value(const std::string& body, bool binary, bool lines, Cell* result) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(body.data());
    int64_t count = int64_t(body.size());
    if (binary) {
        binary::make_at(result, count);
        binary::append_bytes(result, bytes, count);
    } else if (lines) {
        lines_to_block(bytes, count, result);
    } else if (count == 0) {
        string::make_at(result, 1);
    } else {
        load_text(bytes, count, result);
    }
}

std::string trimmed(std::string_view text) {
    size_t start = 0, end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t')) start++;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) end--;
    return std::string(text.substr(start, end - start));
}

}  // namespace

bool request_http(uint32_t method, Cell* url, Cell* headers, Cell* data, bool binary, bool lines, bool info,
                  Cell* result) {
    const Curl* lib = curl_library();
    if (!lib) return false;
    Request request{*lib};
    CURL* curl = request.curl;
    if (!curl) return false;
    std::string target = url_text(url);
    std::string verb = method_text(method);
    std::string body;
    bool has_body = verb != "GET" && verb != "HEAD" && body_of(data, body);
    for (const std::string& line : header_lines(headers)) {
        curl_slist* more = lib->slist_append(request.headers, line.c_str());
        if (!more) return false;
        request.headers = more;
    }
    Response response;
    lib->easy_setopt(curl, CURLOPT_URL, target.c_str());
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_S);
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, LOW_SPEED_TIME_S);
    lib->easy_setopt(curl, CURLOPT_HTTPHEADER, request.headers);
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    lib->easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    lib->easy_setopt(curl, CURLOPT_HEADERDATA, &response);
    if (verb == "HEAD") {
        lib->easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (verb == "POST" || has_body) {
        lib->easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        lib->easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        if (verb != "POST") lib->easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
    } else if (verb != "GET") {
        lib->easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }
    if (lib->easy_perform(curl) != CURLE_OK) return false;
    long status = 0;
    lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);

    if (!info) {
        body_value(response.body, binary, lines, result);
        return true;
    }
    Cell answer{}, part{};
    gc::root keep_answer(&answer), keep_part(&part);
    block::make_at(&answer, 4);
    integer::make_in(&answer, int32_t(status));
    headers_to_map(response.headers, &part);
    block::append_cell(&answer, &part);
    body_value(response.body, binary, lines, &part);
    block::append_cell(&answer, &part);
    *result = answer;
    return true;
}

Cell* headers_to_map(std::string_view text, Cell* result) {
    // Grouped first, in the order the names come: a map entry is made once,
    // as a string or as the block of all its values.
    std::vector<std::pair<std::string, std::vector<std::string>>> fields;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        std::string name = trimmed(line.substr(0, colon));
        std::string value = trimmed(line.substr(colon + 1));
        auto found =
            std::find_if(fields.begin(), fields.end(), [&](const auto& field) { return same_name(field.first, name); });
        if (found == fields.end())
            fields.push_back({name, {value}});
        else
            found->second.push_back(value);
    }
    Cell map{}, key{}, value{}, item{};
    gc::root keep_map(&map), keep_key(&key), keep_value(&value), keep_item(&item);
    map::make_at(&map, nullptr, 20);
    for (const auto& [name, values] : fields) {
        word::make_at(symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(name.data()), int32_t(name.size())),
                      &key);
        auto text_at = [](Cell* cell, const std::string& s) {
            string::make_from_utf8(cell, reinterpret_cast<const uint8_t*>(s.data()), int64_t(s.size()));
        };
        if (values.size() == 1) {
            text_at(&value, values[0]);
        } else {
            block::make_at(&value, std::max<int>(4, int(values.size())));
            for (const std::string& v : values) {
                text_at(&item, v);
                block::append_cell(&value, &item);
            }
        }
        map::put(&map, &key, &value, false);
    }
    *result = map;
    return result;
}

}  // namespace zel::simple_io
