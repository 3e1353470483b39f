// simple-io over POSIX: open/read/write/close, stat, mkdir, rmdir, unlink,
// renameat2, opendir, getcwd and chdir. Sizes and seek positions are 64-bit
// here.
//
// Relies on: strings (UTF-8 decoding and encoding), binaries, blocks, date!
// (file times), molding, file! (OS paths and new file! values), the tracked
// heap.
#include "os/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "scalars/date.h"
#include "scalars/simple_types.h"
#include "series/any_value.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/file.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"

namespace zel::simple_io {

namespace {

constexpr int64_t CHUNK = 65536;

// A descriptor closed however the read ends, a raised error included.
struct Closing {
    int fd;
    ~Closing() { close_file(fd); }
};

// A buffer of the tracked heap, freed however the read ends.
struct HeapBytes {
    uint8_t* bytes = nullptr;
    int64_t capacity = 0;
    ~HeapBytes() { memory::heap_free(bytes); }
    void reserve(int64_t n) {
        bytes = static_cast<uint8_t*>(memory::heap_realloc(bytes, n));
        capacity = n;
    }
};

// Moves past the first `count` bytes: a seek where the file allows one,
// else (a pipe, a terminal) by reading them. False when a read fails.
bool skip(int fd, int64_t count) {
    if (count <= 0 || seek_file(fd, count)) return true;
    uint8_t scratch[4096];
    while (count > 0) {
        int64_t n = read_data(fd, scratch, std::min<int64_t>(count, int64_t(sizeof scratch)));
        if (n < 0) return false;
        if (n == 0) return true;
        count -= n;
    }
    return true;
}

// Reads a file of a size the system cannot tell to its end, or to `part`
// bytes when part is above 0, growing the buffer as it fills. A file that
// goes on beyond `most` bytes raises no-memory (the buffer and the
// descriptor are let go on the way out). Answers the count read, or -1 when
// a read fails.
int64_t read_to_end(int fd, int64_t part, int64_t most, HeapBytes& buffer) {
    const bool capped = part <= 0 || part > most;
    const int64_t limit = capped ? most : part;
    int64_t total = 0;
    for (;;) {
        if (total == buffer.capacity) {
            if (total == limit) {
                // Full: one byte more shows whether the file goes on.
                uint8_t probe;
                int64_t n = capped ? read_data(fd, &probe, 1) : 0;
                if (n > 0) fire(ERR_internal_no_memory);
                return n < 0 ? -1 : total;
            }
            buffer.reserve(std::min(limit, std::max(CHUNK, 2 * buffer.capacity)));
        }
        int64_t want = std::min(CHUNK, buffer.capacity - total);
        int64_t n = read_data(fd, buffer.bytes + total, want);
        if (n < 0) return -1;
        total += n;
        if (n < want) return total;
    }
}

// The count of bytes to read of a file whose size is known, from `seek`
// when not negative (none from a seek past its end), its pointer moved
// there; -1 when the seek fails. More than `most` bytes raise no-memory.
int64_t sized_count(int fd, int64_t size, int64_t part, int64_t seek, int64_t most) {
    if (seek >= 0) {
        size = std::max<int64_t>(0, size - seek);
        if (size > 0 && !seek_file(fd, seek)) return -1;
    }
    if (part > 0 && part < size) size = part;
    if (size > most) fire(ERR_internal_no_memory);
    return size;
}

// A new binary! of the first `count` bytes read: fewer when the file has
// shrunk meanwhile. Read straight into the value, with no copy.
bool read_binary(int fd, int64_t count, Cell* result) {
    binary::make_at(result, count);
    int64_t got = read_data(fd, binary::head(result), count);
    if (got < 0) return false;
    Series* s = memory::series_of(result->data2);
    s->tail = s->offset + uint32_t(got);
    return true;
}

Cell* empty_result(bool binary, bool lines, Cell* result) {
    if (binary) return binary::make_at(result, 0);
    if (lines) return block::make_at(result, 1);
    return string::make_at(result, 1);
}

// A name as the OS gives it, each byte that is not part of valid UTF-8
// replaced by U+FFFD: a listing never fails on a name it cannot decode.
std::string valid_utf8(const std::string& name) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(name.data());
    const uint8_t* end = p + name.size();
    std::string out;
    out.reserve(name.size());
    while (p < end) {
        int32_t cp;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, cp, end);
        if (cp < 0) {
            out += "\xEF\xBF\xBD";
            p = next > p ? next : p + 1;
            continue;
        }
        out.append(reinterpret_cast<const char*>(p), size_t(next - p));
        p = next;
    }
    return out;
}

// The file! `name` inside the listed directory.
void append_entry(Cell* block, const std::string& name) {
    Cell* slot = cell::alloc_tail(block);
    cell::set(slot, TYPE_NONE);
    Cell entry;
    std::string text = valid_utf8(name);
    file::make_at(&entry, text.data(), int64_t(text.size()));
    *slot = entry;
}

// The OS path of a file! value; a quoted path names the text between the
// quotes.
std::string os_path(Cell* file) {
    std::string path = file::to_os_path(file);
    if (path.size() >= 1 && path.front() == '"') path.erase(0, 1);
    if (!path.empty() && path.back() == '"') path.pop_back();
    return path;
}

// A /part or /seek argument as a 64-bit count: a float! reaches past the
// 32 bits of integer!, its fraction dropped; beyond 64 bits is out of range.
int64_t position_arg(Cell* number) {
    if (type_of(number) != TYPE_FLOAT) return cell::number_to_int(number);
    double d = cell::get_float(number);
    if (!(d > -9.2e18 && d < 9.2e18)) fire(ERR_script_out_of_range, number);
    return int64_t(d);
}

// When writing, a part that is not an integer! is refused.
int64_t part_arg(Cell* part) {
    if (type_of(part) != TYPE_INTEGER) series::bad_refinement("part", part);
    return cell::number_to_int(part);
}

// Bytes on their way to a descriptor, gathered so that a block of many
// short lines is written in few calls. False once a write has failed.
class Output {
public:
    explicit Output(int fd) : fd_(fd) {}
    void put(const uint8_t* bytes, int64_t count) {
        if (!ok_) return;
        if (int64_t(pending_.size()) + count > CHUNK) flush();
        if (count >= CHUNK) {
            ok_ = write_data(fd_, bytes, count) == count;
            return;
        }
        pending_.insert(pending_.end(), bytes, bytes + count);
    }
    // A string's UTF-8 straight into the pending bytes: short lines need
    // no conversion buffer of their own.
    void put_text(Cell* text) {
        int64_t room = int64_t(string::length_q(text)) * 4;
        if (room > CHUNK) {
            int limit = -1;
            const char* bytes = unicode::to_utf8(text, limit);
            put(reinterpret_cast<const uint8_t*>(bytes), limit);
            return;
        }
        if (!ok_) return;
        if (int64_t(pending_.size()) + room > CHUNK) flush();
        size_t at = pending_.size();
        pending_.resize(at + size_t(room));
        int written = unicode::to_utf8_into(text, pending_.data() + at, int(room), -1, false);
        pending_.resize(at + size_t(written));
    }
    bool flush() {
        if (ok_ && !pending_.empty()) ok_ = write_data(fd_, pending_.data(), int64_t(pending_.size())) >= 0;
        pending_.clear();
        return ok_;
    }

private:
    int fd_;
    bool ok_ = true;
    std::vector<uint8_t> pending_;
};

}  // namespace

// ---- Low level -------------------------------------------------------------------------

int open_file(const char* path, int mode) {
    int flags = O_CLOEXEC;
    if (mode & MODE_READ) flags |= O_RDONLY;
    else flags |= O_WRONLY | O_CREAT | (mode & (MODE_APPEND | MODE_SEEK) ? 0 : O_TRUNC);
    int fd;
    do fd = ::open(path, flags, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int64_t file_size_q(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    return S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
}

bool seek_file(int fd, int64_t offset) { return lseek(fd, off_t(offset), SEEK_SET) >= 0; }

int64_t read_data(int fd, uint8_t* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, buffer + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done > 0 ? done : -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t write_data(int fd, const uint8_t* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, buffer + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += n;
    }
    return done;
}

void close_file(int fd) { ::close(fd); }

bool file_exists_q(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

bool make_dir(const char* path) { return mkdir(path, 0777) == 0; }

bool remove_path(const char* path, bool dir) { return (dir ? rmdir(path) : unlink(path)) == 0; }

bool rename_path(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // A file system without the no-replace flag: a link fails on an
    // existing target; a directory, which cannot be linked, is moved only
    // when nothing has its new name.
    struct stat st;
    if (lstat(from, &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return lstat(to, &st) != 0 && errno == ENOENT && ::rename(from, to) == 0;
    if (link(from, to) != 0) return false;
    if (unlink(from) == 0) return true;
    unlink(to);
    return false;
}

bool dir_q(const Cell* path) {
    Cell text = *path;
    int n = string::length_q(&text);
    if (n == 0) return false;
    int32_t head = int32_t(text.data1);
    auto at = [&](int i) { return string::abs_at(&text, head + i); };
    auto separator = [](uint32_t c) { return c == '/' || c == '\\'; };
    if (separator(at(n - 1))) return true;
    int dots = 0;
    while (dots < n && dots < 3 && at(n - 1 - dots) == '.') dots++;
    if (dots == 0 || dots > 2) return false;
    return dots == n || separator(at(n - 1 - dots));
}

std::string get_current_dir() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    std::string dir(buffer.data());
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

bool set_current_dir(const char* path) { return chdir(path) == 0; }

// ---- Value level -----------------------------------------------------------------------

Cell* read(Cell* file, Cell* part, Cell* seek, bool binary, bool lines, Cell* result) {
    if (dir_q(file)) return read_dir(file, result);
    int64_t part_n = part ? position_arg(part) : -1;
    int64_t seek_n = seek ? position_arg(seek) : -1;
    std::string path = os_path(file);
    if (!read_file(path.c_str(), part_n, seek_n, binary, lines, result)) fire(ERR_access_cannot_open, file);
    return result;
}

bool read_file(const char* path, int64_t part, int64_t seek, bool binary, bool lines, Cell* result) {
    int fd = open_file(path, MODE_READ);
    if (fd < 0) return false;
    Closing closing{fd};
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) return false;
    return read_descriptor(fd, part, seek, binary, lines, result);
}

bool read_descriptor(int fd, int64_t part, int64_t seek, bool binary, bool lines, Cell* result, int64_t most) {
    int64_t size = file_size_q(fd);
    if (size < 0) return false;
    HeapBytes buffer;
    int64_t got = 0;
    if (part != 0) {
        // A size of 0 is not trusted: devices and pipes report it, and
        // their bytes can be read only once.
        if (size > 0) {
            got = sized_count(fd, size, part, seek, most);
            if (binary && got > 0) return read_binary(fd, got, result);
            if (got > 0) {
                buffer.reserve(got);
                got = read_data(fd, buffer.bytes, got);
            }
        } else {
            if (!skip(fd, seek)) return false;
            got = read_to_end(fd, part, most, buffer);
        }
        if (got < 0) return false;
    }
    if (got == 0) {
        empty_result(binary, lines, result);
    } else if (binary) {
        binary::make_at(result, got);
        std::copy(buffer.bytes, buffer.bytes + got, binary::head(result));
        Series* s = memory::series_of(result->data2);
        s->tail = s->offset + uint32_t(got);
    } else if (lines) {
        lines_to_block(buffer.bytes, got, result);
    } else {
        load_text(buffer.bytes, got, result);
    }
    return true;
}

Cell* read_dir(Cell* dir, Cell* result) {
    std::string path = file::to_os_path(dir);
    DIR* d = opendir(path.c_str());
    if (!d) fire(ERR_access_cannot_open, dir);
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // A link is followed to what it names; some file systems do not
        // tell the kind at all.
        bool dir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            dir = fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (dir) name += '/';
        names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    block::make_at(result, int(names.size()) + 1);
    for (const std::string& name : names) append_entry(result, name);
    return result;
}

const uint8_t* value_to_bytes(Cell* value, int64_t part, int64_t& count) {
    int type = type_of(value);
    if (type == TYPE_BINARY) {
        count = binary::length_q(value);
        if (part >= 1 && part < count) count = part;
        return binary::head(value);
    }
    Cell text = *value;
    gc::root keep(&text);
    if (!series::any_string(type)) {
        string::make_at(&text, 64);
        any_value::mold(value, &text, false, false, false, INT32_MAX, 0);
        part = -1;
    }
    int limit = part >= 0 ? int(std::min<int64_t>(part, INT32_MAX)) : -1;
    const char* bytes = unicode::to_utf8(&text, limit);
    count = limit;
    return reinterpret_cast<const uint8_t*>(bytes);
}

void write(Cell* file, Cell* data, Cell* part, Cell* seek, bool, bool append, bool lines) {
    int64_t part_n = part ? part_arg(part) : -1;
    if (part_n < 0 && part) return;
    int64_t seek_n = seek ? position_arg(seek) : -1;
    bool lines_mode = lines && type_of(data) == TYPE_BLOCK;
    Cell list = *data;
    gc::root keep(&list);
    std::string path = os_path(file);
    int mode = MODE_WRITE | (append ? MODE_APPEND : 0) | (seek ? MODE_SEEK : 0);
    int fd = open_file(path.c_str(), mode);
    if (fd < 0) fire(ERR_access_cannot_open, file);
    Closing closing{fd};
    if (seek_n > 0) seek_file(fd, seek_n);
    if (append) lseek(fd, 0, SEEK_END);
    Output out(fd);
    static const uint8_t LF = '\n';
    int64_t count;
    if (lines_mode) {
        // Molding a value may move the block's cells: each is fetched anew.
        int n = block::length_q(&list);
        for (int i = 0; i < n; i++) {
            Cell item = *block::abs_at(&list, int32_t(list.data1) + i);
            if (series::any_string(type_of(&item))) {
                out.put_text(&item);
            } else {
                const uint8_t* bytes = value_to_bytes(&item, -1, count);
                out.put(bytes, count);
            }
            out.put(&LF, 1);
        }
    } else {
        const uint8_t* bytes = value_to_bytes(&list, part_n, count);
        out.put(bytes, count);
        if (lines) out.put(&LF, 1);
    }
    if (!out.flush()) fire(ERR_access_cannot_open, file);
}

bool remove(Cell* file) {
    std::string path = os_path(file);
    return remove_path(path.c_str(), dir_q(file));
}

bool rename(Cell* from, Cell* to) {
    std::string old_path = os_path(from);
    std::string new_path = os_path(to);
    return rename_path(old_path.c_str(), new_path.c_str());
}

Cell* query(Cell* file, Cell* result) {
    std::string path = os_path(file);
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || (dir_q(file) && !S_ISDIR(st.st_mode))) {
        *result = none::g_none;
        return result;
    }
    return file_date(result, int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec));
}

// The one place a file time becomes a date!.
Cell* file_date(Cell* result, int64_t seconds, int64_t nanoseconds) {
    constexpr int64_t DAY = 86400;
    int64_t days = seconds / DAY - (seconds % DAY < 0 ? 1 : 0);
    double t = double(seconds - days * DAY) + double(nanoseconds / 1000000) / 1000.0;
    return date::set_at(result, date::from_days(int32_t(days + date::EPOCH_DAYS), 0, true), t);
}

Cell* load_text(const uint8_t* bytes, int64_t count, Cell* result) {
    Node node = unicode::load_utf8_buffer(bytes, count, 0, nullptr, true);
    cell::set(result, TYPE_STRING, 0, node, 0);
    return result;
}

Cell* lines_to_block(const uint8_t* bytes, int64_t count, Cell* result) {
    block::make_at(result, 8);
    const uint8_t* start = bytes;
    const uint8_t* end = bytes + count;
    while (start < end) {
        auto* lf = static_cast<const uint8_t*>(std::memchr(start, '\n', size_t(end - start)));
        const uint8_t* stop = lf ? lf : end;
        if (lf && stop > start && stop[-1] == '\r') stop--;
        string::load_in(start, stop - start, result, string::ENCODING_UTF8);
        start = lf ? lf + 1 : end;
    }
    return result;
}

}  // namespace zel::simple_io
