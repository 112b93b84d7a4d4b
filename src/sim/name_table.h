// Index of names to small integers for the hundreds of thousands of node names of a large
// netlist: open addressing over one flat array of (hash, index) slots. The names themselves
// live in the owner's vector; the table only stores their positions, so it needs no string
// allocation per entry and survives the owner's vector growing.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::sim {

class NameTable {
public:
    // Position of name in names, or -1.
    int find(std::string_view name, const std::vector<std::string>& names) const
    {
        if (slots_.empty()) return -1;
        const uint64_t hash = hashOf(name);
        for (size_t s = hash & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) return -1;
            if (slot.hash == hash && names[slot.index] == name) return slot.index;
        }
    }
    // Records that names[index] is name (the caller has checked it is not present yet).
    void insert(std::string_view name, int index)
    {
        if ((count_ + 1) * 2 > slots_.size()) grow(slots_.size() * 2);
        place(hashOf(name), index);
        ++count_;
    }
    // Room for n names without growing.
    void reserve(size_t n)
    {
        size_t size = 16;
        while (size < 2 * n) size *= 2;
        if (size > slots_.size()) grow(size);
    }
    size_t size() const { return count_; }

private:
    struct Slot {
        uint64_t hash = 0;
        int index = -1;
    };
    // FNV-1a followed by a multiply-shift mix, so that names differing in their last digits
    // (n1_000041, n1_000042) spread over the whole table.
    static uint64_t hashOf(std::string_view name)
    {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        h ^= h >> 29;
        h *= 0xbf58476d1ce4e5b9ull;
        return h ^ (h >> 32);
    }
    void place(uint64_t hash, int index)
    {
        size_t s = hash & mask_;
        while (slots_[s].index >= 0) s = (s + 1) & mask_;
        slots_[s] = {hash, index};
    }
    void grow(size_t size)
    {
        if (size < 16) size = 16;
        std::vector<Slot> old(size);
        old.swap(slots_);
        mask_ = size - 1;
        for (const Slot& slot : old)
            if (slot.index >= 0) place(slot.hash, slot.index);
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
};

}  // namespace korvex::sim
