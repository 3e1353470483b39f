// The phases of the boot environment and the steps of the run-time between
// their sources.
#include "boot/environment.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "boot/image.h"
#include "boot/system.h"
#include "console/launch.h"
#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/root.h"
#include "interpreter/object.h"
#include "interpreter/routine.h"
#include "scalars/handle.h"
#include "scalars/simple_types.h"
#include "words/context.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::boot {

namespace {

bool g_built = false;
std::vector<const char*> g_phases_run;

void set_word(const char* name, const Cell& value) {
    Cell word = word::load(name);
    context::set(&word, &value);
}

// ---- What the run-time does between the sources ------------------------------------------------

void define_intrinsics() {
    routine::define_boot_intrinsic();
    system_setup::define_class_intrinsic();
}

void start_collector() {
    collector::set_active(true);
    root::g_word_collect = false;
}

void set_first_values() {
    Cell datatype;
    cell::set(&datatype, TYPE_DATATYPE, TYPE_DATATYPE);
    set_word("datatype!", datatype);
    set_word("none", none::g_none);
    set_word("true", logic::g_true);
    set_word("false", logic::g_false);
}

// event! is registered here, before the typesets, since external! and
// default! include it. Its values come with the terminal back-end, which
// gives the record its handlers; until then every action is unsupported.
void register_event_type() {
    if (datatype::registered(TYPE_EVENT)) return;
    datatype::register_type(datatype::TypeRecord(TYPE_EVENT, 0, "event!"));
    datatype::init_name_symbols(words::make_type_name_symbol);
}

void set_null_handle() {
    Cell handle;
    handle::make_at(&handle, 0, 0);
    set_word("null-handle", handle);
}

void end_boot() {
    routine::end_boot();
    object::restart_class_counter();
}

// ---- The phases ---------------------------------------------------------------------------------

constexpr const char* ROUTINES[] = {"boot/library/routines.zel"};
constexpr const char* CONSTANTS[] = {"boot/base/constants.zel"};
constexpr const char* TYPESETS[] = {"boot/base/typesets.zel"};
constexpr const char* COLOURS[] = {"boot/base/colours.zel"};
constexpr const char* BASE_LIBRARY[] = {
    "boot/base/control.zel",      "boot/base/conversions.zel",   "boot/base/series.zel",
    "boot/base/maths.zel",        "boot/base/parse_trace.zel",   "boot/base/files.zel",
    "boot/base/load.zel",         "boot/base/scripts.zel",       "boot/base/thru.zel",
    "boot/library/predicates.zel", "boot/library/aliases.zel",
};
constexpr const char* SYSTEM[] = {"boot/base/system.zel"};
constexpr const char* OPERATORS[] = {"boot/base/operators.zel"};
constexpr const char* CODECS[] = {"boot/base/codecs.zel"};
constexpr const char* LIBRARIES[] = {"boot/library/reactivity.zel", "boot/library/url.zel",
                                     "boot/library/preprocessor.zel", "boot/library/tools.zel",
                                     "boot/library/debugger.zel", "boot/library/profiler.zel"};
constexpr const char* DATA_CODECS[] = {"boot/library/json.zel", "boot/library/csv.zel"};
constexpr const char* VIEW[] = {"view/gui_helpers.zel"};

const Phase PHASES[] = {
    {"intrinsics", {}, define_intrinsics},
    {"collector", {}, start_collector},
    {"first values", {}, set_first_values},
    {"event type", {}, register_event_type},
    {"constants", CONSTANTS, set_null_handle},
    {"typesets", TYPESETS, nullptr, true},
    {"colours", COLOURS, nullptr},
    {"routines", ROUTINES, nullptr},
    {"base library", BASE_LIBRARY, nullptr},
    {"system", SYSTEM, system_setup::complete_object},
    {"operators", OPERATORS, nullptr},
    {"codecs", CODECS, nullptr},
    {"libraries", LIBRARIES, system_setup::set_process_facts},
    {"data codecs", DATA_CODECS, nullptr},
    {"view", VIEW, nullptr},
    {"terminal", {}, nullptr},
    {"console", console::SOURCES, nullptr},
    {"end of boot", {}, end_boot},
};

}  // namespace

std::span<const Phase> phases() { return PHASES; }

std::vector<const char*> library_sources() {
    std::vector<const char*> sources;
    for (const Phase& phase : PHASES) sources.insert(sources.end(), phase.sources.begin(), phase.sources.end());
    return sources;
}

void build_environment() {
    if (g_built) return;
#ifdef ZEL_GC_STRESS
    std::optional<collector::PauseStress> unstressed;
    if (!std::getenv("ZEL_GC_STRESS_BOOT")) unstressed.emplace();
#endif
    int32_t n = 0;
    for (const Phase& phase : PHASES) {
        for (const char* path : phase.sources) {
            Cell code = image::library_block(n++, path);
            if (phase.records) image::define_records(code);
            else image::run(code);
        }
        if (phase.run) phase.run();
        g_phases_run.push_back(phase.name);
    }
    if (n != image::block_count()) image::fail("more library blocks than sources");
    g_built = true;
}

bool environment_built() { return g_built; }

void forget_environment() {
    g_built = false;
    g_phases_run.clear();
}

std::span<const char* const> phases_run() { return g_phases_run; }

}  // namespace zel::boot
