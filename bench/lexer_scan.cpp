// Lexer speed over a whole file: the automaton alone (tokens found, nothing
// done with them) and the scan driver over the same text (every token
// handed to its routines, no values kept), best of three.
//
//   bench_lexer_scan [megabytes]      (default 32)
//
// The text is a script of ordinary code repeated to the size asked. Prints
//   automaton <MB/s> <million tokens/s>
//   scan <MB/s>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "boot/runtime.h"
#include "lexer/lexer.h"
#include "lexer/lexer_tables.h"

using namespace zel;

namespace {

constexpr int ROUNDS = 3;

const char* const SAMPLE =
    "Zel [title: \"sample\" date: 15-Jan-2020 version: 1.2.3]\n"
    "average: func [\"Mean of a block\" values [block!] /local total][\n"
    "    total: 0.0\n"
    "    foreach v values [total: total + v]  ; sum first\n"
    "    either empty? values [none][total / length? values]\n"
    "]\n"
    "prices: #[apple $1.50 pear $2.25 plum -USD$0.75]\n"
    "limits: [0 255 FFh 1'000'000 1e10 -2.5 50% 10:30:00 1x2 #\"a\"]\n"
    "read-config: func [file [file!]][load %config/settings.zel]\n"
    "site: http://example.org/path?q=1  mail: someone@example.org\n"
    "note: {a brace string {nested} over\n two lines} tag: <div class=\"x\">\n"
    "print [\"total:\" average limits/2 system/options/boot]\n";

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

uint32_t g_sink = 0;  // keeps every result of the automaton in use

// Reads every token from state 0 and steps over its ending byte, the way the
// routines move on for most tokens; answers the token count.
int64_t run_automaton(const uint8_t* p, const uint8_t* end) {
    int64_t tokens = 0;
    uint32_t sink = 0;
    while (p < end) {
        lexer::TokenRead r = lexer::read_token(lexer::STATE_BETWEEN, p, end);
        sink += r.flags + uint32_t(r.state + r.previous + r.skipped + r.lines);
        p = r.end < end ? r.end + 1 : end;
        tokens++;
    }
    g_sink += sink;
    return tokens;
}

}  // namespace

int main(int argc, char** argv) {
    int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 32;
    std::string text;
    while (int64_t(text.size()) < megabytes << 20) text += SAMPLE;
    const auto* start = reinterpret_cast<const uint8_t*>(text.data());
    const uint8_t* end = start + text.size();
    double mb = double(text.size()) / 1e6;

    runtime::init();
    double best_automaton = 1e30, best_scan = 1e30;
    int64_t tokens = 0;
    for (int round = 0; round < ROUNDS; round++) {
        auto t0 = std::chrono::steady_clock::now();
        tokens = run_automaton(start, end);
        best_automaton = std::min(best_automaton, seconds_since(t0));

        auto t1 = std::chrono::steady_clock::now();
        int type = lexer::scan(nullptr, start, int64_t(text.size()), lexer::SCAN_ONLY);
        best_scan = std::min(best_scan, seconds_since(t1));
        if (type == TYPE_ERROR) {
            std::fprintf(stderr, "the sample does not scan\n");
            return 1;
        }
    }
    std::printf("automaton %.0f %.1f\n", mb / best_automaton,
                double(tokens) / 1e6 / best_automaton);
    std::printf("scan %.0f\n", mb / best_scan);
    return g_sink == 1 ? 3 : 0;
}
