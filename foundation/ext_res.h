// The external-resource registry: resources that live outside the series
// store (an image's OS bitmap and codec objects) are entered in a table of
// slots, each naming the resource's class and the resource. Values refer to
// a slot by its index; the collector marks the slots that live values reach
// and, after marking, releases every unmarked resource through its class's
// release routine and frees its slot.
//
// Slots sit on two chains through their `next` index: the free chain and the
// used chain (new slots at its head). The slot table starts at 1,000 slots
// and doubles when the last free slot is taken; the class table holds
// MAX_CLASSES classes, numbered from 1 in registration order.
//
// Indexes are checked: a class beyond the table, or removing or replacing
// through an index that names no used slot, is run-time error 98; marking
// through such an index marks nothing (a stale value cannot hurt the table).
//
// Relies on: the tracked heap, the fatal run-time error reporter.
#pragma once

#include <cstdint>

namespace zel::ext_res {

using Release = void (*)(void* resource);

constexpr int MAX_CLASSES = 20;
constexpr int32_t INITIAL_SLOTS = 1000;
constexpr uint32_t SLOT_MARK = 0x80000000;
constexpr uint32_t SLOT_FREE = 0x40000000;
constexpr uint32_t CLASS_MASK = 0xFF;

struct Slot {
    uint32_t class_word;  // class number in bits 0-7, SLOT_MARK; SLOT_FREE alone while free
    void* resource;
    int32_t next;         // next slot of the same chain, -1 at its end
};

// Start-up: the class table and 1,000 free slots.
void init();
// Answers the class number (from 1). A 21st class is run-time error 98.
int register_class(const char* name, Release release);
const char* class_name(int number);

// Enters a resource; answers its slot index.
int32_t store(void* resource, uint32_t class_word);
// Calls the class's release routine (none for class 0 or a null routine).
void release(uint32_t class_word, void* resource);
// Stores another resource in the slot, releasing the old one when it differs.
void replace(int32_t index, void* resource);
// Frees the slot, releasing its resource first when asked.
void remove(int32_t index, bool release_it);
// Marks the slot (a non-null resource replaces the slot's); true when newly
// marked. An index that names no used slot marks nothing.
bool mark(int32_t index, void* resource);
// Calls `fn` with (class number, resource) for every used slot of the class.
void for_each(int class_number, void (*fn)(int class_number, void* resource));
// After marking: releases and frees every unmarked used slot, clears the
// marks of the others.
void sweep();
// At quit, before the tracked heap is freed: releases every resource still
// entered (their memory lives outside that heap) and frees the slots.
void release_all();

// Inspection, for tests.
int32_t capacity();
int32_t used_count();
const Slot* slot(int32_t index);  // null outside the table

}  // namespace zel::ext_res
