// The image back-end (see image_os.h): records, the operations on their
// pixels, and the quadrilateral mapping with its vector helpers.
#include "os/image_os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "foundation/ext_res.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "os/codecs/codecs.h"
#include "series/binary.h"
#include "series/file.h"

namespace zel::image_os {

namespace {

int g_class = 0;

void release_record(void* resource) {
    auto* r = static_cast<Record*>(resource);
    release(r);
    delete r;
}

void drop_cached(Record* r) {
    if (r->cached && r->release_cached) r->release_cached(r->cached);
    r->cached = nullptr;
    r->release_cached = nullptr;
}

// A buffer of width x height words, for the caller to fill; sides checked
// first.
codecs::PixelBuffer new_pixels(int64_t width, int64_t height) {
    if (width > codecs::MAX_SIDE || height > codecs::MAX_SIDE || width * height * 4 > SERIES_MAX_BYTES)
        fire(ERR_internal_no_memory);
    try {
        return codecs::PixelBuffer(size_t(width * height));
    } catch (const std::bad_alloc&) {
        fire(ERR_internal_no_memory);
    }
}

Record* from_picture(codecs::Picture& picture, uint32_t flags) {
    return make_record(std::move(picture.pixels), flags, picture.width, picture.height);
}

}  // namespace

// At every start of the run-time: the registry's class table starts empty.
void init() { g_class = ext_res::register_class("image", release_record); }

int resource_class() { return g_class; }

Record* make_record(codecs::PixelBuffer&& pixels, uint32_t flags, int32_t width, int32_t height) {
    auto* r = new Record;
    r->flags = flags;
    r->size = uint32_t(height) << 16 | uint32_t(width & 0xFFFF);
    r->pixels = std::move(pixels);
    r->slot = ext_res::store(r, uint32_t(g_class));
    return r;
}

Record* record_at(int32_t slot) {
    const ext_res::Slot* s = ext_res::slot(slot);
    if (!s || (s->class_word & ext_res::SLOT_FREE) || int(s->class_word & ext_res::CLASS_MASK) != g_class) return nullptr;
    return static_cast<Record*>(s->resource);
}

Record* make_image(int32_t width, int32_t height, const uint8_t* rgb, int64_t rgb_bytes, const uint8_t* alpha,
                   int64_t alpha_bytes, const uint32_t* colour) {
    if (width <= 0 || height <= 0) return nullptr;
    codecs::PixelBuffer pixels = new_pixels(width, height);
    int64_t count = int64_t(width) * height;
    int64_t from_rgb = !colour && rgb ? std::min(count, rgb_bytes / 3) : 0;
    int64_t from_alpha = alpha ? std::min(count, alpha_bytes) : 0;
    for (int64_t i = 0; i < count; i++) {
        uint32_t p = colour ? *colour : 0xFFFFFFFF;
        if (i < from_rgb) p = 0xFF000000 | uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
        if (i < from_alpha) p = (p & 0xFFFFFF) | uint32_t(255 - alpha[i]) << 24;
        pixels[size_t(i)] = p;
    }
    return make_record(std::move(pixels), BITMAP_MADE | MODIFIED, width, height);
}

Lock lock(Record* r, bool write) {
    if (!r || r->pixels.empty()) fire(ERR_access_bad_media);
    r->flags |= BITMAP_MADE;
    if (write) r->flags |= MODIFIED;
    return Lock{r, write};
}

void unlock(Record*, Lock) {}

uint32_t* get_data(Lock lock, int32_t* stride) {
    if (stride) *stride = width_q(lock.record) * 4;
    return lock.record->pixels.data();
}

uint32_t get_pixel(Record* r, int64_t index) {
    Lock l = lock(r, false);
    uint32_t p = get_data(l, nullptr)[index];
    unlock(r, l);
    return p;
}

void set_pixel(Record* r, int64_t index, uint32_t pixel) {
    Lock l = lock(r, true);
    get_data(l, nullptr)[index] = pixel;
    unlock(r, l);
}

const uint32_t* source(Record* r) {
    if (r->pixels.empty()) fire(ERR_access_bad_media);
    if (r->flags & MODIFIED) {
        drop_cached(r);
        r->flags &= ~(MODIFIED | MODIFIED_TOO | PREMULTIPLIED);
    }
    return r->pixels.data();
}

uint32_t* bitmap(Record* r) {
    r->flags = (r->flags & ~REMAKE_BITMAP) | BITMAP_MADE;
    return r->pixels.data();
}

void remake_bitmap(Record* r) { r->flags |= REMAKE_BITMAP; }

Record* decode_memory(const uint8_t* data, int64_t size) {
    codecs::Picture picture;
    if (!data || size <= 0 || !codecs::decode(data, size_t(size), picture)) return nullptr;
    return from_picture(picture, BITMAP_MADE);
}

Record* decode_file(const char* os_path) {
    int fd = ::open(os_path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    std::vector<uint8_t> bytes;
    bool read_whole = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= SERIES_MAX_BYTES;
    if (read_whole) {
        try {
            bytes.resize(size_t(info.st_size));
        } catch (const std::bad_alloc&) {
            read_whole = false;
        }
    }
    size_t got = 0;
    while (read_whole && got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) read_whole = false;
        else got += size_t(n);
    }
    ::close(fd);
    return read_whole ? decode_memory(bytes.data(), int64_t(bytes.size())) : nullptr;
}

Record* decode_file(Cell* file) { return decode_file(file::to_os_path(file)); }

void encode(Record* r, Cell* target, int format) {
    if (format < 0 || format >= codecs::FORMAT_COUNT) {
        platform::print_c_string("Cannot find image encoder\n");
        return;
    }
    std::vector<uint8_t> file;
    if (r && !codecs::encode(format, source(r), width_q(r), height_q(r), file)) fire(ERR_access_bad_media);
    if (int64_t(file.size()) > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
    binary::make_at(target, int64_t(file.size()));
    binary::append_bytes(target, file.data(), int64_t(file.size()));
}

Record* resize(Record* r, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    codecs::PixelBuffer pixels = new_pixels(width, height);
    const uint32_t* from = source(r);
    int64_t w = width_q(r), h = height_q(r);
    // Each new pixel takes the source pixel under its centre.
    std::vector<int64_t> columns(static_cast<size_t>(width));
    for (int64_t x = 0; x < width; x++) columns[size_t(x)] = (2 * x + 1) * w / (2 * int64_t(width));
    for (int64_t y = 0; y < height; y++) {
        const uint32_t* row = from + ((2 * y + 1) * h / (2 * int64_t(height))) * w;
        uint32_t* out = &pixels[size_t(y * width)];
        for (int64_t x = 0; x < width; x++) out[x] = row[columns[size_t(x)]];
    }
    return make_record(std::move(pixels), BITMAP_MADE, width, height);
}

Record* copy(Record* r) {
    codecs::PixelBuffer pixels = new_pixels(width_q(r), height_q(r));
    std::memcpy(pixels.data(), source(r), pixels.size() * 4);
    return make_record(std::move(pixels), BITMAP_MADE | MODIFIED, width_q(r), height_q(r));
}

Record* copy_region(Record* r, int32_t x, int32_t y, int32_t width, int32_t height) {
    int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    int64_t right = std::min<int64_t>(int64_t(x) + width, width_q(r));
    int64_t bottom = std::min<int64_t>(int64_t(y) + height, height_q(r));
    if (right <= left || bottom <= top) return nullptr;
    codecs::PixelBuffer pixels = new_pixels(right - left, bottom - top);
    crop(source(r), width_q(r), height_q(r), int32_t(left), int32_t(top), int32_t(right - left),
         int32_t(bottom - top), pixels.data());
    return make_record(std::move(pixels), BITMAP_MADE, int32_t(right - left), int32_t(bottom - top));
}

Record* from_memory(int32_t width, int32_t height, int32_t stride, const uint32_t* words) {
    if (width <= 0 || height <= 0) return nullptr;
    codecs::PixelBuffer pixels = new_pixels(width, height);
    int64_t step = stride ? stride : int64_t(width) * 4;
    const auto* bytes = reinterpret_cast<const uint8_t*>(words);
    for (int64_t y = 0; y < height; y++) std::memcpy(&pixels[size_t(y * width)], bytes + y * step, size_t(width) * 4);
    return make_record(std::move(pixels), BITMAP_MADE, width, height);
}

void gc_mark(Record* r) {
    if (!r || !ext_res::mark(r->slot, r)) return;
    if (r->flags & KEEP_CACHED) r->flags &= ~KEEP_CACHED;
    else drop_cached(r);
}

void release(Record* r) {
    drop_cached(r);
    r->pixels = codecs::PixelBuffer();
    r->flags &= ~BITMAP_MADE;
}

void set_cached(Record* r, void* object, void (*release_cached)(void*), bool keep) {
    drop_cached(r);
    r->cached = object;
    r->release_cached = release_cached;
    if (keep) r->flags |= KEEP_CACHED;
    else r->flags &= ~KEEP_CACHED;
}

void* cached(Record* r) { return r->cached; }

// ---- Geometry ------------------------------------------------------------------------------

double length(Vector v) { return std::sqrt(v.x * v.x + v.y * v.y); }

Vector normalise(Vector v) {
    double n = length(v);
    return Vector{v.x / n, v.y / n};
}

Vector vector_between(Vector from, Vector to) { return Vector{to.x - from.x, to.y - from.y}; }

double cross(Vector a, Vector b) { return a.x * b.y - a.y * b.x; }

bool inside_quad(const Vector quad[4], Vector point) {
    for (int i = 0; i < 4; i++) {
        Vector a = quad[i], b = quad[(i + 1) & 3];
        if (cross(vector_between(a, point), vector_between(a, b)) > 0) return false;
    }
    return true;
}

void mirror_x(Vector quad[4], double c) {
    for (int i = 0; i < 4; i++) quad[i].x = 2 * c - quad[i].x;
}

void mirror_y(Vector quad[4], double c) {
    for (int i = 0; i < 4; i++) quad[i].y = 2 * c - quad[i].y;
}

namespace {

// A quadrilateral the mapping can work with: finite corners within 32-bit
// range, no zero-length edge, some area.
bool mappable(const Vector quad[4]) {
    constexpr double LIMIT = 2147483647.0;
    double area = 0;
    for (int i = 0; i < 4; i++) {
        const Vector& a = quad[i];
        const Vector& b = quad[(i + 1) & 3];
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || std::fabs(a.x) > LIMIT || std::fabs(a.y) > LIMIT) return false;
        if (a.x == b.x && a.y == b.y) return false;
        area += cross(a, b);
    }
    return area != 0;
}

// One byte of the four neighbours blended with their weights, truncated.
uint32_t blend(const uint32_t p[4], const double w[4], int shift) {
    double sum = 0;
    for (int i = 0; i < 4; i++) sum += w[i] * double((p[i] >> shift) & 0xFF);
    return uint32_t(std::min(255.0, std::max(0.0, sum))) << shift;
}

}  // namespace

uint32_t* map_quad(const uint32_t* pixels, int32_t width, int32_t height, const Vector quad[4], int32_t box[4]) {
    if (width < 1 || height < 1 || !mappable(quad)) return nullptr;
    double min_x = std::numeric_limits<float>::max(), min_y = min_x, max_x = -min_x, max_y = -min_x;
    for (int i = 0; i < 4; i++) {
        min_x = std::min(min_x, quad[i].x), max_x = std::max(max_x, quad[i].x);
        min_y = std::min(min_y, quad[i].y), max_y = std::max(max_y, quad[i].y);
    }
    double box_w = std::trunc(max_x - min_x), box_h = std::trunc(max_y - min_y);
    // A long, thin box holds few pixels but must still fit its numbers.
    if (box_w > INT32_MAX || box_h > INT32_MAX || box_w * box_h * 4 > double(SERIES_MAX_BYTES))
        fire(ERR_internal_no_memory);
    box[0] = int32_t(min_x), box[1] = int32_t(min_y), box[2] = int32_t(box_w), box[3] = int32_t(box_h);
    Vector edge[4];
    for (int i = 0; i < 4; i++) edge[i] = normalise(vector_between(quad[i], quad[(i + 1) & 3]));
    auto* out = static_cast<uint32_t*>(memory::heap_alloc_zeroed(int64_t(box[2]) * box[3] * 4));
    for (int32_t j = 0; j < box[3]; j++) {
        for (int32_t i = 0; i < box[2]; i++) {
            Vector point{double(box[0]) + i, double(box[1]) + j};
            if (!inside_quad(quad, point)) continue;
            double d[4];
            for (int e = 0; e < 4; e++) d[e] = std::fabs(cross(vector_between(quad[e], point), edge[e]));
            if (d[3] + d[1] == 0 || d[0] + d[2] == 0) continue;
            double u = d[3] / (d[3] + d[1]) * width, v = d[0] / (d[0] + d[2]) * height;
            if (!(u >= 0 && u < width && v >= 0 && v < height)) continue;
            int32_t col_a = int32_t(u), row_a = int32_t(v);
            int32_t col_b = col_a + 1 < width ? col_a + 1 : col_a, row_b = row_a + 1 < height ? row_a + 1 : row_a;
            double fu = std::max(0.0, u - col_a), fv = std::max(0.0, v - row_a);
            const uint32_t p[4] = {pixels[int64_t(row_a) * width + col_a], pixels[int64_t(row_a) * width + col_b],
                                   pixels[int64_t(row_b) * width + col_a], pixels[int64_t(row_b) * width + col_b]};
            const double w[4] = {(1 - fu) * (1 - fv), fu * (1 - fv), (1 - fu) * fv, fu * fv};
            out[int64_t(j) * box[2] + i] = blend(p, w, 24) | blend(p, w, 16) | blend(p, w, 8) | blend(p, w, 0);
        }
    }
    return out;
}

bool crop(const uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y, int32_t w, int32_t h,
          uint32_t* out) {
    if (x < 0 || y < 0 || x >= width || y >= height || w <= 0 || h <= 0) return false;
    int32_t cols = std::min(w, width - x), rows = std::min(h, height - y);
    for (int32_t r = 0; r < rows; r++)
        std::memcpy(out + int64_t(r) * cols, pixels + int64_t(y + r) * width + x, size_t(cols) * 4);
    return true;
}

}  // namespace zel::image_os
