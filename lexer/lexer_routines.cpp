// The per-token routine tables: the scanners of token types 0-15 and the
// loaders of types 13-35, filled from one list of (scanner, loader) pairs.
// The routines themselves live in structure.cpp, load_text.cpp and
// load_numbers.cpp.
#include "lexer/routines.h"

namespace zel::lexer {

Routine g_scanners[TOKEN_COUNT];
Routine g_loaders[TOKEN_COUNT];

namespace {

struct RoutinePair {
    Routine scanner;
    Routine loader;
};

constexpr RoutinePair ROUTINES[TOKEN_COUNT] = {
    {scan_end_of_input, nullptr},      // end of input
    {scan_error_transition, nullptr},  // error transition
    {scan_open, nullptr},              // [
    {scan_close, nullptr},             // ]
    {scan_open, nullptr},              // ( (or a point literal)
    {scan_close, nullptr},             // )
    {scan_brace_open, nullptr},        // {
    {scan_brace_close, nullptr},       // } inside a brace string
    {scan_open, nullptr},              // #[
    {scan_path_head, nullptr},         // a word and its "/"
    {scan_construction, nullptr},      // #( ... )
    {scan_comment, nullptr},           // ; ... the line feed is read again
    {scan_comma, nullptr},             // ,
    {scan_string, load_string},        // string
    {scan_word, load_word},            // word
    {scan_issue, load_word},           // issue
    {nullptr, load_integer},           // integer
    {nullptr, load_refinement},        // refinement
    {nullptr, load_char},              // char
    {nullptr, load_file},              // file
    {nullptr, load_binary},            // binary
    {nullptr, load_percent},           // percent
    {nullptr, load_float},             // float
    {nullptr, load_special_float},     // special float
    {nullptr, load_tuple},             // tuple
    {nullptr, load_date},              // date
    {nullptr, load_pair},              // pair
    {nullptr, load_point},             // point
    {nullptr, load_time},              // time
    {nullptr, load_money},             // money
    {nullptr, load_tag},               // tag
    {nullptr, load_url},               // url
    {nullptr, load_email},             // email
    {nullptr, load_hex},               // hexadecimal integer: the "h" is in the token
    {nullptr, load_raw_string},        // raw string: the closing "%"s are in the token
    {nullptr, load_ref},               // ref
};

}  // namespace

void init_routines() {
    for (int t = 0; t < TOKEN_COUNT; t++) {
        g_scanners[t] = ROUTINES[t].scanner;
        g_loaders[t] = ROUTINES[t].loader;
    }
}

}  // namespace zel::lexer
