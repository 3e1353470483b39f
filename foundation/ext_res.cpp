// The external-resource registry: the class table, the slot table and its
// two chains, and the collector's sweep over the used chain.
#include "foundation/ext_res.h"

#include "foundation/memory.h"
#include "foundation/platform.h"

namespace zel::ext_res {

namespace {

struct Class {
    const char* name;
    Release release;
};

Class* g_classes = nullptr;
int g_class_count = 0;
Slot* g_slots = nullptr;
int32_t g_capacity = 0;
int32_t g_free_head = -1;
int32_t g_used_head = -1;

[[noreturn]] void bad_index() {
    platform::runtime_error(98, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

// Chains slots [first, end) as free, the last one leading to `then`.
void chain_free(int32_t first, int32_t end, int32_t then) {
    for (int32_t i = first; i < end; i++) {
        g_slots[i].class_word = SLOT_FREE;
        g_slots[i].resource = nullptr;
        g_slots[i].next = i + 1 < end ? i + 1 : then;
    }
}

bool used(int32_t index) {
    return index >= 0 && index < g_capacity && g_slots[index].class_word != SLOT_FREE;
}

// Takes a used slot out of the used chain (its predecessor found from the
// head) and puts it at the head of the free chain.
void unlink_used(int32_t index, int32_t previous) {
    if (previous < 0) g_used_head = g_slots[index].next;
    else g_slots[previous].next = g_slots[index].next;
    g_slots[index].class_word = SLOT_FREE;
    g_slots[index].resource = nullptr;
    g_slots[index].next = g_free_head;
    g_free_head = index;
}

// Doubles the table; the new half joins the free chain after its last slot.
void grow() {
    int32_t old = g_capacity;
    g_slots = static_cast<Slot*>(memory::heap_realloc(g_slots, int64_t(old) * 2 * int64_t(sizeof(Slot))));
    g_capacity = old * 2;
    chain_free(old, g_capacity, -1);
    if (g_free_head < 0) {
        g_free_head = old;
        return;
    }
    int32_t last = g_free_head;
    while (g_slots[last].next >= 0) last = g_slots[last].next;
    g_slots[last].next = old;
}

}  // namespace

void init() {
    g_classes = static_cast<Class*>(memory::heap_alloc_zeroed(int64_t(MAX_CLASSES) * int64_t(sizeof(Class))));
    g_class_count = 0;
    g_slots = static_cast<Slot*>(memory::heap_alloc(int64_t(INITIAL_SLOTS) * int64_t(sizeof(Slot))));
    g_capacity = INITIAL_SLOTS;
    chain_free(0, g_capacity, -1);
    g_free_head = 0;
    g_used_head = -1;
}

int register_class(const char* name, Release release) {
    if (g_class_count >= MAX_CLASSES) bad_index();
    g_classes[g_class_count] = Class{name, release};
    return ++g_class_count;
}

const char* class_name(int number) {
    return number >= 1 && number <= g_class_count ? g_classes[number - 1].name : nullptr;
}

int32_t store(void* resource, uint32_t class_word) {
    if (g_free_head < 0 || g_slots[g_free_head].next < 0) grow();
    int32_t index = g_free_head;
    g_free_head = g_slots[index].next;
    g_slots[index].class_word = class_word & ~(SLOT_MARK | SLOT_FREE);
    g_slots[index].resource = resource;
    g_slots[index].next = g_used_head;
    g_used_head = index;
    return index;
}

void release(uint32_t class_word, void* resource) {
    int number = int(class_word & CLASS_MASK);
    if (number >= 1 && number <= g_class_count && g_classes[number - 1].release)
        g_classes[number - 1].release(resource);
}

void replace(int32_t index, void* resource) {
    if (!used(index)) bad_index();
    void* old = g_slots[index].resource;
    g_slots[index].resource = resource;
    if (old != resource) release(g_slots[index].class_word, old);
}

void remove(int32_t index, bool release_it) {
    if (!used(index)) bad_index();
    if (release_it) release(g_slots[index].class_word, g_slots[index].resource);
    int32_t previous = -1;
    for (int32_t i = g_used_head; i != index; i = g_slots[i].next) {
        if (i < 0) bad_index();
        previous = i;
    }
    unlink_used(index, previous);
}

bool mark(int32_t index, void* resource) {
    if (!used(index)) return false;
    Slot& s = g_slots[index];
    if (resource) s.resource = resource;
    if (s.class_word & SLOT_MARK) return false;
    s.class_word |= SLOT_MARK;
    return true;
}

void for_each(int class_number, void (*fn)(int class_number, void* resource)) {
    for (int32_t i = g_used_head; i >= 0; i = g_slots[i].next)
        if (int(g_slots[i].class_word & CLASS_MASK) == class_number) fn(class_number, g_slots[i].resource);
}

void sweep() {
    int32_t previous = -1;
    for (int32_t i = g_used_head; i >= 0;) {
        int32_t next = g_slots[i].next;
        if (g_slots[i].class_word & SLOT_MARK) {
            g_slots[i].class_word &= ~SLOT_MARK;
            previous = i;
        } else {
            release(g_slots[i].class_word, g_slots[i].resource);
            unlink_used(i, previous);
        }
        i = next;
    }
}

void release_all() {
    if (!g_slots) return;
    while (g_used_head >= 0) {
        int32_t i = g_used_head;
        release(g_slots[i].class_word & ~SLOT_MARK, g_slots[i].resource);
        unlink_used(i, -1);
    }
}

int32_t capacity() { return g_capacity; }

int32_t used_count() {
    int32_t n = 0;
    for (int32_t i = g_used_head; i >= 0; i = g_slots[i].next) n++;
    return n;
}

const Slot* slot(int32_t index) { return index >= 0 && index < g_capacity ? g_slots + index : nullptr; }

}  // namespace zel::ext_res
