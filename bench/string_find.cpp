// Text search speed: a 20-character pattern in 10 MB of text whose only
// match lies near the end, case-sensitive and case-insensitive, best of
// five runs of each.
//
//   bench_string_find <text file> <pattern file> <folded pattern file>
//
// Writes the text and both patterns (the case-insensitive one in other
// letter case than the text's match) so that other implementations search
// the same bytes, and prints
//   zel <sensitive ms> <insensitive ms>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "boot/runtime.h"
#include "series/string.h"

using namespace zel;

namespace {

constexpr int ROUNDS = 5;
constexpr size_t TEXT_BYTES = 10 * 1024 * 1024;
const std::string PATTERN = "needle in a haystack";
const std::string PATTERN_OTHER_CASE = "NEEDLE In A HayStack";

// Words of random letters, some capitalised, separated by spaces and line
// feeds, from a fixed seed; the pattern once, near the end.
std::string make_text() {
    std::string text;
    text.reserve(TEXT_BYTES);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    };
    while (text.size() < TEXT_BYTES - 100) {
        int length = 1 + int(next() % 9);
        bool capital = next() % 5 == 0;
        for (int i = 0; i < length; i++) text += char((capital && i == 0 ? 'A' : 'a') + next() % 26);
        text += next() % 12 == 0 ? '\n' : ' ';
    }
    text += PATTERN;
    while (text.size() < TEXT_BYTES) text += ' ';
    return text;
}

bool write_file(const char* path, const std::string& content) {
    FILE* f = std::fopen(path, "wb");
    bool ok = f && std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return f && std::fclose(f) == 0 && ok;
}

Cell string_of(const std::string& s) {
    Cell c;
    string::make_from_utf8(&c, reinterpret_cast<const uint8_t*>(s.data()), int64_t(s.size()));
    return c;
}

// Milliseconds of the fastest of ROUNDS searches; every one must find the
// pattern where it was put.
double best_ms(const Cell& text, const Cell& pattern, bool case_, size_t expected) {
    double best = 1e300;
    for (int r = 0; r < ROUNDS; r++) {
        Cell series = text, value = pattern;
        auto start = std::chrono::steady_clock::now();
        Cell* found = string::find(&series, &value, nullptr, false, case_, false, false, nullptr, nullptr, false,
                                   false, false, false);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (type_of(found) != TYPE_STRING || found->data1 != expected) {
            std::fprintf(stderr, "pattern not found where it was put\n");
            std::exit(1);
        }
        best = std::min(best, ms);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <text file> <pattern file> <folded pattern file>\n", argv[0]);
        return 2;
    }
    std::string content = make_text();
    if (!write_file(argv[1], content) || !write_file(argv[2], PATTERN) || !write_file(argv[3], PATTERN_OTHER_CASE)) {
        std::perror("writing the benchmark files");
        return 1;
    }
    runtime::init();
    size_t at = content.find(PATTERN);
    Cell text = string_of(content), pattern = string_of(PATTERN), other_case = string_of(PATTERN_OTHER_CASE);
    double sensitive = best_ms(text, pattern, true, at);
    double insensitive = best_ms(text, other_case, false, at);
    std::printf("zel %.3f %.3f\n", sensitive, insensitive);
    return 0;
}
