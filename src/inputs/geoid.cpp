// Loading the geoid grid file: six header values, then the rows from north
// to south, stored south to north.

#include "inputs/geoid.hpp"

#include <cerrno>

#include <algorithm>

#include "text/free_input.hpp"
#include "text/free_output.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::inputs {

std::optional<std::int32_t> grid_count(double first, double last, double step) {
    const double q = (last - first) / step + 1.5;
    // Written so that NaN fails too; truncation of anything in between fits.
    if (!(q > -2147483649.0 && q < 2147483648.0)) return std::nullopt;
    return static_cast<std::int32_t>(q);
}

void load_geoid(const std::string& path, GeoidGrid& grid) {
    using text::item;
    text::TextReader in;
    if (!text::open_in(in, path)) text::stop_cannot_open(path, errno);

    text::read_free(in, {item(grid.glat1), item(grid.glat2), item(grid.glon1), item(grid.glon2),
                         item(grid.dlat), item(grid.dlon)});
    const std::optional<std::int32_t> nlat = grid_count(grid.glat1, grid.glat2, grid.dlat);
    const std::optional<std::int32_t> nlon = grid_count(grid.glon1, grid.glon2, grid.dlon);
    if (!nlat || !nlon) text::stop_run("*** geoid grid header invalid");

    // The capacity test uses the true product, so a count that wraps in 32
    // bits cannot slip through; the count shown is the 32-bit product.
    const std::int64_t nodes = std::int64_t{*nlat} * *nlon;
    if (nodes > kGeoidNodes) {
        const auto shown = static_cast<std::int32_t>(static_cast<std::uint32_t>(*nlat) *
                                                     static_cast<std::uint32_t>(*nlon));
        text::write_free(text::console(), {shown, kGeoidNodes});
        text::stop_run("*** geoid grid too large, sorry");
    }
    if (*nlat < 2 || *nlon < 2) text::stop_run("*** geoid grid needs at least 2 rows and 2 columns");
    grid.nlat = *nlat;
    grid.nlon = *nlon;

    if (!grid.node) grid.node.reset(new float[kGeoidNodes + 1]);  // uninitialised on purpose
    for (std::int32_t r = grid.nlat; r >= 1; --r) {
        float* row = grid.node.get() + std::int64_t{r - 1} * grid.nlon + 1;
        // Null values (",,") and a "/" that ends a row early leave zeros.
        std::fill_n(row, grid.nlon, 0.0f);
        text::read_free_singles(in, row, grid.nlon);
    }

    text::write_free(text::console(), {"- geoid file read OK -", grid.nlat, grid.nlon});
    text::close_in(in);
}

}  // namespace morva::inputs
