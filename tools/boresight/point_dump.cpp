#include "point_dump.hpp"

#include <sys/stat.h>

#include "inputs/output_guard.hpp"
#include "records/scan_point_record.hpp"
#include "text/out_stream.hpp"
#include "campaign_records.hpp"

namespace morva::boresight {

std::string dump_name(const std::string& run_control) { return run_control + ".points"; }

std::string dump_refusal(const std::vector<Flight>& flights, const Flight& flight) {
    const std::string out = dump_name(flight.name);
    struct stat st;
    if (::stat(out.c_str(), &st) == 0) return out + ": exists already; it is never written over";
    for (const Flight& f : flights) {
        const std::string why = inputs::output_refusal(out, common::run_files(f.rc, f.name, f.folder));
        if (!why.empty()) return why;
    }
    return {};
}

std::string dump_points(const Flight& flight, const std::array<double, 3>& angles) {
    text::OutStream out;  // held in memory
    const bool with_group_size = flight.rc.navg > 1;
    for (const Shot& shot : flight.shots) {
        const georef::scanpt p = output_point(flight, shot, angles.data());
        if (flight.rc.binary_output) records::write_binary_record(out, p);
        else records::write_text_record(out, p, with_group_size);
    }
    return out.used == 0 ? std::string() : std::string(out.buffer.get(), out.used);
}

}  // namespace morva::boresight
