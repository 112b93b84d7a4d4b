// The node names of a netlist, numbered in order of first appearance, for the millions of nodes
// of a large mesh: all names in one character arena with their end offsets (no string object
// per name), and an open-addressing index of (hash tag, number) slots for the lookups while
// the netlist is read. The index can be dropped once no more names are looked up.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::sim {

class NameTable {
public:
    // Number of name, or -1.
    int find(std::string_view name) const
    {
        if (slots_.empty()) return scan(name);
        const uint64_t hash = hashOf(name);
        const uint32_t tag = tagOf(hash);
        for (size_t s = hash & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) return -1;
            if (slot.tag == tag && (*this)[slot.index] == name) return slot.index;
        }
    }
    // Number of name, appended when new.
    int add(std::string_view name)
    {
        if (indexReleased_) {
            if (const int found = scan(name); found >= 0) return found;
        } else if (const int found = find(name); found >= 0) {
            return found;
        }
        const int index = static_cast<int>(size());
        chars_.append(name);
        ends_.push_back(chars_.size());
        if (!indexReleased_) {
            if ((size() + 1) * 2 > slots_.size()) grow(slots_.size() * 2);
            place(hashOf(name), index);
        }
        return index;
    }
    std::string_view operator[](int index) const
    {
        const size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(chars_.data() + begin, ends_[index] - begin);
    }
    size_t size() const { return ends_.size(); }
    // Room for n names without growing the index.
    void reserve(size_t n)
    {
        ends_.reserve(n);
        size_t slots = 16;
        while (slots < 2 * n) slots *= 2;
        if (slots > slots_.size() && !indexReleased_) grow(slots);
    }
    // Drops the index (find() then compares name by name) and spare capacity: for the time
    // after the last lookup, when the memory is better left to the solver.
    void releaseIndex()
    {
        std::vector<Slot>().swap(slots_);
        mask_ = 0;
        indexReleased_ = true;
        chars_.shrink_to_fit();
        ends_.shrink_to_fit();
    }

private:
    struct Slot {
        uint32_t tag = 0;  // upper half of the name's hash
        int32_t index = -1;
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
    static uint32_t tagOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }
    int scan(std::string_view name) const
    {
        for (size_t k = 0; k < size(); ++k)
            if ((*this)[static_cast<int>(k)] == name) return static_cast<int>(k);
        return -1;
    }
    void place(uint64_t hash, int index)
    {
        size_t s = hash & mask_;
        while (slots_[s].index >= 0) s = (s + 1) & mask_;
        slots_[s] = {tagOf(hash), index};
    }
    void grow(size_t slots)
    {
        if (slots < 16) slots = 16;
        std::vector<Slot>(slots).swap(slots_);
        mask_ = slots - 1;
        for (size_t k = 0; k < size(); ++k) place(hashOf((*this)[static_cast<int>(k)]), static_cast<int>(k));
    }

    std::string chars_;
    std::vector<size_t> ends_;  // end of name k in chars_ (it begins where name k - 1 ends)
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    bool indexReleased_ = false;
};

}  // namespace korvex::sim
