// Median cut: the distinct colours, with how often each occurs, are split
// into boxes, always the box with the widest channel range at the weighted
// median of that channel, until there are as many boxes as colours asked
// or no box can be split; each box's colour is the weighted mean of its
// colours, and each pixel takes its colour's box.
#include <algorithm>

#include "os/codecs/codecs.h"

namespace zel::codecs {

namespace {

struct Colour {
    uint32_t word;
    uint64_t count;
    int channel(int c) const { return int((word >> (16 - 8 * c)) & 0xFF); }
};

struct Box {
    size_t begin, end;
    int widest = 0, range = 0;
};

void measure(const std::vector<Colour>& colours, Box& box) {
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; i++)
        for (int c = 0; c < 3; c++) {
            low[c] = std::min(low[c], colours[i].channel(c));
            high[c] = std::max(high[c], colours[i].channel(c));
        }
    box.range = -1;
    for (int c = 0; c < 3; c++)
        if (high[c] - low[c] > box.range) box.range = high[c] - low[c], box.widest = c;
}

uint32_t mean(const std::vector<Colour>& colours, const Box& box) {
    uint64_t sum[3] = {0, 0, 0}, total = 0;
    for (size_t i = box.begin; i < box.end; i++) {
        for (int c = 0; c < 3; c++) sum[c] += uint64_t(colours[i].channel(c)) * colours[i].count;
        total += colours[i].count;
    }
    uint32_t word = 0xFF000000;
    for (int c = 0; c < 3; c++) word |= uint32_t((sum[c] + total / 2) / total) << (16 - 8 * c);
    return word;
}

}  // namespace

void quantise(const uint32_t* pixels, size_t count, int wanted, std::vector<uint32_t>& palette,
              std::vector<uint8_t>& indexes) {
    std::vector<uint32_t> sorted;
    for (size_t i = 0; i < count; i++)
        if (pixels[i] >> 24) sorted.push_back(pixels[i] | 0xFF000000);
    std::sort(sorted.begin(), sorted.end());
    std::vector<Colour> colours;
    for (uint32_t word : sorted) {
        if (colours.empty() || colours.back().word != word) colours.push_back({word, 0});
        colours.back().count++;
    }
    sorted = std::vector<uint32_t>();
    palette.clear();
    indexes.assign(count, 0);
    if (colours.empty()) {
        palette.push_back(0xFF000000);
        return;
    }
    std::vector<Box> boxes{{0, colours.size()}};
    measure(colours, boxes[0]);
    while (int(boxes.size()) < wanted) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return a.range < b.range;
        });
        if (widest->range <= 0) break;
        Box box = *widest;
        int c = box.widest;
        std::sort(colours.begin() + long(box.begin), colours.begin() + long(box.end),
                  [c](const Colour& a, const Colour& b) { return a.channel(c) < b.channel(c); });
        uint64_t total = 0, seen = 0;
        for (size_t i = box.begin; i < box.end; i++) total += colours[i].count;
        size_t cut = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; i++) {
            seen += colours[i].count;
            cut = i + 1;
            if (seen * 2 >= total) break;
        }
        Box low{box.begin, cut}, high{cut, box.end};
        measure(colours, low);
        measure(colours, high);
        *widest = low;
        boxes.push_back(high);
    }
    // Each distinct colour's box, found by binary search over the colours
    // in word order.
    std::vector<std::pair<uint32_t, uint8_t>> box_of;
    box_of.reserve(colours.size());
    for (size_t b = 0; b < boxes.size(); b++) {
        palette.push_back(mean(colours, boxes[b]));
        for (size_t i = boxes[b].begin; i < boxes[b].end; i++) box_of.push_back({colours[i].word, uint8_t(b)});
    }
    std::sort(box_of.begin(), box_of.end());
    for (size_t i = 0; i < count; i++) {
        if (!(pixels[i] >> 24)) continue;
        auto at = std::lower_bound(box_of.begin(), box_of.end(), std::make_pair(pixels[i] | 0xFF000000, uint8_t(0)));
        indexes[i] = at->second;
    }
}

}  // namespace zel::codecs
