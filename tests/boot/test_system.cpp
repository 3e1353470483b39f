// The boot environment as start-up leaves it: its phases, the system
// object's fixed class ids, the starting folder, an error's message, and
// the boot-only words gone. (Boot's first values, the facts of the platform, the codecs and the
// error codes: tests/cases/boot.cases.)
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "boot/environment.h"
#include "boot/image.h"
#include "interpreter/system_object.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"
#include "words/symbol.h"

using namespace zel;
using namespace zel::test;

namespace {

TEST(BootEnvironment, EveryPhaseRanInOrder) {
    std::string run;
    for (const char* name : boot::phases_run()) run += std::string(name) + ",";
    EXPECT_EQ(run,
              "intrinsics,collector,first values,event type,constants,typesets,colours,routines,base library,"
              "system,operators,codecs,libraries,data codecs,view,terminal,console,end of boot,");
    EXPECT_TRUE(boot::environment_built());
}

TEST(BootEnvironment, BootOnlyWordsAreUnsetAfterBoot) {
    // The test environment makes _boot-routine again for tests of routines;
    // _boot-class stays unset.
    EXPECT_EQ(eval("unset? get/any '_boot-class"), "true");
}

// The words a loop of the library sources sets: those after foreach and
// remove-each (one word or a block of them) and after repeat, at any depth.
void collect_loop_words(const Cell& block, std::set<std::string>& words) {
    auto spelling = [](const Cell& c) {
        int32_t length = 0;
        const uint8_t* name = symbol::utf8(symbol_of(c), length);
        return std::string(reinterpret_cast<const char*>(name), size_t(length));
    };
    Series* s = memory::series_of(node_of(block));
    int32_t n = int32_t(s->used() / sizeof(Cell));
    for (int32_t i = head_of(block); i < n; i++) {
        Cell c = memory::series_of(node_of(block))->cells()[i];
        if (type_of(&c) == TYPE_BLOCK || type_of(&c) == TYPE_PAREN) {
            collect_loop_words(c, words);
            continue;
        }
        if (type_of(&c) != TYPE_WORD || i + 1 >= n) continue;
        std::string loop = spelling(c);
        Cell next = memory::series_of(node_of(block))->cells()[i + 1];
        if ((loop == "foreach" || loop == "remove-each" || loop == "repeat") && type_of(&next) == TYPE_WORD)
            words.insert(spelling(next));
        if ((loop == "foreach" || loop == "remove-each") && type_of(&next) == TYPE_BLOCK) {
            Series* items = memory::series_of(node_of(next));
            for (uint32_t k = uint32_t(head_of(next)); k < items->used() / sizeof(Cell); k++)
                if (type_of(items->cells() + k) == TYPE_WORD) words.insert(spelling(items->cells()[k]));
        }
    }
}

// The loops that build the boot environment keep their words to themselves:
// none keeps the last value of its loop once boot ends.
TEST(BootEnvironment, BootLoopsLeaveNoWordSet) {
    for (const char* word : {"name", "word", "key", "target", "alias", "operator", "mime", "suffixes", "class"})
        EXPECT_EQ(eval(std::string("unset? get/any '") + word), "true") << word;
    std::set<std::string> words;
    std::vector<const char*> sources = boot::library_sources();
    for (int32_t n = 0; n < boot::image::block_count(); n++)
        collect_loop_words(boot::image::library_block(n, sources[size_t(n)]), words);
    EXPECT_GE(words.size(), 8u) << "the loops of the sources found";
    // A loop word that also names a global value of its own keeps that value.
    const std::map<std::string, std::string> defined = {{"dir", "same? :dir :ls"}};
    for (const std::string& word : words) {
        auto own = defined.find(word);
        EXPECT_EQ(eval(own != defined.end() ? own->second : "unset? get/any '" + word), "true") << word;
    }
}

TEST(SystemObject, FixedClassIds) {
    const Cell* system = system_object::get();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(class_of(*system), system_object::CLASS);
    const Cell* header = system_object::field({system_object::STANDARD, 2});
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(type_of(header), TYPE_OBJECT);
    EXPECT_EQ(class_of(*header), 245) << "system/standard/error";
    // An error value is of class 1, whatever its prototype's class.
    Cell e = eval_value("try [1 / 0]");
    ASSERT_EQ(type_of(&e), TYPE_ERROR);
    EXPECT_EQ(class_of(e), 1);
    // Objects made after boot count from the first run-time class id.
    Cell o = eval_value("make object! [a: 1]");
    EXPECT_GE(class_of(o), object::FIRST_CLASS_ID);
    // Once `system` holds something else, the run-time reads nothing there.
    eval_value("saved: system system: 1");
    EXPECT_EQ(system_object::get(), nullptr);
    eval_value("system: saved");
    EXPECT_NE(system_object::get(), nullptr);
}

// Every object of the boot environment has its fixed class id.
TEST(SystemObject, BootObjectsHaveTheirFixedClassIds) {
    struct Case {
        const char* path;
        int32_t id;
    };
    const Case cases[] = {
        {"system", 174}, {"system/build", 176}, {"system/build/git", 178}, {"system/build/config", 180},
        {"system/catalog", 182}, {"system/catalog/errors", 184}, {"system/catalog/errors/throw", 186},
        {"system/catalog/errors/note", 188}, {"system/catalog/errors/syntax", 190},
        {"system/catalog/errors/script", 192}, {"system/catalog/errors/math", 194},
        {"system/catalog/errors/access", 196}, {"system/catalog/errors/reserved1", 198},
        {"system/catalog/errors/reserved2", 200}, {"system/catalog/errors/user", 202},
        {"system/catalog/errors/internal", 204}, {"system/state", 206}, {"system/state/callbacks", 209},
        {"system/state/GC", 212}, {"system/ports", 214}, {"system/locale", 216},
        {"system/locale/currencies", 218}, {"system/options", 222}, {"system/options/float", 224},
        {"system/script", 229}, {"system/standard", 231}, {"system/standard/header", 233},
        {"system/standard/port", 243}, {"system/standard/error", 245}, {"system/standard/file-info", 247},
        {"system/standard/url-parts", 250}, {"system/standard/scheme", 252}, {"system/lexer", 254},
        {"system/codecs/png", 258}, {"system/codecs/jpeg", 261}, {"system/codecs/bmp", 264},
        {"system/codecs/gif", 267}, {"system/codecs/tiff", 270}, {"system/codecs/zelbin", 273},
        {"system/console", 600}, {"cli-console-ctx", 619}, {"cli-console-ctx/settings", 621},
    };
    for (const Case& c : cases) {
        Cell object = eval_value(c.path);
        ASSERT_EQ(type_of(&object), TYPE_OBJECT) << c.path;
        EXPECT_EQ(class_of(object), c.id) << c.path;
    }
}

// The folder the process started in belongs to system/options like the
// fields its source set: changed in place, it moves the process there.
TEST(SystemObject, TheStartingFolderMovesTheProcessWhenChanged) {
    EXPECT_EQ(eval("start-dir: what-dir append system/options/path %../ "
                   "moved?: (to file! get-current-dir) = first split-path start-dir "
                   "change-dir start-dir moved?"),
              "true");
}

// The message of an error caught with no frames below: the stack line is
// empty (the case files run under the console's own frames).
TEST(ErrorCatalogue, MessagesFillTheirArguments) {
    expect_results({
        {"form try [no-such-word-here]", "{*** Script Error: no-such-word-here has no value^/*** Where: try^/*** Near : "
                                         "no-such-word-here^/*** Stack: }"},
    });
}

}  // namespace
