#pragma once
// The cells that hold a strip's points, numbered in the order the points
// first reach them: an open-addressing table from a cell of the grid to its
// number, so that memory follows the cells holding points, never the area
// they cover (a strip at 45 degrees, a sparse survey on a fine grid). About
// 16 to 24 bytes per cell here, besides what the caller keeps per cell.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "grid.hpp"

namespace morva::overlap {

class CellTable {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // The cell's number; a new cell gets the next one (size() before the call).
    std::uint32_t number(raster::CellIndex c) {
        const std::uint64_t key = packed(c);
        if (key == last_key_ && last_ != kNone) return last_;
        if ((keys_.size() + 1) * 2 > slots_.size()) grow();
        std::size_t s = slot_of(key);
        while (slots_[s] != kNone) {
            if (keys_[slots_[s]] == key) return remember(key, slots_[s]);
            s = (s + 1) & (slots_.size() - 1);
        }
        slots_[s] = static_cast<std::uint32_t>(keys_.size());
        keys_.push_back(key);
        return remember(key, slots_[s]);
    }

    // The cell's number, or kNone when no point reached it.
    std::uint32_t find(raster::CellIndex c) const {
        if (slots_.empty() || !fits(c)) return kNone;
        const std::uint64_t key = packed(c);
        for (std::size_t s = slot_of(key); slots_[s] != kNone; s = (s + 1) & (slots_.size() - 1)) {
            if (keys_[slots_[s]] == key) return slots_[s];
        }
        return kNone;
    }

    std::size_t size() const { return keys_.size(); }
    // True when the next new cell makes the table grow.
    bool full() const { return (keys_.size() + 1) * 2 > slots_.size() || keys_.size() == keys_.capacity(); }
    // Cell number n.
    raster::CellIndex cell(std::uint32_t n) const {
        return {static_cast<std::int32_t>(keys_[n] & 0xFFFFFFFFu), static_cast<std::int32_t>(keys_[n] >> 32)};
    }

    // Bytes held now, and after the next cell when it makes the table grow.
    std::uint64_t bytes() const {
        return slots_.capacity() * sizeof(std::uint32_t) + keys_.capacity() * sizeof(std::uint64_t);
    }
    std::uint64_t bytes_to_grow() const {
        const std::uint64_t n = keys_.size() + 1;
        return (n * 2 > slots_.size() ? std::max<std::uint64_t>(64, slots_.size() * 2) * sizeof(std::uint32_t) : 0) +
               (n > keys_.capacity() ? n * sizeof(std::uint64_t) : 0);
    }

    // False for a cell whose column or row lies beyond 2^31 (a point some
    // hundred thousand kilometres out, even at 0.1 m).
    static bool fits(raster::CellIndex c) {
        return c.ix >= INT32_MIN && c.ix <= INT32_MAX && c.iy >= INT32_MIN && c.iy <= INT32_MAX;
    }

private:
    static std::uint64_t packed(raster::CellIndex c) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.iy)) << 32) | static_cast<std::uint32_t>(c.ix);
    }
    std::size_t slot_of(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    std::uint32_t remember(std::uint64_t key, std::uint32_t n) {
        last_key_ = key;
        last_ = n;
        return n;
    }
    void grow() {
        const std::size_t size = std::max<std::size_t>(64, slots_.size() * 2);
        shift_ = 64 - __builtin_ctzll(size);
        slots_.assign(size, kNone);
        for (std::uint32_t n = 0; n < keys_.size(); ++n) {
            std::size_t s = slot_of(keys_[n]);
            while (slots_[s] != kNone) s = (s + 1) & (size - 1);
            slots_[s] = n;
        }
    }

    std::vector<std::uint32_t> slots_;    // a cell's number, or kNone
    std::vector<std::uint64_t> keys_;     // per number: row and column packed
    int shift_ = 58;
    std::uint64_t last_key_ = 0;
    std::uint32_t last_ = kNone;
};

}  // namespace morva::overlap
