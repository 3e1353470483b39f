// The collector's cycle. Marking and compaction arrive with the collector
// proper; until then a cycle only returns the nodes of dead big buffers and
// releases empty node frames, which is all that can be done without roots.
#include "core/collector.h"

#include <atomic>
#include <vector>

namespace zel::collector {

bool g_active = false;
uint32_t g_cycles = 0;

namespace {
bool g_collecting = false;
std::vector<Node> g_pending;
}  // namespace

void collect_if_active() {
    if (g_active && !g_collecting) do_cycle();
}

void do_cycle() {
    g_collecting = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    flush_pending_nodes();
    memory::release_node_frames();
    g_cycles++;
    g_collecting = false;
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

bool collecting() { return g_collecting; }

void add_pending_node(Node node) {
    if (node != 0) g_pending.push_back(node);
}

void flush_pending_nodes() {
    for (Node n : g_pending) memory::free_node(memory::frame_of_node(n), n);
    g_pending.clear();
}

}  // namespace zel::collector
