// The node names of a netlist, numbered in order of first appearance, for the millions of nodes
// of a large mesh: all names in one character arena with their end offsets (no string object
// per name), and an open-addressing index of (hash tag, number) slots for the lookups while
// the netlist is read. The index can be dropped once no more names are looked up.
// A slot of 8 bytes holds the number and a tag of hash and length: a name's characters are
// read only when its tag matches, and the index of a large netlist stays small enough to be
// mostly in cache.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "huge_pages.h"

namespace korvex::sim {

class NameTable {
public:
    // Number of name, or -1.
    int find(std::string_view name) const
    {
        if (slots_.empty()) return scan(name);
        const uint64_t hash = hashOf(name);
        const uint32_t tag = tagOf(hash, name.size());
        for (size_t s = hash & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) return -1;
            if (slot.tag == tag && matches(slot, name)) return slot.index;
        }
    }
    // Number of name, appended when new. One probe finds the name or the free slot it takes.
    int add(std::string_view name)
    {
        if (indexReleased_) {
            if (const int found = scan(name); found >= 0) return found;
            return append(name);
        }
        // A netlist names the same few nodes on neighbouring lines: those are found here
        // without touching the index, whose slots are spread over many megabytes.
        for (const int index : recent_)
            if (index >= 0 && (*this)[index] == name) return index;
        if (slots_.empty()) grow(16);
        const uint64_t hash = hashOf(name);
        const uint32_t tag = tagOf(hash, name.size());
        size_t s = hash & mask_;
        for (;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) break;
            if (slot.tag == tag && matches(slot, name)) return remember(slot.index);
        }
        const int index = append(name);
        if (full()) grow(slots_.size() * 2);
        else slots_[s] = {tag, index};
        return remember(index);
    }
    // Starts loading the index slot where a lookup of name begins, for a name needed soon.
    // Always inlined: a call whose only effect is a prefetch is otherwise judged free of
    // effects and dropped by the optimiser.
    [[gnu::always_inline]] void prefetch(std::string_view name) const
    {
        if (!slots_.empty()) __builtin_prefetch(slots_.data() + (hashOf(name) & mask_));
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
        while (slots * 3 < 4 * n) slots *= 2;
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
        uint32_t tag = 0;  // upper 24 bits of the name's hash, its length (up to 255) below
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
    static uint32_t tagOf(uint64_t hash, size_t length)
    {
        return static_cast<uint32_t>(hash >> 40) << 8 | static_cast<uint32_t>(length < 255 ? length : 255);
    }
    // Equal tags mean equal lengths up to 254 characters; longer names compare their length too.
    bool matches(const Slot& slot, std::string_view name) const
    {
        if (name.size() >= 255 && (*this)[slot.index].size() != name.size()) return false;
        const size_t begin = slot.index == 0 ? 0 : ends_[slot.index - 1];
        return std::char_traits<char>::compare(chars_.data() + begin, name.data(), name.size()) == 0;
    }
    // At most three quarters of the slots in use: linear probing still ends after a few slots.
    bool full() const { return (size() + 1) * 4 > slots_.size() * 3; }
    int append(std::string_view name)
    {
        if (!indexReleased_) {  // while the netlist is read; later additions are rare
            if (chars_.size() + name.size() > chars_.capacity()) growMapped(chars_, chars_.size() + name.size());
            if (ends_.size() == ends_.capacity()) growMapped(ends_, ends_.size() + 1);
        }
        chars_.append(name);
        ends_.push_back(chars_.size());
        return static_cast<int>(size()) - 1;
    }
    // Doubles a buffer with the new block mapped in at once (see prefaultForWriting).
    template <class Buffer>
    static void growMapped(Buffer& buffer, size_t needed)
    {
        buffer.reserve(std::max(needed, 2 * buffer.capacity()));
        prefaultElements(buffer, buffer.capacity());
    }
    int remember(int index)
    {
        recent_[nextRecent_] = index;
        nextRecent_ = (nextRecent_ + 1) % kRecent;
        return index;
    }
    int scan(std::string_view name) const
    {
        for (size_t k = 0; k < size(); ++k)
            if ((*this)[static_cast<int>(k)] == name) return static_cast<int>(k);
        return -1;
    }
    void place(int index)
    {
        const std::string_view name = (*this)[index];
        const uint64_t hash = hashOf(name);
        size_t s = hash & mask_;
        while (slots_[s].index >= 0) s = (s + 1) & mask_;
        slots_[s] = {tagOf(hash, name.size()), index};
    }
    void grow(size_t slots)
    {
        if (slots < 16) slots = 16;
        std::vector<Slot> fresh;
        fresh.reserve(slots);
        prefaultElements(fresh, slots);
        fresh.resize(slots);
        slots_.swap(fresh);
        mask_ = slots - 1;
        for (size_t k = 0; k < size(); ++k) place(static_cast<int>(k));
    }

    std::string chars_;
    std::vector<size_t> ends_;  // end of name k in chars_ (it begins where name k - 1 ends)
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    bool indexReleased_ = false;
    static constexpr int kRecent = 4;
    int recent_[kRecent] = {-1, -1, -1, -1};
    int nextRecent_ = 0;
};

}  // namespace korvex::sim
