// The system object's class ids, the facts of the build and of the process,
// and its installation for the run-time's readers.
#include "boot/system.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "boot/build_facts.h"
#include "boot/image.h"
#include "foundation/platform.h"
#include "foundation/stack.h"
#include "interpreter/error.h"
#include "interpreter/object.h"
#include "interpreter/routine.h"
#include "interpreter/system_object.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/ownership.h"
#include "series/string.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::boot::system_setup {

using namespace system_object;

namespace {

// ---- Values from C++ text -----------------------------------------------------------------

Cell text_value(const std::string& text, int type = TYPE_STRING) {
    Cell c;
    string::make_from_utf8(&c, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()));
    cell::set_type(&c, type);
    return c;
}

// The one value the text loads as.
Cell loaded(const std::string& text) {
    Cell c;
    lexer::scan(&c, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::ONE_VALUE);
    return c;
}

Cell integer_value(int32_t n) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(n));
    return c;
}

// A field of `system`, set without change events (the value is made first:
// making it may allocate).
void set_field(std::initializer_list<int> positions, const Cell& value) {
    if (Cell* f = field(positions)) *f = value;
}

// ---- Dates --------------------------------------------------------------------------------

// The date text of a time in seconds since 1970: in UTC with zone 0, or in
// the local zone.
std::string date_text(std::time_t seconds, bool local) {
    std::tm tm{};
    if (local) localtime_r(&seconds, &tm);
    else gmtime_r(&seconds, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%d-%b-%Y/%H:%M:%S", &tm);
    int offset = local ? int(tm.tm_gmtoff / 60) : 0;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60 % 100,
                  std::abs(offset) % 60);
    return std::string(text) + zone;
}

Cell date_of(const char* seconds_text, bool local) {
    if (!*seconds_text) return none::g_none;
    return loaded(date_text(std::time_t(std::strtoll(seconds_text, nullptr, 10)), local));
}

// ---- The facts --------------------------------------------------------------------------------

Cell text_or_none(const char* text, int type = TYPE_STRING) {
    return *text ? text_value(text, type) : none::g_none;
}

Cell issue_or_none(const std::string& name) {
    return name.empty() ? none::g_none : issue::load(name.c_str());
}

void set_build_facts() {
    set_field({VERSION}, text_value(build::VERSION));
    set_field({BUILD, BUILD_DATE}, date_of(build::BUILD_TIME, false));
    set_field({BUILD, BUILD_GIT, GIT_BRANCH}, text_or_none(build::GIT_BRANCH));
    set_field({BUILD, BUILD_GIT, GIT_TAG}, issue_or_none(std::string("v") + build::VERSION));
    set_field({BUILD, BUILD_GIT, GIT_AHEAD},
              *build::GIT_AHEAD ? integer_value(std::atoi(build::GIT_AHEAD)) : none::g_none);
    set_field({BUILD, BUILD_GIT, GIT_DATE}, date_of(build::GIT_TIME, true));
    set_field({BUILD, BUILD_GIT, GIT_COMMIT}, issue_or_none(build::GIT_COMMIT));
    set_field({BUILD, BUILD_GIT, GIT_MESSAGE}, text_or_none(build::GIT_MESSAGE));
    set_field({BUILD, BUILD_CONFIG, BUILD_CONFIG_BASENAME}, text_value(ZEL_PROGRAM_PATH, TYPE_FILE));
}

// A folder as a file! ending in "/".
Cell folder_value(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return text_value(path, TYPE_FILE);
}

// The current folder, set here after system/options was made, becomes the
// object's like its other fields: changed in place, it tells the object's
// on-deep-change*, which moves the process.
void own_path() {
    const Cell* options = field({OPTIONS});
    const Cell* path = field({OPTIONS, OPTIONS_PATH});
    if (!options || !path) return;
    Cell owner = *options, value = *path;
    Cell word = object::get_word(object::context_of(&owner), OPTIONS_PATH);
    ownership::set_owner(&value, &owner, &word);
}

routine::MachineValue stamp_class(const routine::MachineValue* a) {
    Cell* id = a[0].cell;
    Cell* object = a[1].cell;
    if (type_of(id) != TYPE_INTEGER) raise::expect_arg(id, 0);
    if (type_of(object) != TYPE_OBJECT) raise::expect_arg(object, 1);
    object::set_class(object, cell::get_int(id));
    return routine::MachineValue{.cell = object};
}

}  // namespace

void define_class_intrinsic() {
    routine::define_intrinsic("_boot-class", "id [integer!] object [object!]", stamp_class, routine::RESULT_OWN);
}

void complete_object() {
    system_object::install();
    Cell words;
    cell::set(&words, TYPE_OBJECT, context::g_global, uint32_t(-1), 0);
    set_field({WORDS}, words);
    set_build_facts();
    set_field({OPTIONS, OPTIONS_PATH}, folder_value(platform::get_current_dir()));
    own_path();
    if (const Cell* errors = field({CATALOG, CATALOG_ERRORS})) error::set_catalog(errors);
}

void set_process_facts() {
    if (const Cell* version = field({VERSION}); version && type_of(version) == TYPE_STRING)
        set_field({VERSION}, loaded(build::VERSION));
    const char* home = std::getenv("HOME");
    set_field({OPTIONS, OPTIONS_CACHE}, folder_value(std::string(home && *home ? home : "/tmp") + "/.zel"));

    // The whole command line, which extract-boot-args splits into boot and
    // args, keeping the text after the program's name in script/args. A
    // double quote inside an argument cannot come whole through that
    // split: when an argument holds one, boot and args are the argument
    // vector's own.
    set_field({SCRIPT, SCRIPT_ARGS}, text_value(platform::command_line()));
    static const char call[] = "extract-boot-args";
    Cell code;
    lexer::scan(&code, reinterpret_cast<const uint8_t*>(call), int64_t(sizeof call - 1), 0);
    image::run(code);
    int argc = platform::argument_count();
    const char* const* argv = platform::arguments();
    bool quoted = false;
    for (int i = 0; i < argc; i++) quoted |= std::strchr(argv[i], '"') != nullptr;
    if (!quoted) return;
    set_field({OPTIONS, OPTIONS_BOOT}, text_value(argv[0]));
    Cell args;
    block::make_at(&args, argc > 1 ? argc - 1 : 1);
    stack::push(&args);
    for (int i = 1; i < argc; i++) {
        Cell a = text_value(argv[i]);
        block::append_cell(&args, &a);
    }
    stack::pop(1);
    set_field({OPTIONS, OPTIONS_ARGS}, args);
}

}  // namespace zel::boot::system_setup
