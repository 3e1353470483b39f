// The root block: a collector root (registered by make), made by the
// run-time init.
// Everything start-up makes and must keep for the whole process hangs here:
//
//   cell 0  the argument stack's series (fixed, ARGUMENT_CELLS cells)
//   cell 1  the call-frame stack's series (fixed, room for CALL_FRAMES
//           records; the records are C++ structs, not cells)
//   cell 2  the symbol table (growable)
//   then    the words made while the word-collect flag is on, and the
//           blocks of the boot image (one per library source)
//
// The two stack series are fixed buffers that never move. Their nodes are
// live for the whole process, but the collector must not walk them as
// blocks: the argument stack marks its cells up to its top, and the frames
// hold no cells at all (frames.h marks them).
//
// Word-collect flag: while it is on, every word added to the global context
// is also copied to the tail of the root block, so that the words start-up
// makes stay reachable from it. The run-time init turns it on first thing;
// the boot environment turns it off once its words exist.
//
// Relies on: the memory manager (the root and its sub-blocks are buffers of
// cells, held as block! values), the collector (the root's mark callback).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::root {

constexpr int CELLS = 8768;
enum Slot : int { SLOT_ARGUMENTS = 0, SLOT_FRAMES = 1, SLOT_SYMBOLS = 2, FIRST_FREE_SLOT = 3 };

// The root block! cell; none before make().
extern Cell g_block;
extern bool g_word_collect;

// Makes the root block and its three sub-blocks, with room for the argument
// cells and for frame_bytes of call frames.
void make(int argument_cells, int64_t frame_bytes, int symbol_cells);
bool made();
// The node of a sub-block.
Node node_at(Slot slot);
// Appends a copy of the value; answers the cell (valid until the next append).
Cell* append(const Cell* value);
int32_t length();

// What the global context calls for each word it adds.
inline void collect_word(const Cell& word) {
    if (g_word_collect) [[unlikely]]
        append(&word);
}

}  // namespace zel::root
