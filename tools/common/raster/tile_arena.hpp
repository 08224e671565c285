#pragma once
// Memory for the tiles of a grid or raster, taken from large chunks and
// freed all together: one allocation per chunk instead of one per tile, and
// no zeroing the caller does not need (every tile is filled on taking).

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace morva::raster {

class TileArena {
public:
    void* take(std::size_t bytes) {
        bytes = (bytes + 63) & ~std::size_t{63};
        if (bytes > left_) {
            const std::size_t size = std::max(kChunk, bytes);
            chunks_.emplace_back(new std::byte[size]);
            next_ = chunks_.back().get();
            left_ = size;
        }
        void* p = next_;
        next_ += bytes;
        left_ -= bytes;
        return p;
    }

private:
    static constexpr std::size_t kChunk = std::size_t{16} << 20;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace morva::raster
