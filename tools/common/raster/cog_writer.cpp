#include "cog_writer.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <sys/statvfs.h>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include "staged_files.hpp"
#include "text/stop.hpp"
#include "tiled_raster.hpp"

namespace morva::raster {
namespace {

std::string gdal_problem() {
    const char* m = CPLGetLastErrorMsg();
    return m != nullptr && *m != '\0' ? std::string(m) : "GDAL gave no reason";
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// A write that failed: a full file system says so (GDAL's own words, e.g.
// "TIFFRewriteDirectory: Error fetching directory count", tell a user nothing).
[[noreturn]] void fail_writing(const std::string& output, const std::string& path, const std::string& what) {
    struct statvfs fs{};
    const std::string folder = folder_of(path);
    if (::statvfs(folder.c_str(), &fs) == 0 && static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize < (std::uint64_t{1} << 20)) {
        text::stop_run(output + ": " + what + ": the file system of " + folder +
                       " is full; free some space there or write the output elsewhere");
    }
    text::stop_run(output + ": " + what + ": " + gdal_problem());
}

[[noreturn]] void fail(const std::string& output, const std::string& what) {
    text::stop_run(output + ": " + what + ": " + gdal_problem());
}

bool ends_with_lower(const std::string& name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    for (std::size_t k = 0; k < suffix.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - suffix.size() + k])) != suffix[k]) return false;
    }
    return true;
}

// The shaded relief of one band through GDAL's DEM processing: a GeoTIFF
// keeps the raster's georeferencing; a PNG gets it in a world file.
void write_hillshade(const CogRequest& request, GDALDataset& base) {
    const bool geotiff = hillshade_is_geotiff(request.hillshade);
    const std::string band = std::to_string(request.hillshade_band);
    std::vector<const char*> args = {"-b", band.c_str(), "-compute_edges"};
    if (geotiff) {
        for (const char* a : {"-of", "GTiff", "-co", "TILED=YES", "-co", "COMPRESS=DEFLATE"}) args.push_back(a);
    } else {
        for (const char* a : {"-of", "PNG"}) args.push_back(a);
    }
    args.push_back(nullptr);
    GDALDEMProcessingOptions* o = GDALDEMProcessingOptionsNew(const_cast<char**>(args.data()), nullptr);
    int usage_error = 0;
    GDALDatasetH shade = GDALDEMProcessing(request.hillshade_path.c_str(), GDALDataset::ToHandle(&base), "hillshade",
                                           nullptr, o, &usage_error);
    GDALDEMProcessingOptionsFree(o);
    if (shade == nullptr) fail_writing(request.hillshade, request.hillshade_path, "cannot make the shaded relief");
    GDALClose(shade);
    if (CPLGetLastErrorType() >= CE_Failure) fail_writing(request.hillshade, request.hillshade_path, "cannot write the shaded relief");
    if (geotiff || request.hillshade_world_file_path.empty()) return;
    // The world file: the centre of the north-west cell and the cell size.
    double t[6];
    base.GetGeoTransform(t);
    char text[256];
    std::snprintf(text, sizeof text, "%.17g\n%.17g\n%.17g\n%.17g\n%.17g\n%.17g\n", t[1], t[4], t[2], t[5],
                  t[0] + 0.5 * t[1] + 0.5 * t[2], t[3] + 0.5 * t[4] + 0.5 * t[5]);
    std::FILE* f = std::fopen(request.hillshade_world_file_path.c_str(), "w");
    const bool written = f != nullptr && std::fputs(text, f) >= 0;
    if (f == nullptr || std::fclose(f) != 0 || !written) {
        const std::string why = std::strerror(errno);
        text::stop_run(hillshade_world_file(request.hillshade) + ": cannot write the world file: " + why);
    }
}

class TiledDataset;

// One band of a TileSource as GDAL reads it: a block is a tile, a tile the
// source does not hold reads as the band's empty value.
class TiledBand final : public GDALRasterBand {
public:
    TiledBand(TiledDataset* ds, int band, const TileSource& source, GDALDataType type, double nodata);

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
        const int s = source_.side;
        const int b = nBand - 1;
        auto* out = static_cast<std::byte*>(image);
        const std::int64_t w = std::min<std::int64_t>(s, source_.cols - std::int64_t{bx} * s);
        const std::int64_t h = std::min<std::int64_t>(s, source_.rows - std::int64_t{by} * s);
        const bool held = source_.holds(bx, by);
        if (!held || w < s || h < s) source_.fill_empty(b, std::int64_t{s} * s, out);  // and the part past the edge
        if (held) source_.read(b, {std::int64_t{by} * s, 1, h, std::int64_t{bx} * s, 1, w}, out, std::ptrdiff_t{s} * source_.value_size);
        return CE_None;
    }

    // A read at full resolution straight from the source, without the block
    // cache's copy (the writer reads every cell of the raster this way).
    CPLErr IRasterIO(GDALRWFlag rw, int x, int y, int w, int h, void* data, int bw, int bh, GDALDataType type,
                     GSpacing pixel, GSpacing line, GDALRasterIOExtraArg* extra) override {
        const int size = source_.value_size;
        if (rw != GF_Read || bw != w || bh != h || type != eDataType || pixel != size) {
            return GDALRasterBand::IRasterIO(rw, x, y, w, h, data, bw, bh, type, pixel, line, extra);
        }
        const int s = source_.side;
        const int b = nBand - 1;
        // Tile by tile: the source reads a tile's part of the window at once.
        for (int row = y; row < y + h;) {
            const int rows = std::min(s - row % s, y + h - row);
            auto* out_row = static_cast<std::byte*>(data) + static_cast<std::ptrdiff_t>(row - y) * line;
            for (int col = x; col < x + w;) {
                const int cols = std::min(s - col % s, x + w - col);
                std::byte* to = out_row + static_cast<std::ptrdiff_t>(col - x) * size;
                if (source_.holds(col / s, row / s)) {
                    source_.read(b, {row, 1, rows, col, 1, cols}, to, line);
                } else {
                    for (int r = 0; r < rows; ++r) source_.fill_empty(b, cols, to + r * line);
                }
                col += cols;
            }
            row += rows;
        }
        return CE_None;
    }

    // Where the empty value is nodata, a tile the source does not hold is a
    // hole the writer may leave out without reading it.
    int IGetDataCoverageStatus(int x, int y, int w, int h, int, double* percent) override {
        if (source_.empty[static_cast<std::size_t>(nBand - 1)] != nodata_) {
            if (percent != nullptr) *percent = 100;
            return GDAL_DATA_COVERAGE_STATUS_DATA;
        }
        const int s = source_.side;
        std::int64_t held = 0, all = 0;
        for (std::int64_t ty = y / s; ty <= (y + h - 1) / s; ++ty) {
            for (std::int64_t tx = x / s; tx <= (x + w - 1) / s; ++tx, ++all) held += source_.holds(tx, ty);
        }
        if (percent != nullptr) *percent = 100.0 * static_cast<double>(held) / static_cast<double>(all);
        if (held == 0) return GDAL_DATA_COVERAGE_STATUS_EMPTY;
        return held == all ? GDAL_DATA_COVERAGE_STATUS_DATA
                           : GDAL_DATA_COVERAGE_STATUS_DATA | GDAL_DATA_COVERAGE_STATUS_EMPTY;
    }

private:
    const TileSource& source_;
    double nodata_;
};

class TiledDataset final : public GDALDataset {
public:
    TiledDataset(const TileSource& source, GDALDataType type, double nodata, const double* transform,
                 const OGRSpatialReference* crs)
        : crs_(crs) {
        nRasterXSize = static_cast<int>(source.cols);
        nRasterYSize = static_cast<int>(source.rows);
        eAccess = GA_ReadOnly;
        std::copy(transform, transform + 6, transform_);
        for (int b = 1; b <= source.bands(); ++b) SetBand(b, new TiledBand(this, b, source, type, nodata));
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

TiledBand::TiledBand(TiledDataset* ds, int band, const TileSource& source, GDALDataType type, double nodata)
    : source_(source), nodata_(nodata) {
    poDS = ds;
    nBand = band;
    nRasterXSize = static_cast<int>(source.cols);
    nRasterYSize = static_cast<int>(source.rows);
    eDataType = type;
    eAccess = GA_ReadOnly;
    nBlockXSize = nBlockYSize = source.side;
}

}  // namespace

bool hillshade_is_geotiff(const std::string& name) { return ends_with_lower(name, ".tif") || ends_with_lower(name, ".tiff"); }

std::string hillshade_world_file(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? name.substr(0, dot) : name) + ".pgw";
}

void write_cog(const CogRequest& given, const TileSource& raster) {
    // Without a staged temporary from the caller, the raster is staged here.
    common::StagedFiles staged;
    CogRequest request = given;
    if (request.path.empty()) request.path = staged.add(request.output);
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

    // Each overview read through the level before it.
    std::vector<std::unique_ptr<OverviewTiles>> levels;
    std::vector<std::unique_ptr<TiledDataset>> level_ds;
    for (std::int64_t f = 2; std::max(g.cols, g.rows) / (f / 2) > raster.side; f *= 2) {
        levels.push_back(std::make_unique<OverviewTiles>(levels.empty() ? raster : *levels.back()));
        // An overview's place follows from the raster's; the file keeps no transform of its own for it.
        level_ds.push_back(std::make_unique<TiledDataset>(*levels.back(), type, request.nodata, transform, &crs));
    }
    for (int b = 1; b <= raster.bands(); ++b) {
        auto* band = static_cast<TiledBand*>(base.GetRasterBand(b));
        for (const auto& ds : level_ds) band->overviews.push_back(ds->GetRasterBand(b));
    }

    const std::string side = std::to_string(raster.side);
    const std::string block_x = "BLOCKXSIZE=" + side, block_y = "BLOCKYSIZE=" + side;
    const char* compress = request.compression == Compression::Zstd ? "COMPRESS=ZSTD" : "COMPRESS=DEFLATE";
    const char* options[] = {"TILED=YES", block_x.c_str(), block_y.c_str(), compress, "ZSTD_LEVEL=1", "ZLEVEL=1",
                             "INTERLEAVE=BAND", "SPARSE_OK=TRUE", "COPY_SRC_OVERVIEWS=YES", "BIGTIFF=IF_SAFER",
                             "NUM_THREADS=ALL_CPUS", nullptr};
    // The writer asks whether a swath of the raster holds data before it
    // reads it: swaths of a few tiles (not the raster's whole width) let it
    // pass over most of the empty ones.
    const std::string swath = std::to_string(std::int64_t{raster.side} * raster.side * raster.value_size);
    CPLSetConfigOption("GDAL_SWATH_SIZE", swath.c_str());
    CPLErrorReset();
    GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName("GTiff"), request.path.c_str(), GDALDataset::ToHandle(&base),
                                      FALSE, const_cast<char**>(options), nullptr, nullptr);
    if (out == nullptr) fail_writing(request.output, request.path, "cannot write the GeoTIFF");
    GDALClose(out);
    if (CPLGetLastErrorType() >= CE_Failure) fail_writing(request.output, request.path, "cannot write the GeoTIFF");
    // The shaded relief after the raster: a raster that cannot be written leaves no picture either.
    if (!request.hillshade.empty()) {
        CPLErrorReset();
        write_hillshade(request, base);
    }
    staged.commit();
}

void write_cog(const CogRequest& request, const std::vector<void*>& bands) {
    const RasterGeometry& g = request.geometry;
    const int size = request.type == DataType::Float32 ? 4 : 8;
    TiledRaster raster(g.cols, g.rows, kCogTileSide, size, std::vector<double>(bands.size(), request.nodata));
    std::vector<std::byte> nodata_cell(static_cast<std::size_t>(size));
    fill_values(size, request.nodata, 1, nodata_cell.data());
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
    write_cog(request, RasterTiles(raster, kCogTileSide));
}

}  // namespace morva::raster
