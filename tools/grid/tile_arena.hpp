#pragma once
// Memory for the tiles of a grid or raster: chunks aligned to 2 MiB that the
// kernel may back with huge pages (the cells a scan line crosses then rarely
// miss the TLB, and a chunk faults in at once), freed all together.

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace morva::grid {

class TileArena {
public:
    void* take(std::size_t bytes) {
        bytes = (bytes + 63) & ~std::size_t{63};
        if (bytes > left_) {
            const std::size_t size = (std::max(kChunk, bytes) + kHuge - 1) & ~(kHuge - 1);
            void* p = std::aligned_alloc(kHuge, size);
            if (p == nullptr) throw std::bad_alloc();
            if (!std::getenv("NOHUGE")) ::madvise(p, size, MADV_HUGEPAGE);
            chunks_.emplace_back(static_cast<std::byte*>(p));
            next_ = static_cast<std::byte*>(p);
            left_ = size;
        }
        void* p = next_;
        next_ += bytes;
        left_ -= bytes;
        return p;
    }

private:
    static constexpr std::size_t kHuge = std::size_t{2} << 20;
    static constexpr std::size_t kChunk = std::size_t{16} << 20;
    struct Free {
        void operator()(std::byte* p) const { std::free(p); }
    };
    std::vector<std::unique_ptr<std::byte, Free>> chunks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace morva::grid
