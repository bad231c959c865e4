#pragma once

#include <cstddef>
#include <vector>

// The "second chance" clock over a full set of held folders: the slot of the next folder not used
// since the hand last passed it, whose folder gives way to a new one. The hand clears the marks
// it passes, so it stops within one round. Each slot points at its folder, which carries `used`.
template <typename Slot> Slot& secondChanceSlot(std::vector<Slot>& kept, std::size_t& hand) {
    while (kept[hand].folder->used) {
        kept[hand].folder->used = false;
        hand = (hand + 1) % kept.size();
    }
    Slot& slot = kept[hand];
    hand = (hand + 1) % kept.size();
    return slot;
}
