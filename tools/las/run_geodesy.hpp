#pragma once
// morva-grid's words for the run's geodesy ("flat", "ellipsoid") over the
// companion library's typed one, until morva-grid moves onto the library:
// then this file goes.

#include <optional>
#include <string>

#include "georef/geodesy.hpp"
#include "geodesy_record.hpp"

namespace morva::las {

struct RunGeodesy : common::RunGeodesy {
    std::string label;  // "flat" or "ellipsoid"; empty when neither the record nor the option says
};

inline RunGeodesy run_geodesy(const std::string& record_file, const std::optional<std::string>& option) {
    RunGeodesy r;
    std::optional<georef::Geodesy> mode;
    if (option) mode = georef::parse_geodesy(*option);
    static_cast<common::RunGeodesy&>(r) = common::run_geodesy(record_file, mode);
    if (r.mode) r.label = georef::geodesy_name(*r.mode);
    return r;
}

}  // namespace morva::las
