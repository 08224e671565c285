#include "cog_writer.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_utils.h>

#include "text/stop.hpp"

namespace morva::grid {
namespace {

constexpr std::int64_t kBlockSize = 512;  // cells, the side of a tile

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

struct Dataset {
    GDALDatasetH ds = nullptr;
    ~Dataset() {
        if (ds != nullptr) GDALClose(ds);
    }
};

}  // namespace

const std::string& cog_temporary() { return temporary; }

void write_cog(const CogRequest& request, const std::vector<void*>& bands) {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");   // no .aux.xml beside the outputs
    CPLSetConfigOption("GDAL_CACHEMAX", "64");      // MiB: the raster itself is already in memory
    const RasterGeometry& g = request.geometry;
    const GDALDataType type = request.type == DataType::Float32 ? GDT_Float32 : GDT_Float64;
    const int value_size = request.type == DataType::Float32 ? 4 : 8;

    Dataset mem;
    mem.ds = GDALCreate(GDALGetDriverByName("MEM"), "", static_cast<int>(g.cols), static_cast<int>(g.rows), 0, type, nullptr);
    if (mem.ds == nullptr) fail(request.output, "cannot make the raster in memory");
    for (std::size_t k = 0; k < bands.size(); ++k) {
        char pointer[64];
        std::snprintf(pointer, sizeof pointer, "DATAPOINTER=%p", bands[k]);
        const std::size_t step = request.pixel_offset != 0 ? request.pixel_offset : value_size;
        const std::string pixel = "PIXELOFFSET=" + std::to_string(step);
        const std::string line = "LINEOFFSET=" + std::to_string(static_cast<long long>(step) * g.cols);
        const char* options[] = {pointer, pixel.c_str(), line.c_str(), nullptr};
        if (GDALAddBand(mem.ds, type, const_cast<char**>(options)) != CE_None) fail(request.output, "cannot add a band");
        GDALRasterBandH b = GDALGetRasterBand(mem.ds, static_cast<int>(k) + 1);
        GDALSetRasterNoDataValue(b, request.nodata);
        if (k < request.band_descriptions.size()) GDALSetDescription(b, request.band_descriptions[k].c_str());
    }
    double transform[6] = {g.x0(), g.resolution, 0, g.y1(), 0, -g.resolution};
    GDALSetGeoTransform(mem.ds, transform);
    if (GDALSetProjection(mem.ds, request.wkt.c_str()) != CE_None) fail(request.output, "the coordinate system");
    for (const auto& [key, value] : request.metadata) GDALSetMetadataItem(mem.ds, key.c_str(), value.c_str(), nullptr);

    if (!request.hillshade_png.empty()) {
        const std::string png_temp = temporary_name(request.hillshade_png);
        temporary = png_temp;
        const std::string band = std::to_string(request.hillshade_band);
        const char* args[] = {"-of", "PNG", "-b", band.c_str(), "-compute_edges", nullptr};
        GDALDEMProcessingOptions* o = GDALDEMProcessingOptionsNew(const_cast<char**>(args), nullptr);
        int usage_error = 0;
        GDALDatasetH png = GDALDEMProcessing(png_temp.c_str(), mem.ds, "hillshade", nullptr, o, &usage_error);
        GDALDEMProcessingOptionsFree(o);
        if (png == nullptr) fail(request.hillshade_png, "cannot make the shaded relief");
        GDALClose(png);
        temporary.clear();
        put_in_place(png_temp, request.hillshade_png);
    }

    // Overviews halving the raster until it fits one tile, as the COG driver's
    // own would, but made in memory: the driver's way (through a compressed
    // temporary file) took three times as long.
    std::vector<int> factors;
    for (int f = 2; std::max(g.cols, g.rows) / (f / 2) > kBlockSize; f *= 2) factors.push_back(f);
    if (!factors.empty() && GDALBuildOverviews(mem.ds, "NEAREST", static_cast<int>(factors.size()), factors.data(), 0,
                                               nullptr, nullptr, nullptr) != CE_None) {
        fail(request.output, "cannot make the overviews");
    }

    temporary = temporary_name(request.output);
    const std::string blocksize = "BLOCKSIZE=" + std::to_string(kBlockSize);
    const char* cog_options[] = {"COMPRESS=DEFLATE", "PREDICTOR=NO", "LEVEL=1", blocksize.c_str(),
                                 "OVERVIEWS=FORCE_USE_EXISTING", "BIGTIFF=IF_SAFER", "NUM_THREADS=ALL_CPUS", nullptr};
    GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName("COG"), temporary.c_str(), mem.ds, FALSE,
                                      const_cast<char**>(cog_options), nullptr, nullptr);
    if (out == nullptr) fail(request.output, "cannot write the GeoTIFF");
    GDALClose(out);
    if (CPLGetLastErrorType() >= CE_Failure) fail(request.output, "cannot write the GeoTIFF");
    const std::string done = temporary;
    temporary.clear();
    put_in_place(done, request.output);
}

}  // namespace morva::grid
