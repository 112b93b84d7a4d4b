// The node names of a netlist, numbered in order of first appearance, for the millions of nodes
// of a large mesh: all names in one character arena with their end offsets (no string object
// per name), and an open-addressing index of (hash tag, number, arena offset) slots for the
// lookups while the netlist is read. The index can be dropped once no more names are looked up.
// A slot of 16 bytes holds the number, a tag of hash and length and where the name's characters
// begin: the characters are read only when the tag matches, straight from the slot, and a
// reader that knows the hashes of the names it needs soon loads their slots ahead.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
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
    int add(std::string_view name) { return add(name, hashOf(name)); }
    // The same with the name's hashOf() already known (taken while the line was split).
    int add(std::string_view name, uint64_t hash)
    {
        if (indexReleased_) {
            if (const int found = scan(name); found >= 0) return found;
            return append(name);
        }
        // A netlist names the same few nodes on neighbouring lines: those are found here
        // without touching the index, whose slots are spread over many megabytes. The hashes
        // decide which one to compare.
        for (int k = 0; k < kRecent; ++k)
            if (recentHash_[k] == hash && recent_[k] >= 0 && sameName((*this)[recent_[k]], name)) return recent_[k];
        if (slots_.empty()) grow(16);
        const uint32_t tag = tagOf(hash, name.size());
        size_t s = hash & mask_;
        for (;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) break;
            if (slot.tag == tag && matches(slot, name)) return remember(slot.index, hash);
        }
        const int index = append(name);
        if (full()) grow(slots_.size() * 2);
        else slots_[s] = {tag, index, chars_.size() - name.size()};
        return remember(index, hash);
    }
    // Starts loading the index slot where a lookup of name begins, for a name needed soon.
    // Always inlined: a call whose only effect is a prefetch is otherwise judged free of
    // effects and dropped by the optimiser.
    [[gnu::always_inline]] void prefetch(std::string_view name) const { prefetchHash(hashOf(name)); }
    [[gnu::always_inline]] void prefetchHash(uint64_t hash) const
    {
        if (!slots_.empty()) __builtin_prefetch(slots_.data() + (hash & mask_));
    }
    // For a name whose index slot is already loaded (prefetchHash() a while before): starts
    // loading the characters of the name in its first slot, which a lookup compares with.
    [[gnu::always_inline]] void prefetchCharacters(uint64_t hash) const
    {
        if (slots_.empty()) return;
        const Slot& slot = slots_[hash & mask_];
        if (slot.index >= 0) __builtin_prefetch(chars_.data() + slot.begin);
    }
    std::string_view operator[](int index) const
    {
        const size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(chars_.data() + begin, ends_[index] - begin);
    }
    size_t size() const { return ends_.size(); }
    // Room for n names of `chars` characters in all without growing the arena or the index.
    void reserve(size_t n, size_t chars = 0)
    {
        ends_.reserve(n);
        chars_.reserve(chars);
        size_t slots = 16;
        while (slots * 3 < 4 * n) slots *= 2;
        if (slots > slots_.size() && !indexReleased_) grow(slots);
    }
    // Drops the index (find() then compares name by name) and spare capacity beyond the names'
    // own size: for the time after the last lookup, when the memory is better left to the solver.
    void releaseIndex()
    {
        std::vector<Slot>().swap(slots_);
        mask_ = 0;
        indexReleased_ = true;
        // A copy into a fresh block costs page faults; worth it only for much spare room.
        if (chars_.capacity() > 2 * chars_.size()) chars_.shrink_to_fit();
        if (ends_.capacity() > 2 * ends_.size()) ends_.shrink_to_fit();
    }

    // A hash of the name's bytes read eight at a time (the last word overlapping the one
    // before it), each word mixed in by a multiply, then a full 64-bit finish: names that
    // differ in their last digits (n1_000041, n1_000042) spread over the whole table and
    // over the tag bits.
    static uint64_t hashOf(std::string_view name)
    {
        const char* p = name.data();
        const size_t n = name.size();
        uint64_t h = 0x9e3779b97f4a7c15ull ^ (n * 0xff51afd7ed558ccdull);
        auto mix = [](uint64_t h, uint64_t word) {
            h = (h ^ word) * 0x9fb21c651e98df25ull;
            return h ^ (h >> 32);
        };
        if (n >= 8) {
            size_t k = 0;
            for (; k + 8 < n; k += 8) h = mix(h, load64(p + k));
            h = mix(h, load64(p + n - 8));
        } else if (n >= 4) {
            h = mix(h, load32(p) | static_cast<uint64_t>(load32(p + n - 4)) << 32);
        } else if (n > 0) {
            const auto byte = [p](size_t k) { return static_cast<uint64_t>(static_cast<unsigned char>(p[k])); };
            h = mix(h, byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16);
        }
        h ^= h >> 30;
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 27;
        h *= 0x94d049bb133111ebull;
        return h ^ (h >> 31);
    }

private:
    struct Slot {
        uint32_t tag = 0;  // upper 24 bits of the name's hash, its length (up to 255) below
        int32_t index = -1;
        size_t begin = 0;  // of the name's characters in chars_
    };
    static uint64_t load64(const char* p)
    {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }
    static uint32_t load32(const char* p)
    {
        uint32_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }
    static uint32_t tagOf(uint64_t hash, size_t length)
    {
        return static_cast<uint32_t>(hash >> 40) << 8 | static_cast<uint32_t>(length < 255 ? length : 255);
    }
    // Equal tags mean equal lengths up to 254 characters; longer names compare their length too.
    bool matches(const Slot& slot, std::string_view name) const
    {
        if (name.size() >= 255 && (*this)[slot.index].size() != name.size()) return false;
        return sameBytes(chars_.data() + slot.begin, name.data(), name.size());
    }
    static bool sameName(std::string_view a, std::string_view b)
    {
        return a.size() == b.size() && sameBytes(a.data(), b.data(), a.size());
    }
    // Names are short: compared a word at a time (the last word overlapping the one before),
    // without a library call.
    static bool sameBytes(const char* a, const char* b, size_t n)
    {
        if (n >= 8) {
            for (size_t k = 0; k + 8 < n; k += 8)
                if (load64(a + k) != load64(b + k)) return false;
            return load64(a + n - 8) == load64(b + n - 8);
        }
        if (n >= 4) return load32(a) == load32(b) && load32(a + n - 4) == load32(b + n - 4);
        for (size_t k = 0; k < n; ++k)
            if (a[k] != b[k]) return false;
        return true;
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
    int remember(int index, uint64_t hash)
    {
        recent_[nextRecent_] = index;
        recentHash_[nextRecent_] = hash;
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
        slots_[s] = {tagOf(hash, name.size()), index, static_cast<size_t>(name.data() - chars_.data())};
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
    uint64_t recentHash_[kRecent] = {};
    int nextRecent_ = 0;
};

}  // namespace korvex::sim
