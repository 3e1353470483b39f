// A hash! and a plain block of the same cells driven side by side through
// thousands of random changes: every modifying action of the series! and
// block! handlers (append, insert, change, put, poke, remove, remove/key,
// reverse, random, clear, move within and between series, take, sort,
// swap, trim), path sets, and blocks added to or changed by themselves.
// After each step both hold the same cells, the table is exact, and every
// find and select through the table answers what the scan of the block
// answers.
#include <climits>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/random.h"
#include "series/block.h"
#include "series/series.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;

namespace {

constexpr int STEPS = 4000;
constexpr int LONGEST = 48;

// What one step does, chosen once and applied to both sides.
struct Step {
    int action;
    int head, other, n, dup;
    bool flag1, flag2, flag3;
    Cell value, key;
};

// One side: the series under test and a spare block to move cells to and from.
struct Side {
    Cell main;
    Cell spare;
};

class HashDriver : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool coin() { return pick(2) == 0; }
    Cell pooled() { return pool_[size_t(pick(int(pool_.size())))]; }

    std::mt19937 rng_{20240611};
    std::vector<Cell> pool_;
    StandInCompare compare_;
};

using Action = std::function<void(Side&, const Step&)>;

int total(const Cell& c) { return total_cells(c); }

// The /part argument of a step: a count (flag3 may make it negative).
Cell part_of(const Step& s) { return integer(s.flag3 ? -s.n : s.n); }

const std::vector<std::pair<const char*, Action>>& actions() {
    static const std::vector<std::pair<const char*, Action>> list = {
        {"append", [](Side& x, const Step& s) {
             Cell v = s.value, t = x.main;
             block::append(&t, &v, s.flag3 ? s.n : -1, s.flag1, s.dup);
         }},
        {"insert", [](Side& x, const Step& s) {
             Cell v = s.value, t = at_head(x.main, s.head);
             block::insert(&t, &v, s.flag3 ? s.n : -1, s.flag1, s.dup);
         }},
        {"change", [](Side& x, const Step& s) {
             Cell v = s.value, t = at_head(x.main, s.head);
             block::change(&t, &v, s.flag3 ? s.n : -1, s.flag1, s.dup);
         }},
        {"insert itself", [](Side& x, const Step& s) {
             Cell v = at_head(x.main, s.other), t = at_head(x.main, s.head);
             if (s.flag1) block::insert(&t, &v, s.flag3 ? s.n : -1, false, s.dup);
             else block::append(&t, &v, -1, false, s.dup);
         }},
        {"change by itself", [](Side& x, const Step& s) {
             Cell v = at_head(x.main, s.other), t = at_head(x.main, s.head);
             block::change(&t, &v, s.flag3 ? s.n : -1, false, s.dup);
         }},
        {"put", [](Side& x, const Step& s) {
             Cell k = s.key, v = s.value, t = at_head(x.main, s.head);
             block::put(&t, &k, &v, s.flag1);
         }},
        {"poke", [](Side& x, const Step& s) {
             Cell v = s.value, t = at_head(x.main, s.head);
             series::poke(&t, s.flag3 ? -s.n : s.n, &v, nullptr);
         }},
        {"path set", [](Side& x, const Step& s) {
             Cell k = s.key, v = s.value, t = at_head(x.main, s.head);
             block::eval_path(&t, &k, &v, nullptr, nullptr, nullptr, 1, s.flag1, true, false);
         }},
        {"remove", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), p = part_of(s);
             series::remove(&t, s.flag1 ? &p : nullptr, nullptr);
         }},
        {"remove key", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), k = s.key;
             series::remove(&t, nullptr, &k);
         }},
        {"reverse", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), p = integer(s.n), size = integer(s.dup);
             series::reverse(&t, s.flag1 ? &p : nullptr, s.flag2 ? &size : nullptr);
         }},
        {"random", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head);
             random::seed(uint32_t(s.n));
             series::random_(&t, false, false, false);
         }},
        {"clear", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head);
             series::clear(&t);
         }},
        {"move within", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), to = at_head(x.main, s.other), p = integer(s.n);
             series::move(&t, &to, s.flag1 ? &p : nullptr);
         }},
        {"move out", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), to = at_head(x.spare, 0), p = integer(s.n);
             series::move(&t, &to, s.flag1 ? &p : nullptr);
         }},
        {"move in", [](Side& x, const Step& s) {
             Cell from = at_head(x.spare, 0), to = at_head(x.main, s.head), p = integer(s.n);
             series::move(&from, &to, s.flag1 ? &p : nullptr);
         }},
        {"take", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), p = part_of(s);
             block::take(&t, s.flag1 ? &p : nullptr, s.flag2, s.flag3);
         }},
        {"sort", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head), p = part_of(s);
             block::sort(&t, s.flag1, nullptr, nullptr, s.flag2 ? &p : nullptr, false, s.flag3, s.dup > 2);
         }},
        {"sort records", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, 0), two = integer(2), field = integer(s.flag1 ? 2 : 1);
             if (total(t) % 2 == 0) block::sort(&t, false, &two, &field, nullptr, false, s.flag3, true);
         }},
        {"swap", [](Side& x, const Step& s) {
             Cell a = at_head(x.main, s.head), b = at_head(s.flag1 ? x.spare : x.main, s.other);
             block::swap(&a, &b);
         }},
        {"trim", [](Side& x, const Step& s) {
             Cell t = at_head(x.main, s.head);
             block::trim(&t, false, false, false, false, false, nullptr);
         }},
    };
    return list;
}

int find_index(Cell series, Cell value, Cell* part, Cell* skip, const char* refinements) {
    std::string r = refinements;
    auto has = [&](const char* w) { return r.find(w) != std::string::npos; };
    block::find(&series, &value, part, has("only"), has("case"), has("same"), false, nullptr, skip, has("last"),
                has("reverse"), has("tail"), has("match"));
    return type_of(&series) == TYPE_NONE ? -1 : head_of(series);
}

std::string select_text(Cell series, Cell value, Cell* skip, const char* refinements) {
    std::string r = refinements;
    auto has = [&](const char* w) { return r.find(w) != std::string::npos; };
    block::select(&series, &value, nullptr, has("only"), has("case"), false, false, nullptr, skip, has("last"),
                  has("reverse"));
    return shown_or_none(series);
}

TEST_F(HashDriver, TableAnswersAsTheScanAfterEveryChange) {
    for (const char* text : {"1", "2", "3", "\"a\"", "\"A\"", "\"b\"", "x", "X", "y", "[x]", "[x 1]", "integer!"})
        pool_.push_back(sought(text));
    pool_.push_back(none_cell());

    Cell start = loaded("x 1 \"a\" y 2 X \"A\" 3 [x] 1");
    Side plain{at_head(start, 0), loaded("s 1 t")};
    Side hashed{hash_twin(start), loaded("s 1 t")};
    ASSERT_EQ(type_of(&hashed.main), TYPE_HASH);
    const auto& list = actions();

    for (int step = 0; step < STEPS; step++) {
        int n = total(plain.main);
        Step s;
        s.action = n > LONGEST ? int(pick(2) ? 12 : 8) : pick(int(list.size()));  // clear or remove when long
        s.head = pick(n + 2);
        s.other = pick(n + 1);
        s.n = pick(6);
        s.dup = 1 + pick(3);
        s.flag1 = coin();
        s.flag2 = coin();
        s.flag3 = pick(4) == 0;
        s.value = pooled();
        s.key = pooled();
        const char* name = list[size_t(s.action)].first;
        std::string what = "step " + std::to_string(step) + " " + name + " head " + std::to_string(s.head) +
                           " n " + std::to_string(s.n) + " on " + all_cells(plain.main);

        std::string errors[2];
        Side* sides[2] = {&plain, &hashed};
        for (int i = 0; i < 2; i++) errors[i] = error_of([&] { list[size_t(s.action)].second(*sides[i], s); });
        stack::g_top = stack::g_arguments;
        ASSERT_EQ(errors[0], errors[1]) << what;
        ASSERT_EQ(all_cells(plain.main), all_cells(hashed.main)) << what;
        ASSERT_EQ(all_cells(plain.spare), all_cells(hashed.spare)) << what;
        ASSERT_EQ(type_of(&hashed.main), TYPE_HASH);
        expect_exact_table(hashed.main, what);
        if (HasFailure()) return;

        n = total(plain.main);
        int heads[] = {0, pick(n + 1), n};
        Cell two = integer(2), three = integer(3);
        for (const Cell& value : pool_) {
            for (int head : heads) {
                Cell b = at_head(plain.main, head), h = at_head(hashed.main, head);
                for (const char* r : {"", "case", "last", "reverse", "tail", "last case", "only", "reverse tail"}) {
                    ASSERT_EQ(find_index(b, value, nullptr, nullptr, r), find_index(h, value, nullptr, nullptr, r))
                        << what << ": find/" << r << " " << shown(value) << " from " << head;
                }
                ASSERT_EQ(find_index(b, value, nullptr, &two, "tail"), find_index(h, value, nullptr, &two, "tail"))
                    << what << ": find/skip/tail " << shown(value);
                ASSERT_EQ(find_index(b, value, nullptr, &two, "last"), find_index(h, value, nullptr, &two, "last"))
                    << what << ": find/skip/last " << shown(value);
                ASSERT_EQ(find_index(b, value, &three, nullptr, "reverse"),
                          find_index(h, value, &three, nullptr, "reverse"))
                    << what << ": find/part/reverse " << shown(value);
                for (const char* r : {"", "case", "last"})
                    ASSERT_EQ(select_text(b, value, nullptr, r), select_text(h, value, nullptr, r))
                        << what << ": select/" << r << " " << shown(value);
                ASSERT_EQ(select_text(b, value, &two, ""), select_text(h, value, &two, ""))
                    << what << ": select/skip " << shown(value);
            }
        }
    }
}

}  // namespace
