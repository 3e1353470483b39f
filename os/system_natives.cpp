// The natives that reach the operating system: wait, now, size?, set-env,
// get-env, list-env, call, browse, compress and decompress. Each converts
// its arguments, checks them, and hands the work to a service of this layer
// or to the worker registered for it (workers.h).
//
// Relies on: the natives table, simple-io (file sizes), local paths,
// strings and binaries, posix_spawnp (browse).
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "os/call.h"
#include "os/file.h"
#include "os/workers.h"
#include "scalars/date.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/file.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"

extern char** environ;

namespace zel::workers {

Codec g_codecs[METHODS];
Caller g_call = nullptr;
EnvLister g_list_env = nullptr;

namespace {

using natives::arg;
using natives::Exit;
using natives::has;
using natives::refinement_arg;

// ---- wait -------------------------------------------------------------------------------------

// The sleep in milliseconds: the seconds x 1000 truncated, at least 1 (NaN
// and every duration below a millisecond included), at most 2^31 - 1.
int64_t sleep_ms(double seconds) {
    double ms = seconds * 1000.0;
    if (!(ms >= 1.0)) return 1;
    if (ms >= 2147483647.0) return 2147483647;
    return int64_t(ms);
}

// wait value /all: sleeps on the monotonic clock, resumed after signals.
Exit wait(bool, const int32_t*) {
    Cell* v = arg(0);
    double seconds;
    switch (type_of(v)) {
        case TYPE_INTEGER: seconds = integer::get(v); break;
        case TYPE_FLOAT: case TYPE_TIME: seconds = cell::get_float(v); break;
        default: fire(ERR_script_invalid_arg, v);
    }
    int64_t ms = sleep_ms(seconds);
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += time_t(ms / 1000);
    until.tv_nsec += long(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec++;
        until.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    *v = none::g_none;
    return Exit{};
}

// ---- now --------------------------------------------------------------------------------------

enum NowRefinement { N_YEAR, N_MONTH, N_DAY, N_TIME, N_ZONE, N_DATE, N_WEEKDAY, N_YEARDAY, N_PRECISE, N_UTC };

// The date and time from the system clock: local, with the zone the system
// gives (tm_gmtoff), or UTC with /utc; whole seconds unless /precise (100 ns).
// One field refinement at most, /time with /precise excepted.
Exit now(bool, const int32_t* r) {
    int given = 0;
    for (int k = N_YEAR; k <= N_PRECISE; k++) given += has(r, k);
    if (given >= 2 && !(has(r, N_TIME) && has(r, N_PRECISE))) fire(ERR_script_bad_refines);
    timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    struct tm parts;
    if (has(r, N_UTC))
        gmtime_r(&clock.tv_sec, &parts);
    else
        localtime_r(&clock.tv_sec, &parts);
    long offset = has(r, N_UTC) ? 0 : parts.tm_gmtoff;
    double seconds = parts.tm_hour * 3600.0 + parts.tm_min * 60.0 + parts.tm_sec;
    if (has(r, N_PRECISE)) seconds += double(clock.tv_nsec / 100) / 1e7;
    Cell* result = arg(0);
    int year = parts.tm_year + 1900, month = parts.tm_mon + 1, day = parts.tm_mday;
    if (has(r, N_DATE)) {
        date::set_at(result, date::pack(year, month, day, 0, false), 0.0);
        return Exit{};
    }
    // Quarter hours, as a zone holds them.
    long quarters = offset / 900;
    date::make_at(result, year, month, day, seconds, int(quarters / 4), int(quarters % 4) * 15, true);
    const int fields[][2] = {{N_YEAR, date::FIELD_YEAR},   {N_MONTH, date::FIELD_MONTH}, {N_DAY, date::FIELD_DAY},
                             {N_ZONE, date::FIELD_ZONE},   {N_TIME, date::FIELD_TIME},
                             {N_WEEKDAY, date::FIELD_WEEKDAY}};
    for (const auto& f : fields)
        if (has(r, f[0])) {
            Cell d = *result;
            date::field_at(result, &d, f[1]);
            return Exit{};
        }
    if (has(r, N_YEARDAY)) integer::make_at(result, date::year_day(date::word_of(result)));
    return Exit{};
}

// ---- size? ------------------------------------------------------------------------------------

// A directory spelling gives none, so does a file that cannot be opened or
// a folder; sizes beyond 32 bits come as a float!.
Exit size_q(bool, const int32_t*) {
    Cell* file = arg(0);
    if (simple_io::dir_q(file)) {
        *file = none::g_none;
        return Exit{};
    }
    std::string path = file::to_os_path(file);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    bool ok = fd >= 0 && fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    if (fd >= 0) ::close(fd);
    if (!ok) {
        *file = none::g_none;
    } else if (st.st_size <= INT32_MAX) {
        integer::make_at(file, int32_t(st.st_size));
    } else {
        float_::make_at(file, double(st.st_size));
    }
    return Exit{};
}

// ---- The environment --------------------------------------------------------------------------

// A variable's name as UTF-8: a word by its spelling, a string by its text;
// an empty name or one holding "=" raises script invalid-arg.
std::string env_name(Cell* var) {
    std::string name;
    if (word::any_word_type_q(type_of(var))) {
        int32_t length;
        const uint8_t* spelling = symbol::utf8(var->data2, length);
        name.assign(reinterpret_cast<const char*>(spelling), size_t(length));
    } else {
        int limit = -1;
        const char* utf8 = unicode::to_utf8(var, limit);
        name.assign(utf8, size_t(limit));
    }
    if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos)
        fire(ERR_script_invalid_arg, var);
    return name;
}

// set-env var value: none removes the variable. Answers the value.
Exit set_env(bool, const int32_t*) {
    std::string name = env_name(arg(0));
    Cell* value = arg(1);
    if (type_of(value) == TYPE_NONE) {
        unsetenv(name.c_str());
    } else {
        int limit = -1;
        const char* utf8 = unicode::to_utf8(value, limit);
        std::string text(utf8, size_t(limit));
        if (text.find('\0') != std::string::npos) fire(ERR_script_invalid_arg, value);
        setenv(name.c_str(), text.c_str(), 1);
    }
    *arg(0) = *value;
    return Exit{};
}

// An absent or empty variable gives none.
Exit get_env(bool, const int32_t*) {
    std::string name = env_name(arg(0));
    const char* value = getenv(name.c_str());
    if (!value || !*value) {
        *arg(0) = none::g_none;
        return Exit{};
    }
    Cell text{};
    gc::root keep(&text);
    string::make_from_utf8(&text, reinterpret_cast<const uint8_t*>(value), int64_t(std::strlen(value)));
    *arg(0) = text;
    return Exit{};
}

Exit list_env(bool, const int32_t*) {
    if (!g_list_env) fire(ERR_internal_not_done);
    Cell result{};
    gc::root keep(&result);
    g_list_env(&result);
    stack::set_last_only(&result);
    return Exit{};
}

// ---- call and browse --------------------------------------------------------------------------

enum CallRefinement { C_WAIT, C_SHOW, C_CONSOLE, C_SHELL, C_INPUT, C_OUTPUT, C_ERROR };

// An empty command answers 0 at once; a file! goes in its local form.
Exit call(bool, const int32_t* r) {
    Cell* cmd = arg(0);
    if (string::length_q(cmd) == 0) {
        integer::make_at(cmd, 0);
        return Exit{};
    }
    if (!g_call) fire(ERR_internal_not_done);
    Cell command = *cmd, result{};
    gc::root keep_command(&command), keep_result(&result);
    if (type_of(&command) == TYPE_FILE) {
        file::to_local_path(&command, &command, false);
        cell::set_type(&command, TYPE_FILE);  // the worker runs a file as one path, unsplit
    }
    g_call(&command, has(r, C_WAIT), has(r, C_SHOW), has(r, C_CONSOLE), has(r, C_SHELL), refinement_arg(r, C_INPUT),
           refinement_arg(r, C_OUTPUT), refinement_arg(r, C_ERROR), &result);
    *arg(0) = result;
    return Exit{};
}

// The system's opener (xdg-open) with the URL or the file's local path as
// its one argument, no shell, not waited for.
Exit browse(bool, const int32_t*) {
    Cell* target = arg(0);
    Cell text = *target;
    gc::root keep(&text);
    if (type_of(&text) == TYPE_FILE) file::to_local_path(&text, &text, false);
    int limit = -1;
    std::string argument = unicode::to_utf8(&text, limit);
    char opener[] = "xdg-open";
    char* argv[] = {opener, argument.data(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, opener, nullptr, nullptr, argv, environ) != 0) fire(ERR_access_cannot_open, target);
    call::reap_when_done(pid);
    stack::set_last_only(&unset::g_unset);
    return Exit{};
}

// ---- compress and decompress ------------------------------------------------------------------

const char* const METHOD_NAMES[METHODS] = {"zlib", "deflate", "gzip", "zstd"};
// The method words' canonical symbols, made once at start-up.
uint32_t g_method_symbols[METHODS];

void init_method_words() {
    for (int m = 0; m < METHODS; m++) g_method_symbols[m] = symbol::resolve(symbol::make(METHOD_NAMES[m]));
}

// The method a word names (case-insensitive); another word raises script
// invalid-arg with it.
int method_of(const Cell* word) {
    uint32_t s = symbol::resolve(word->data2);
    for (int m = 0; m < METHODS; m++)
        if (g_method_symbols[m] == s) return m;
    fire(ERR_script_invalid_arg, word);
}

// Two attempts at most: the second with the size the first reported
// needed. Anything but done raises script invalid-data.
template <typename Step>
void two_attempts(int64_t size, Cell* result, Step step) {
    for (int attempt = 0; attempt < 2; attempt++) {
        if (size < 0) fire(ERR_script_invalid_data);
        if (size > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
        binary::make_at(result, size);
        int64_t written = size;
        int code = step(binary::head(result), &written);
        if (code == DONE) {
            memory::series_of(result->data2)->tail = memory::series_of(result->data2)->offset + uint32_t(written);
            return;
        }
        if (code != TOO_SMALL) break;
        size = written;
    }
    fire(ERR_script_invalid_data);
}

// compress data method /level lvl: the level is checked before the method.
Exit compress(bool, const int32_t* r) {
    Cell data = *arg(0), method_word = *arg(1), result{};
    gc::root keep_data(&data), keep_result(&result);
    int level = -1;
    if (const Cell* given = refinement_arg(r, 0)) {
        bool zstd = symbol::resolve(method_word.data2) == g_method_symbols[ZSTD];
        level = integer::get(given);
        if (level < 1 || level > (zstd ? 19 : 9)) fire(ERR_script_out_of_range, given);
    }
    int method = method_of(&method_word);
    std::string bytes;
    if (type_of(&data) == TYPE_BINARY) {
        bytes.assign(reinterpret_cast<const char*>(binary::head(&data)), size_t(binary::length_q(&data)));
    } else {
        int limit = -1;
        const char* utf8 = unicode::to_utf8(&data, limit);
        bytes.assign(utf8, size_t(limit));
    }
    Compressor codec = g_codecs[method].compress;
    if (!codec) fire(ERR_internal_not_done);
    auto src = reinterpret_cast<const uint8_t*>(bytes.data());
    int64_t n = int64_t(bytes.size());
    two_attempts((n >> 11) + n + 32, &result, [&](uint8_t* dst, int64_t* size) { return codec(dst, size, src, n, level); });
    stack::set_last_only(&result);
    return Exit{};
}

// decompress data method /size sz: the output size is measured first
// (zlib and deflate unless a size above the input's length is given, gzip
// always, zstd without a positive size); a measure that fails is corrupt
// input.
Exit decompress(bool, const int32_t* r) {
    Cell data = *arg(0), method_word = *arg(1), result{};
    gc::root keep_data(&data), keep_result(&result);
    int method = method_of(&method_word);
    const Cell* given = refinement_arg(r, 0);
    int64_t size = given ? integer::get(given) : 0;
    std::string bytes(reinterpret_cast<const char*>(binary::head(&data)), size_t(binary::length_q(&data)));
    Decompressor codec = g_codecs[method].decompress;
    if (!codec) fire(ERR_internal_not_done);
    auto src = reinterpret_cast<const uint8_t*>(bytes.data());
    int64_t n = int64_t(bytes.size());
    bool probe = method == GZIP || (method == ZSTD ? size < 1 : size <= n);
    if (probe) {
        size = 0;
        int code = codec(nullptr, &size, src, n);
        if (code != DONE && code != TOO_SMALL) fire(ERR_script_invalid_data);
    }
    two_attempts(size, &result, [&](uint8_t* dst, int64_t* out) { return codec(dst, out, src, n); });
    stack::set_last_only(&result);
    return Exit{};
}

}  // namespace

void register_system_natives() {
    using natives::Native;
    natives::set(Native::wait_, wait);
    natives::set(Native::now_, now);
    natives::set(Native::size_q, size_q);
    natives::set(Native::set_env, set_env);
    natives::set(Native::get_env, get_env);
    natives::set(Native::list_env, list_env);
    natives::set(Native::call_, call);
    natives::set(Native::browse, browse);
    natives::set(Native::compress, compress);
    natives::set(Native::decompress, decompress);
    init_method_words();
}

}  // namespace zel::workers
