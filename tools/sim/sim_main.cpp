// morva-sim: writes a simulated survey whose true surface is known, or
// checks a run's outputs against it.

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "calibration_campaign.hpp"
#include "sim_options.hpp"
#include "text/command_line.hpp"
#include "survey.hpp"
#include "survey_files.hpp"
#include "verify.hpp"

namespace {

const char* const kUsage =
    "usage: morva-sim [OPTIONS] DIR                 write a survey into DIR\n"
    "       morva-sim --sample [OPTIONS] DIR        write the bundled sample survey into DIR\n"
    "       morva-sim --calibration-campaign [OPTIONS] DIR\n"
    "                                               write a calibration campaign of four flights into DIR\n"
    "       morva-sim --verify [--flat] [--console FILE] [--regression FILE] [--geodesy MODE]\n"
    "                 [--model-error H0,H1,V0,V1] [DIR]\n"
    "                                               check the run's outputs in DIR (default .)\n"
    "       morva-sim --help | --version\n"
    "\n"
    "A survey folder holds the scanner recording scan.bin, the trajectory trajectory.txt, the\n"
    "geoid grid geoid.txt (unless --geoid off), the run control run.in that processes them into\n"
    "points.bin or points.txt and centre.txt (run: morva < run.in), and survey.sim, the options\n"
    "that wrote it. Ranges are found by inverting the run's own georeferencing at every\n"
    "measurement's time, with the pose interpolated from the trajectory as the run reads it, so\n"
    "that every point the run computes lies on the surface up to the range unit. The same options\n"
    "(and seed) always write the same survey.\n"
    "\n"
    "--sample writes a few seconds of flight with attitude motion, a lever arm, calibration values in\n"
    "the header, a wave surface near the geoid, text points and a regression; options given with it\n"
    "change the sample.\n"
    "\n"
    "--calibration-campaign writes the standard pattern for estimating the misalignment: four\n"
    "flights over one surface, each a survey folder of its own below DIR (1-along and 2-back along\n"
    "one line in opposite directions, 3-parallel beside it at half a swath to the right, 4-cross\n"
    "across its middle), and DIR/campaign.toml, so that morva-campaign run DIR processes them. --lat\n"
    "and --lon give the pattern's centre (and the surface origin, unless --surface-origin is given),\n"
    "--heading the first line's, --duration each line's length; every other option is each flight's\n"
    "(for example --surface roofs --range-noise 0.02 --misalign-truth 0.1,-0.05,0.2).\n"
    "\n"
    "--verify rebuilds the survey from survey.sim and checks, after morva has run in DIR: every\n"
    "output point's height within half a range unit plus 1 mm of the true surface (plus the\n"
    "distortion less the run's correction) and its position within 1e-7 degree of the true\n"
    "footprint (binary records; text records add half their last digit), its time, amplitude and\n"
    "index; one centre point per scan, at the nadir crossing, near the flight line. run.in may be\n"
    "changed in iout_type (0 to 2), icalib, pcoef and the output names. Status 0 when all pass.\n"
    "  --flat                     the heights must equal the surface itself: the run's pcoef removed\n"
    "                             the distortion exactly\n"
    "  --console FILE             the console report in FILE must show the centre lines: those of the\n"
    "                             first scan, then one at most every 30 seconds\n"
    "  --regression FILE          the console report in FILE must show the regression recovering\n"
    "                             the flat surface's height as bias, no slope, and the distortion\n"
    "                             less pcoef as coefficients c(3)..c(6)\n"
    "  --geodesy flat|ellipsoid   the mode the run used (morva --geodesy), when it is not the one the\n"
    "                             survey was written for: the points must be where that mode puts the\n"
    "                             exact ranges, and the report says how far they lie from the truth\n"
    "  --model-error H0,H1,V0,V1  the largest horizontal distance of the points from the true\n"
    "                             footprints must lie in [H0, H1] metres, the largest vertical one in\n"
    "                             [V0, V1]\n"
    "\n"
    "Survey options (default in brackets):\n";

constexpr const char* kProgram = "morva-sim";
constexpr const char* kShortUsage = "morva-sim [--sample | --verify] [OPTIONS] [DIR]";

// A wrong option or argument: the shared one-line usage error, status 2.
[[noreturn]] void usage(const std::string& message) { morva::text::usage_error(kProgram, message, kShortUsage); }

// A survey that cannot be built or written: status 1.
int fail(const std::string& message) {
    std::fprintf(stderr, "morva-sim: %s\n", message.c_str());
    return 1;
}

// Every flight of the calibration campaign is built before any is written,
// so that a pattern that cannot be flown leaves nothing behind.
int write_campaign(const morva::sim::SimOptions& pattern, const std::string& dir) {
    using namespace morva::sim;
    const std::vector<CampaignFlight> flights = calibration_flights(pattern);
    std::vector<Survey> surveys(flights.size());
    std::string error;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        if (!build_survey(flights[k].opt, surveys[k], error)) return fail(flights[k].folder + ": " + error);
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string settings = (std::filesystem::path(dir) / "campaign.toml").string();
    std::FILE* f = std::fopen(settings.c_str(), "wb");
    const std::string text = campaign_settings_text(pattern);
    if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0)
        return fail("cannot write " + settings);
    long long measurements = 0;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        WriteSummary summary;
        error = write_survey(surveys[k], (std::filesystem::path(dir) / flights[k].folder).string(), summary);
        if (!error.empty()) return fail(flights[k].folder + ": " + error);
        measurements += summary.measurements;
    }
    std::printf("morva-sim: calibration campaign of %zu flights, %lld measurements; run: morva-campaign run %s\n",
                flights.size(), measurements, dir.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace morva::sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    bool sample = false, verify = false, campaign = false;
    VerifyRequest request;
    std::vector<std::string> survey_args;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(options_help().c_str(), stdout);
            return 0;
        } else if (a == "--version") {
            morva::text::exit_with_text(morva::text::version_line(kProgram) + "\n");
        } else if (a == "--sample") {
            sample = true;
        } else if (a == "--calibration-campaign") {
            campaign = true;
        } else if (a == "--verify") {
            verify = true;
        } else if (a == "--flat") {
            request.flat = true;
        } else if (a == "--regression" && k + 1 < args.size()) {
            request.regression = args[++k];
        } else if (a == "--console" && k + 1 < args.size()) {
            request.console = args[++k];
        } else if (a == "--model-error" && k + 1 < args.size()) {
            std::array<double, 4> w{};
            std::istringstream in(args[++k]);
            char comma = ',';
            for (int j = 0; j < 4 && comma == ','; ++j) {
                if (!(in >> w[j]) || (j < 3 && !(in >> comma))) usage("--model-error takes H0,H1,V0,V1");
            }
            if (comma != ',' || !in.eof()) usage("--model-error takes H0,H1,V0,V1");
            request.model_error = w;
        } else {
            survey_args.push_back(a);
        }
    }

    SimOptions opt = sample ? sample_options() : SimOptions{};
    std::vector<std::string> rest;
    std::string error;
    if (!parse_options(survey_args, opt, rest, error)) usage(error);
    if (rest.size() > 1) usage("one folder expected, got " + rest[0] + " and " + rest[1]);

    if (verify) {
        if (!rest.empty()) request.dir = rest[0];
        // With --verify, --geodesy names the run's mode; the survey's own is in survey.sim.
        for (std::size_t k = 0; k + 1 < survey_args.size(); ++k) {
            if (survey_args[k] == "--geodesy") request.geodesy = opt.geodesy;
        }
        request.threads = opt.threads;
        std::string report;
        const bool ok = verify_survey(request, report);
        std::fputs(report.c_str(), stdout);
        return ok ? 0 : 1;
    }
    if (request.flat || !request.regression.empty() || !request.console.empty() || request.model_error) {
        usage("--flat, --console, --regression and --model-error go with --verify");
    }
    if (rest.empty()) usage("no folder given");
    if (campaign) {
        if (verify) usage("--calibration-campaign and --verify do not go together");
        return write_campaign(opt, rest[0]);
    }

    Survey survey;
    if (!build_survey(opt, survey, error)) return fail(error);
    WriteSummary summary;
    error = write_survey(survey, rest[0], summary);
    if (!error.empty()) return fail(error);
    const double rate = summary.seconds > 0 ? summary.measurements / summary.seconds : 0.0;
    std::printf(
        "morva-sim: %lld scans, %lld measurements, %.1f MB scanner file in %.2f s (%.2f million measurements/s, "
        "%.2f model evaluations each); run: cd %s && morva < run.in\n",
        static_cast<long long>(summary.scans), static_cast<long long>(summary.measurements),
        summary.scanner_bytes / 1e6, summary.seconds, rate / 1e6,
        summary.measurements ? static_cast<double>(summary.evaluations) / summary.measurements : 0.0, rest[0].c_str());
    return 0;
}
