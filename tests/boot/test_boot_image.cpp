// The boot image zel-mkboot wrote at build time: decoded into a root block,
// it defines the datatype words, the natives and the actions, and holds the
// other library sources as blocks, each as the lexer loads its text; from
// those the rest of the boot environment is made, and code runs.
#include <gtest/gtest.h>

#include "boot/boot_image.h"
#include "boot/environment.h"
#include "boot/zelbin/format.h"
#include "tests/support/boot_env.h"
#include "tests/support/fields.h"
#include "tests/support/loaded.h"
#include "tests/support/runtime_env.h"

namespace zel::test {
namespace {

void define_word(void*, const Cell* word, const Cell* value) {
    Cell w = *word;
    context::set(&w, value);
}

// The library sources zel-mkboot writes after the records, in boot order.
const std::vector<const char*> LIBRARY_SOURCES = boot::library_sources();

int library_index(const char* path) {
    for (size_t i = 0; i < LIBRARY_SOURCES.size(); i++)
        if (std::string(LIBRARY_SOURCES[i]) == path) return int(i);
    return -1;
}

Cell g_root;
int32_t g_first = -1;

void load_image() {
    runtime::init();
    block::make_at(&g_root, 8);
    Cell filler = none::g_none;
    block::append_cell(&g_root, &filler);
    g_first = zelbin::load_boot_image(boot_image::g_image, boot_image::g_image_size, &g_root);
}

::testing::Environment* const g_image_env = ZEL_FILE_ENVIRONMENT(load_image);

Cell root(int n) { return memory::series_of(node_of(g_root))->cells()[g_first + n]; }

Cell global(const char* name) {
    Cell w = word::load(name);
    return *context::get(&w);
}

TEST(BootImage, DefinesTheDatatypeWordsNativesAndActions) {
    EXPECT_EQ(g_first, 1) << "root cell 0 is the first cell the load appends";
    for (int t = 1; t <= TYPE_LAST; t++) {
        Cell v = global(datatype::ALL_TYPE_NAMES[t]);
        EXPECT_EQ(type_of(&v), TYPE_DATATYPE) << datatype::ALL_TYPE_NAMES[t];
        EXPECT_EQ(type_named_by(v), t) << datatype::ALL_TYPE_NAMES[t];
    }
    struct Case {
        const char* name;
        int type;
        uint32_t number;
    };
    for (const Case& c : {Case{"if", TYPE_NATIVE, 1}, Case{"apply", TYPE_NATIVE, 107},
                          Case{"make", TYPE_ACTION, 1}, Case{"append", TYPE_ACTION, ACT_APPEND}}) {
        Cell v = global(c.name);
        EXPECT_EQ(type_of(&v), c.type) << c.name;
        EXPECT_EQ(v.data1, c.number) << c.name;
    }
}

TEST(BootImage, HoldsOneLibraryBlockPerSourceAsTheLexerLoadsIt) {
    ASSERT_EQ(total_cells(g_root) - g_first, int32_t(LIBRARY_SOURCES.size())) << "words with values leave no cell";
    for (int i = 0; i < int(LIBRARY_SOURCES.size()); i++) {
        Cell decoded = root(i);
        ASSERT_EQ(type_of(&decoded), TYPE_BLOCK);
        EXPECT_TRUE(zelbin::library_code_q(node_of(decoded))) << LIBRARY_SOURCES[i];
        EXPECT_EQ(shown(decoded), shown(load_text(read_source(LIBRARY_SOURCES[i])))) << LIBRARY_SOURCES[i];
    }
}

TEST(BootImage, TheRestOfTheEnvironmentIsMadeFromItAndCodeRuns) {
    set_global("none", none::g_none);
    set_global("true", logic::g_true);
    set_global("false", logic::g_false);
    // The typesets are records, made without evaluating code.
    Cell typesets = root(library_index("boot/base/typesets.zel"));
    boot::make_records(&typesets, define_word, nullptr);
    EXPECT_EQ(molded(eval_value("either equal? add 1 2 3 [reduce ['yes multiply 10 4]] ['no]")), "[yes 40]");
    EXPECT_EQ(molded(eval_value("find any-word! type? 'a")), "true");
}

}  // namespace
}  // namespace zel::test
