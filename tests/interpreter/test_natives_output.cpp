// print, prin and the last-newline flag, stats and the memory statistics.
// (type?: tests/cases/predicates.cases.)
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/platform.h"
#include "interpreter/natives.h"
#include "series/block.h"
#include "series/series.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

// Output goes into `text` while a test runs.
class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::set_output_sink([](void* out, const char* bytes, size_t n) {
            static_cast<std::string*>(out)->append(bytes, n);
        }, &text_);
    }
    void TearDown() override { platform::reset_output_sink(); }

    // What the code printed.
    std::string printed(const std::string& code) {
        text_.clear();
        eval_value(code);
        return text_;
    }

    std::string text_;
};

TEST_F(OutputTest, PrintFormsReducesAndEndsTheLine) {
    struct Case {
        const char* code;
        const char* output;
    };
    const std::vector<Case> cases = {
        {"print 1", "1\n"},
        {"print \"abc\"", "abc\n"},
        {"print next \"abc\"", "bc\n"},
        {"print [1 + 2 \"a\" [b c]]", "3 a b c\n"},
        {"print []", "\n"},
        {"print ()", "\n"},
        {"prin \"ab\" prin 'c", "abc"},
        {"x: 4 prin [x x * 2]", "4 8"},
        {"print [1 (print [2 2] 3) 4]", "2 2\n1 3 4\n"},
        {"f: func [] [print \"in\" 5] print [f f]", "in\nin\n5 5\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(printed(c.code), c.output) << c.code;
    EXPECT_EQ(eval("print 1"), "unset");
}

TEST_F(OutputTest, ThePrintBufferIsCutBackHoweverPrintEnds) {
    auto cells = [] { return series::abs_length_q(&natives::g_print_buffer); };
    EXPECT_EQ(eval_error("print [1 (1 / 0)]"), "math/zero-divide");
    EXPECT_EQ(cells(), 0);
    EXPECT_EQ(head_of(natives::g_print_buffer), 0);
    EXPECT_EQ(printed("f: func [] [print [1 (return 2)]] print f"), "2\n");
    EXPECT_EQ(cells(), 0);
    EXPECT_EQ(printed("print [5]"), "5\n");
}

TEST_F(OutputTest, LastLineFeedFlag) {
    eval_value("lf?: _boot-routine [\"Internal Use Only\"] [last-lf?]");
    EXPECT_EQ(eval("prin 1 lf?"), "false");
    EXPECT_EQ(eval("print 1 lf?"), "true");
    EXPECT_EQ(text_, "11\n");
}

TEST(Stats, BytesInUseAndTheReport) {
    Cell used = eval_value("stats");
    ASSERT_EQ(type_of(&used), TYPE_INTEGER);
    EXPECT_GT(cell::get_int(&used), 0);
    Cell report = eval_value("stats/info");
    ASSERT_EQ(type_of(&report), TYPE_BLOCK);
    ASSERT_EQ(block::length_q(&report), 5);
    Cell* items = block::head(&report);
    for (int i = 0; i < 3; i++) ASSERT_EQ(type_of(items + i), TYPE_BLOCK) << i;
    for (int i = 0; i < 2; i++) {
        Cell rows = items[i];
        ASSERT_GT(block::length_q(&rows), 0);
        for (int k = 0; k < block::length_q(&rows); k++) {
            Cell row = block::head(&rows)[k];
            ASSERT_EQ(type_of(&row), TYPE_BLOCK);
            EXPECT_TRUE(cell::new_line(&row));
            ASSERT_EQ(block::length_q(&row), 3);
            for (int j = 0; j < 3; j++) EXPECT_EQ(type_of(block::head(&row) + j), TYPE_INTEGER);
            // free + used = capacity (or total)
            EXPECT_EQ(cell::get_int(block::head(&row)) + cell::get_int(block::head(&row) + 1),
                      cell::get_int(block::head(&row) + 2));
        }
    }
    ASSERT_EQ(type_of(items + 3), TYPE_INTEGER);
    ASSERT_EQ(type_of(items + 4), TYPE_INTEGER);
    EXPECT_GT(cell::get_int(items + 3), cell::get_int(&used));
    EXPECT_GT(cell::get_int(items + 4), 0);
    EXPECT_LT(cell::get_int(items + 4), cell::get_int(items + 3));
    EXPECT_EQ(eval_error("stats/show"), "internal/not-done");
}

TEST(Stats, ByteCountsAboveThirtyOneBitsAreFloats) {
    Cell c;
    struct Case {
        double bytes;
        int type;
    };
    for (Case k : {Case{0, TYPE_INTEGER}, Case{2147483647.0, TYPE_INTEGER}, Case{2147483648.0, TYPE_FLOAT},
                   Case{5e9, TYPE_FLOAT}}) {
        memory::byte_count_at(&c, k.bytes);
        EXPECT_EQ(type_of(&c), k.type) << k.bytes;
    }
    memory::byte_count_at(&c, 5e9);
    EXPECT_EQ(cell::get_float(&c), 5e9);
    memory::byte_count_at(&c, 2147483647.0);
    EXPECT_EQ(cell::get_int(&c), 2147483647);
}

}  // namespace
}  // namespace zel::test
