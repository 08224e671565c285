#include "georef/geodesy.hpp"

namespace morva::georef {

std::optional<Geodesy> parse_geodesy(std::string_view name) {
    if (name == "flat") return Geodesy::Flat;
    if (name == "ellipsoid") return Geodesy::Ellipsoid;
    return std::nullopt;
}

const char* geodesy_name(Geodesy mode) { return mode == Geodesy::Ellipsoid ? "ellipsoid" : "flat"; }

}  // namespace morva::georef
