// simple-io over POSIX: open/read/write/close, stat, mkdir, opendir, getcwd
// and chdir. Sizes and seek positions are 64-bit here.
//
// Relies on: strings (UTF-8 decoding), binaries, blocks, file! (OS paths and
// new file! values), the tracked heap.
#include "os/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/raise.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/file.h"
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

// Reads `size` bytes of a file whose size is known, from `seek` when not
// negative: fewer when the file has shrunk meanwhile, -1 when a read fails.
int64_t read_sized(int fd, int64_t size, int64_t part, int64_t seek, HeapBytes& buffer) {
    if (seek >= 0) {
        seek_file(fd, seek);
        size = std::max<int64_t>(0, size - seek);
    }
    if (part > 0 && part < size) size = part;
    if (size == 0) return 0;
    buffer.reserve(size);
    return read_data(fd, buffer.bytes, size);
}

Cell* empty_result(bool binary, bool lines, Cell* result) {
    if (binary) return binary::make_at(result, 0);
    if (lines) return block::make_at(result, 1);
    return string::make_at(result, 1);
}

// The file! `name` inside the listed directory, its text as the OS gives it.
void append_entry(Cell* block, const std::string& name) {
    Cell* slot = cell::alloc_tail(block);
    cell::set(slot, TYPE_NONE);
    Cell entry;
    file::make_at(&entry, name.data(), int64_t(name.size()));
    *slot = entry;
}

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

void close_file(int fd) { ::close(fd); }

bool file_exists_q(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

bool make_dir(const char* path) { return mkdir(path, 0777) == 0; }

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
    int64_t part_n = part ? cell::number_to_int(part) : -1;
    int64_t seek_n = seek ? cell::number_to_int(seek) : -1;
    std::string path = file::to_os_path(file);
    // A quoted path names the text between the quotes.
    if (path.size() >= 1 && path.front() == '"') path.erase(0, 1);
    if (!path.empty() && path.back() == '"') path.pop_back();
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
            got = read_sized(fd, size, part, seek, buffer);
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
        struct stat st;
        std::string full = path + (path.empty() || path.back() == '/' ? "" : "/") + name;
        if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) name += '/';
        names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    block::make_at(result, int(names.size()) + 1);
    for (const std::string& name : names) append_entry(result, name);
    return result;
}

Cell* load_text(const uint8_t* bytes, int64_t count, Cell* result) {
    Node node = unicode::load_utf8_buffer(bytes, count, 0, nullptr, true);
    cell::set(result, TYPE_STRING, 0, node, 0);
    return result;
}

Cell* lines_to_block(const uint8_t* bytes, int64_t count, Cell* result) {
    block::make_at(result, 8);
    int64_t start = 0;
    for (int64_t i = 0; i <= count; i++) {
        bool end = i == count;
        if (!end && bytes[i] != '\n') continue;
        if (end && start == count) break;
        int64_t stop = i;
        if (!end && stop > start && bytes[stop - 1] == '\r') stop--;
        string::load_in(bytes + start, stop - start, result, string::ENCODING_UTF8);
        start = i + 1;
    }
    return result;
}

}  // namespace zel::simple_io
