#include "inputs/run_control.hpp"

#include "text/free_input.hpp"
#include "text/layout.hpp"

namespace morva::inputs {

bool is_none(const std::string& name) { return name == std::string("0") + std::string(kNameLength - 1, ' '); }

std::string trimmed(const std::string& name) {
    std::size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

void read_run_control(text::TextReader& in, RunControl& rc) {
    using text::item;
    static const text::Layout name_line = text::layout("A");
    unsigned bit = 1;
    for (std::string* name : {&rc.scanfile, &rc.gpsfile, &rc.geoidfile, &rc.scanptfile, &rc.centfile}) {
        // One character more than counts, to see whether the name runs on.
        name->assign(kNameLength + 1, ' ');
        if (!text::read_fixed(in, name_line, {name})) text::read_error(in, "end of file");
        if ((*name)[kNameLength - 1] != ' ' && (*name)[kNameLength] != ' ') rc.names_cut |= bit;
        name->resize(kNameLength);
        bit <<= 1;
    }
    text::read_free(in, {item(rc.hr0), item(rc.min0), item(rc.sec0)});
    text::read_free(in, {item(rc.dtsec), item(rc.use_sync)});
    text::read_free(in, {item(rc.tstart), item(rc.tend)});
    text::read_free(in, {item(rc.latmin), item(rc.latmax), item(rc.lonmin), item(rc.lonmax)});
    text::read_free(in, {item(rc.navg), item(rc.nthin), item(rc.iout_type), item(rc.attitude),
                         item(rc.use_cal), item(rc.icalib), item(rc.full_georef)});
    text::read_free(in, {item(rc.offx), item(rc.offy), item(rc.offz)});
    text::read_free(in, {item(rc.dpitch), item(rc.droll), item(rc.dheading)});
    text::read_free(in, {item(rc.pcoef[0]), item(rc.pcoef[1]), item(rc.pcoef[2]), item(rc.pcoef[3])});
}

void derive(RunControl& rc) {
    rc.scanpt_wanted = !is_none(rc.scanptfile);
    rc.geoid_wanted = !is_none(rc.geoidfile);
    rc.regression_on = rc.icalib != 0 && rc.scanpt_wanted;
    rc.nparams = rc.icalib + 1;
    rc.angle_sign = rc.iout_type <= 2 ? 1.0 : -1.0;
    rc.binary_output = rc.iout_type == 2;
}

}  // namespace morva::inputs
