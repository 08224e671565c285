#include "cog_writer.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include "text/stop.hpp"

namespace morva::grid {
namespace {

std::string temporary;

std::string gdal_problem() {
    const char* m = CPLGetLastErrorMsg();
    return m != nullptr && *m != '\0' ? std::string(m) : "GDAL gave no reason";
}

void remove_temporary() {
    if (temporary.empty()) return;
    ::unlink(temporary.c_str());
    temporary.clear();
}

[[noreturn]] void fail(const std::string& output, const std::string& what) {
    remove_temporary();
    text::stop_run(output + ": " + what + ": " + gdal_problem());
}

// Beside the output, so that the final rename stays within one file system.
std::string temporary_name(const std::string& output) {
    const std::size_t slash = output.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : output.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? output : output.substr(slash + 1);
    return folder + "." + base + ".partial-" + std::to_string(::getpid());
}

void put_in_place(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(from.c_str());
        text::stop_run(to + ": cannot rename " + from + " to it: " + why);
    }
}

class TiledDataset;

// One band of a TiledRaster as GDAL reads it: a block is a tile, an unstored
// tile reads as the band's empty value.
class TiledBand final : public GDALRasterBand {
public:
    TiledBand(TiledDataset* ds, int band, const TiledRaster& raster, GDALDataType type, double nodata);

    double GetNoDataValue(int* ok) override {
        if (ok != nullptr) *ok = TRUE;
        return nodata_;
    }
    int GetOverviewCount() override { return static_cast<int>(overviews.size()); }
    GDALRasterBand* GetOverview(int i) override {
        return i >= 0 && i < static_cast<int>(overviews.size()) ? overviews[static_cast<std::size_t>(i)] : nullptr;
    }

    std::vector<GDALRasterBand*> overviews;

protected:
    CPLErr IReadBlock(int bx, int by, void* image) override {
        const std::byte* tile = raster_.find(bx, by);
        if (tile == nullptr) {
            raster_.fill_empty_band(static_cast<std::byte*>(image), static_cast<std::size_t>(nBand - 1));
        } else {
            std::memcpy(image, tile + static_cast<std::size_t>(nBand - 1) * raster_.band_bytes(), raster_.band_bytes());
        }
        return CE_None;
    }

    // A read at full resolution straight from the tiles, without the block
    // cache's copy (the writer reads every cell of the raster this way).
    CPLErr IRasterIO(GDALRWFlag rw, int x, int y, int w, int h, void* data, int bw, int bh, GDALDataType type,
                     GSpacing pixel, GSpacing line, GDALRasterIOExtraArg* extra) override {
        const int size = raster_.value_size;
        if (rw != GF_Read || bw != w || bh != h || type != eDataType || pixel != size) {
            return GDALRasterBand::IRasterIO(rw, x, y, w, h, data, bw, bh, type, pixel, line, extra);
        }
        const int s = raster_.side;
        const std::size_t b = static_cast<std::size_t>(nBand - 1);
        for (int r = 0; r < h; ++r) {
            const int row = y + r;
            auto* out = static_cast<std::byte*>(data) + static_cast<std::ptrdiff_t>(r) * line;
            for (int col = x; col < x + w;) {
                const int run = std::min(s - col % s, x + w - col);
                const std::byte* tile = raster_.find(col / s, row / s);
                std::byte* to = out + static_cast<std::ptrdiff_t>(col - x) * size;
                if (tile != nullptr) {
                    const std::size_t at = static_cast<std::size_t>((row % s) * s + col % s) * size;
                    std::memcpy(to, tile + b * raster_.band_bytes() + at, static_cast<std::size_t>(run) * size);
                } else if (size == 4) {
                    std::fill_n(reinterpret_cast<float*>(to), run, static_cast<float>(raster_.empty[b]));
                } else {
                    std::fill_n(reinterpret_cast<double*>(to), run, raster_.empty[b]);
                }
                col += run;
            }
        }
        return CE_None;
    }

    // Where the empty value is nodata, an unstored tile is a hole the writer
    // may leave out without reading it.
    int IGetDataCoverageStatus(int x, int y, int w, int h, int, double* percent) override {
        if (raster_.empty[static_cast<std::size_t>(nBand - 1)] != nodata_) {
            if (percent != nullptr) *percent = 100;
            return GDAL_DATA_COVERAGE_STATUS_DATA;
        }
        const int s = raster_.side;
        std::int64_t stored = 0, all = 0;
        for (std::int64_t ty = y / s; ty <= (y + h - 1) / s; ++ty) {
            for (std::int64_t tx = x / s; tx <= (x + w - 1) / s; ++tx, ++all) stored += raster_.find(tx, ty) != nullptr;
        }
        if (percent != nullptr) *percent = 100.0 * static_cast<double>(stored) / static_cast<double>(all);
        if (stored == 0) return GDAL_DATA_COVERAGE_STATUS_EMPTY;
        return stored == all ? GDAL_DATA_COVERAGE_STATUS_DATA
                             : GDAL_DATA_COVERAGE_STATUS_DATA | GDAL_DATA_COVERAGE_STATUS_EMPTY;
    }

private:
    const TiledRaster& raster_;
    double nodata_;
};

class TiledDataset final : public GDALDataset {
public:
    TiledDataset(const TiledRaster& raster, GDALDataType type, double nodata, const double* transform,
                 const OGRSpatialReference* crs)
        : crs_(crs) {
        nRasterXSize = static_cast<int>(raster.cols);
        nRasterYSize = static_cast<int>(raster.rows);
        eAccess = GA_ReadOnly;
        std::copy(transform, transform + 6, transform_);
        for (int b = 1; b <= raster.bands(); ++b) SetBand(b, new TiledBand(this, b, raster, type, nodata));
    }
    CPLErr GetGeoTransform(double* t) override {
        std::copy(transform_, transform_ + 6, t);
        return CE_None;
    }
    const OGRSpatialReference* GetSpatialRef() const override { return crs_; }

private:
    double transform_[6] = {};
    const OGRSpatialReference* crs_;
};

TiledBand::TiledBand(TiledDataset* ds, int band, const TiledRaster& raster, GDALDataType type, double nodata)
    : raster_(raster), nodata_(nodata) {
    poDS = ds;
    nBand = band;
    nRasterXSize = static_cast<int>(raster.cols);
    nRasterYSize = static_cast<int>(raster.rows);
    eDataType = type;
    eAccess = GA_ReadOnly;
    nBlockXSize = nBlockYSize = raster.side;
}

// Threads making the overviews, each through a GDAL dataset of its own
// (GDAL's block cache is shared and made for it). ThreadSanitizer gets one:
// GDAL is not built with it, and the races it then believes it sees inside
// GDAL's cache, suppressed or not, cost it minutes each.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kOverviewThreads = 1;
#else
constexpr std::size_t kOverviewThreads = 2;
#endif

// The next overview (cols x rows) of a level, read from it by GDAL's nearest
// neighbour in aligned windows of two tiles a side (GDAL's integer-factor
// path); only the tiles whose window holds a stored tile are read. False
// when GDAL failed.
bool overview_of(const TiledRaster& level, TiledRaster& out, GDALDataType type, double nodata,
                 const OGRSpatialReference* crs) {
    const int s = level.side;
    std::vector<std::pair<std::int64_t, std::int64_t>> jobs;  // the tiles to make
    for (std::int64_t ty = 0; ty < out.tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < out.tiles_x; ++tx) {
            const std::int64_t ix1 = std::min(level.cols, 2 * (tx + 1) * s), iy1 = std::min(level.rows, 2 * (ty + 1) * s);
            bool any = false;
            for (std::int64_t sty = 2 * ty; sty <= (iy1 - 1) / s && !any; ++sty) {
                for (std::int64_t stx = 2 * tx; stx <= (ix1 - 1) / s && !any; ++stx) any = level.find(stx, sty) != nullptr;
            }
            if (!any) continue;
            out.make(tx, ty);
            jobs.emplace_back(tx, ty);
        }
    }
    std::atomic<bool> failed{false};
    auto part = [&](std::size_t which) {
        const double identity[6] = {0, 1, 0, 0, 0, 1};
        TiledDataset from(level, type, nodata, identity, crs);
        for (std::size_t k = which; k < jobs.size() && !failed; k += kOverviewThreads) {
            const auto [tx, ty] = jobs[k];
            const std::int64_t w = std::min<std::int64_t>(s, out.cols - tx * s), h = std::min<std::int64_t>(s, out.rows - ty * s);
            const std::int64_t ix0 = 2 * tx * s, iy0 = 2 * ty * s;
            const std::int64_t ix1 = std::min(level.cols, 2 * (tx * s + w)), iy1 = std::min(level.rows, 2 * (ty * s + h));
            std::byte* tile = out.find(tx, ty);
            for (int b = 0; b < out.bands(); ++b) {
                GDALRasterIOExtraArg arg;
                INIT_RASTERIO_EXTRA_ARG(arg);
                arg.eResampleAlg = GRIORA_NearestNeighbour;
                const CPLErr e = from.GetRasterBand(b + 1)->RasterIO(
                    GF_Read, static_cast<int>(ix0), static_cast<int>(iy0), static_cast<int>(ix1 - ix0),
                    static_cast<int>(iy1 - iy0), tile + static_cast<std::size_t>(b) * out.band_bytes(), static_cast<int>(w),
                    static_cast<int>(h), type, out.value_size, static_cast<GSpacing>(s) * out.value_size, &arg);
                if (e != CE_None) failed = true;
            }
        }
    };
    std::vector<std::thread> others;
    for (std::size_t t = 1; t < kOverviewThreads; ++t) others.emplace_back(part, t);
    part(0);
    for (std::thread& t : others) t.join();
    return !failed;
}

// Levels halving the raster until it fits one tile, as the COG driver's own would.
std::vector<std::pair<std::int64_t, std::int64_t>> overview_sizes(std::int64_t cols, std::int64_t rows, int side) {
    std::vector<std::pair<std::int64_t, std::int64_t>> sizes;
    for (std::int64_t f = 2; std::max(cols, rows) / (f / 2) > side; f *= 2) sizes.emplace_back((cols + f - 1) / f, (rows + f - 1) / f);
    return sizes;
}

}  // namespace

const std::string& cog_temporary() { return temporary; }

void write_cog(const CogRequest& request, const TiledRaster& raster) {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");   // no .aux.xml beside the outputs
    // MiB. The raster is in memory already; a larger cache only holds blocks
    // GDAL has written (64 MiB took 5 % longer, 512 MiB 30 %).
    CPLSetConfigOption("GDAL_CACHEMAX", "8");
    const RasterGeometry& g = request.geometry;
    const GDALDataType type = request.type == DataType::Float32 ? GDT_Float32 : GDT_Float64;

    OGRSpatialReference crs;
    if (crs.importFromWkt(request.wkt.c_str()) != OGRERR_NONE) fail(request.output, "the coordinate system");
    crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const double transform[6] = {g.x0(), g.resolution, 0, g.y1(), 0, -g.resolution};
    TiledDataset base(raster, type, request.nodata, transform, &crs);
    for (std::size_t k = 0; k < request.band_descriptions.size() && k < static_cast<std::size_t>(raster.bands()); ++k) {
        base.GetRasterBand(static_cast<int>(k) + 1)->SetDescription(request.band_descriptions[k].c_str());
    }
    for (const auto& [key, value] : request.metadata) base.SetMetadataItem(key.c_str(), value.c_str());

    if (!request.hillshade_png.empty()) {
        const std::string png_temp = temporary_name(request.hillshade_png);
        temporary = png_temp;
        const std::string band = std::to_string(request.hillshade_band);
        const char* args[] = {"-of", "PNG", "-b", band.c_str(), "-compute_edges", nullptr};
        GDALDEMProcessingOptions* o = GDALDEMProcessingOptionsNew(const_cast<char**>(args), nullptr);
        int usage_error = 0;
        GDALDatasetH png = GDALDEMProcessing(png_temp.c_str(), GDALDataset::ToHandle(&base), "hillshade", nullptr, o,
                                             &usage_error);
        GDALDEMProcessingOptionsFree(o);
        if (png == nullptr) fail(request.hillshade_png, "cannot make the shaded relief");
        GDALClose(png);
        temporary.clear();
        put_in_place(png_temp, request.hillshade_png);
    }

    // Each overview from the level before it, kept in tiles as the raster is.
    std::vector<TiledRaster> levels;
    std::vector<std::unique_ptr<TiledDataset>> level_ds;
    const auto sizes = overview_sizes(g.cols, g.rows, raster.side);
    levels.reserve(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const TiledRaster& from = i == 0 ? raster : levels.back();
        TiledRaster next(sizes[i].first, sizes[i].second, raster.side, raster.value_size, raster.empty);
        if (!overview_of(from, next, type, request.nodata, &crs)) fail(request.output, "cannot make the overviews");
        levels.push_back(std::move(next));
        // An overview's place follows from the raster's; the file keeps no transform of its own for it.
        level_ds.push_back(std::make_unique<TiledDataset>(levels.back(), type, request.nodata, transform, &crs));
    }
    for (int b = 1; b <= raster.bands(); ++b) {
        auto* band = static_cast<TiledBand*>(base.GetRasterBand(b));
        for (const auto& ds : level_ds) band->overviews.push_back(ds->GetRasterBand(b));
    }

    temporary = temporary_name(request.output);
    const std::string side = std::to_string(raster.side);
    const std::string block_x = "BLOCKXSIZE=" + side, block_y = "BLOCKYSIZE=" + side;
    const char* compress = request.compression == Compression::Zstd ? "COMPRESS=ZSTD" : "COMPRESS=DEFLATE";
    const char* options[] = {"TILED=YES", block_x.c_str(), block_y.c_str(), compress, "ZSTD_LEVEL=1", "ZLEVEL=1",
                             "INTERLEAVE=BAND", "SPARSE_OK=TRUE", "COPY_SRC_OVERVIEWS=YES", "BIGTIFF=IF_SAFER",
                             "NUM_THREADS=ALL_CPUS", nullptr};
    // The writer asks whether a swath of the raster holds data before it
    // reads it: swaths of a few tiles (not the raster's whole width) let it
    // pass over most of the empty ones.
    const std::string swath = std::to_string(raster.band_bytes());
    CPLSetConfigOption("GDAL_SWATH_SIZE", swath.c_str());
    GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName("GTiff"), temporary.c_str(), GDALDataset::ToHandle(&base),
                                      FALSE, const_cast<char**>(options), nullptr, nullptr);
    if (out == nullptr) fail(request.output, "cannot write the GeoTIFF");
    GDALClose(out);
    if (CPLGetLastErrorType() >= CE_Failure) fail(request.output, "cannot write the GeoTIFF");
    const std::string done = temporary;
    temporary.clear();
    put_in_place(done, request.output);
}

void write_cog(const CogRequest& request, const std::vector<void*>& bands) {
    const RasterGeometry& g = request.geometry;
    const int size = request.type == DataType::Float32 ? 4 : 8;
    TiledRaster raster(g.cols, g.rows, kCogTileSide, size, std::vector<double>(bands.size(), request.nodata));
    std::vector<std::byte> nodata_cell(static_cast<std::size_t>(size));
    if (size == 4) {
        const auto v = static_cast<float>(request.nodata);
        std::memcpy(nodata_cell.data(), &v, 4);
    } else {
        std::memcpy(nodata_cell.data(), &request.nodata, 8);
    }
    const int s = raster.side;
    for (std::int64_t ty = 0; ty < raster.tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < raster.tiles_x; ++tx) {
            const std::int64_t w = std::min<std::int64_t>(s, g.cols - tx * s), h = std::min<std::int64_t>(s, g.rows - ty * s);
            for (std::size_t b = 0; b < bands.size(); ++b) {
                const auto* from = static_cast<const std::byte*>(bands[b]);
                for (std::int64_t r = 0; r < h; ++r) {
                    const std::byte* row = from + static_cast<std::size_t>(((ty * s + r) * g.cols + tx * s) * size);
                    bool has = false;
                    for (std::int64_t c = 0; c < w && !has; ++c) has = std::memcmp(row + c * size, nodata_cell.data(), size) != 0;
                    if (!has && raster.find(tx, ty) == nullptr) continue;
                    std::byte* tile = raster.make(tx, ty) + b * raster.band_bytes();
                    std::memcpy(tile + static_cast<std::size_t>(r * s * size), row, static_cast<std::size_t>(w * size));
                }
            }
        }
    }
    write_cog(request, raster);
}

}  // namespace morva::grid
