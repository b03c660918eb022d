// One table of scene elements: the slots a script's element number indexes and
// the in-use count, one past the highest occupied slot. Every element class
// with more than one element keeps its elements in one of these.
#pragma once

#include <cstdint>

template <typename Element, int Capacity>
struct ElementTable {
  static constexpr int capacity = Capacity;

  Element* slots[Capacity] = {};
  int32_t count = 0;  // one past the highest occupied slot

  Element*& operator[](int slot) { return slots[slot]; }
  Element* operator[](int slot) const { return slots[slot]; }

  // The element in `slot`, or null for an empty slot or a number outside the table.
  Element* at(int slot) const { return slot >= 0 && slot < Capacity ? slots[slot] : nullptr; }

  // The lowest empty slot, or -1 when the table is full.
  int lowest_free() const {
    for (int slot = 0; slot < Capacity; ++slot)
      if (!slots[slot]) return slot;
    return -1;
  }

  // Raises the count to slot + 1 when it is lower (element creation).
  void raise(int slot) {
    if (count < slot + 1) count = slot + 1;
  }

  // The count becomes one past the highest slot still occupied (deletion).
  void recount() {
    int highest = count < Capacity ? count : Capacity;
    while (highest > 0 && !slots[highest - 1]) --highest;
    count = highest;
  }
};
