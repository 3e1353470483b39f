// The OS record and the environment map (os_info.h).
#include "os/os_info.h"

#include <sys/utsname.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "foundation/collector.h"
#include "foundation/stack.h"
#include "interpreter/object.h"
#include "os/call.h"
#include "os/workers.h"
#include "scalars/tuple.h"
#include "series/block.h"
#include "series/map.h"
#include "series/string.h"
#include "words/word.h"

extern char** environ;

namespace zel::os_info {

namespace {

void text_at(Cell* cell, const char* p, size_t n) {
    call::make_lenient_string(cell, reinterpret_cast<const uint8_t*>(p), int64_t(n));
}

// PRETTY_NAME of /etc/os-release without its quotes, or "".
std::string pretty_name() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return "";
}

void set_word_in(Cell* block, const char* name, int type) {
    Cell* w = word::make_from_name_in(name, block);
    cell::set_type(w, type);
}

void list_env(Cell* result) {
    Cell pairs{};
    gc::root keep(&pairs);
    block::make_at(&pairs, 100);
    for (char** e = environ; e && *e; e++) {
        const char* entry = *e;
        const char* equal = std::strchr(entry, '=');
        size_t name_length = equal ? size_t(equal - entry) : std::strlen(entry);
        const char* value = equal ? equal + 1 : entry + name_length;
        Cell text{};
        gc::root keep_text(&text);
        text_at(&text, entry, name_length);
        block::append_cell(&pairs, &text);
        text_at(&text, value, std::strlen(value));
        block::append_cell(&pairs, &text);
    }
    map::make_at(result, &pairs, 0);
}

}  // namespace

const char* arch_word(const std::string& machine) {
    if (machine == "x86_64" || machine == "amd64") return "x86-64";
    if (machine.size() == 4 && machine[0] == 'i' && machine[1] >= '3' && machine[1] <= '6' && machine.substr(2) == "86")
        return "x86-32";
    if (machine == "aarch64" || machine == "arm64") return "ARM64";
    if (machine.rfind("arm", 0) == 0) return "ARM";
    if (machine == "ia64") return "IA-64";
    return "Unknown";
}

void release_numbers(const std::string& release, int numbers[3]) {
    numbers[0] = numbers[1] = numbers[2] = 0;
    size_t i = 0;
    for (int k = 0; k < 3; k++) {
        if (i >= release.size() || release[i] < '0' || release[i] > '9') break;
        int n = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9' && n < 100000000)
            n = n * 10 + (release[i++] - '0');
        numbers[k] = n > 255 ? 255 : n;
        if (i >= release.size() || release[i] != '.') break;
        i++;
    }
}

int build_number(const std::string& version) {
    size_t hash = version.find('#');
    if (hash == std::string::npos) return 0;
    int n = 0;
    for (size_t i = hash + 1; i < version.size() && version[i] >= '0' && version[i] <= '9' && n < 100000000; i++)
        n = n * 10 + (version[i] - '0');
    return n;
}

Cell* get(Cell* result) {
    struct utsname u {};
    uname(&u);
    std::string name = pretty_name();
    if (name.empty()) name = std::string(u.sysname) + " " + u.release;
    int numbers[3];
    release_numbers(u.release, numbers);

    stack::TopScope scope;
    Cell* spec = stack::push_new();
    block::make_at(spec, 8);
    Cell value{};
    gc::root keep(&value);
    set_word_in(spec, "name", TYPE_SET_WORD);
    text_at(&value, name.data(), name.size());
    block::append_cell(spec, &value);
    set_word_in(spec, "arch", TYPE_SET_WORD);
    set_word_in(spec, arch_word(u.machine), TYPE_WORD);
    set_word_in(spec, "version", TYPE_SET_WORD);
    uint8_t bytes[3] = {uint8_t(numbers[0]), uint8_t(numbers[1]), uint8_t(numbers[2])};
    tuple::make_at(&value, bytes, 3);
    block::append_cell(spec, &value);
    set_word_in(spec, "build", TYPE_SET_WORD);
    cell::set(&value, TYPE_INTEGER, 0, uint32_t(build_number(u.version)));
    block::append_cell(spec, &value);
    *result = *object::construct(spec, nullptr, true);
    return result;
}

void init() { workers::g_list_env = list_env; }

}  // namespace zel::os_info
