// morva-sim: writes a simulated survey whose true surface is known, or
// checks a run's outputs against it.

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "calibration_campaign.hpp"
#include "companion_main.hpp"
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
    "                 [--model-error H0,H1,V0,V1] [--run-control FILE] [DIR]\n"
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
    "changed in iout_type (0 to 2), icalib, pcoef, the misalignment and the output names. Where the\n"
    "run's geodesy or misalignment is not the truth's, or the ranges carry noise, the points are\n"
    "checked where the run's model puts the recorded ranges, and the report says how far they lie\n"
    "from the truth. With range noise, and the run's geodesy and misalignment the truth's (or the\n"
    "misalignment off by no more than the noise could hide: its angles times the longest range\n"
    "within three standard deviations), the points must lie within the noise: none beyond six\n"
    "standard deviations, their RMS distance the noise's within 15 %. Status 0 when all pass.\n"
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
    "  --run-control FILE         the run control the run processed, in DIR (default run.in; e.g.\n"
    "                             one that states an estimated misalignment)\n"
    "\n"
    "Exit status: 0 the survey is written, or every check of --verify passed; 1 the survey cannot\n"
    "be built or written, or a check failed; 2 a wrong option or argument.\n"
    "\n"
    "Survey options (default in brackets):\n";

constexpr const char* kProgram = "morva-sim";
constexpr const char* kShortUsage = "morva-sim [--sample | --calibration-campaign | --verify] [OPTIONS] [DIR]";

// A wrong option or argument: the shared one-line usage error, status 2.
[[noreturn]] void usage(const std::string& message) { morva::text::usage_error(kProgram, message, kShortUsage); }

// Every flight of the calibration campaign is built before any is written,
// so that a pattern that cannot be flown leaves nothing behind.
int write_campaign(const morva::sim::SimOptions& pattern, const std::string& dir) {
    using namespace morva::sim;
    const std::vector<CampaignFlight> flights = calibration_flights(pattern);
    std::vector<Survey> surveys(flights.size());
    std::string error;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        if (!build_survey(flights[k].opt, surveys[k], error)) morva::text::stop_run(flights[k].folder + ": " + error);
    }
    share_one_geoid(surveys);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string settings = (std::filesystem::path(dir) / "campaign.toml").string();
    if (!write_text(settings, campaign_settings_text(pattern))) morva::text::stop_run("cannot write " + settings);
    long long measurements = 0;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        WriteSummary summary;
        error = write_survey(surveys[k], (std::filesystem::path(dir) / flights[k].folder).string(), summary);
        if (!error.empty()) morva::text::stop_run(flights[k].folder + ": " + error);
        measurements += summary.measurements;
    }
    std::printf("morva-sim: calibration campaign of %zu flights, %lld measurements; run: morva-campaign run %s\n",
                flights.size(), measurements, dir.c_str());
    return 0;
}

int run(int argc, char** argv) {
    using namespace morva::sim;
    namespace text = morva::text;
    bool sample = false, verify = false, campaign = false;
    VerifyRequest request;
    std::vector<GivenSetting> survey_args;  // applied once --sample is known
    // The help describes these in kUsage; the survey options' lines come from their table.
    std::vector<text::Option> options = {
        text::flag_option("--sample", "", sample),
        text::flag_option("--calibration-campaign", "", campaign),
        text::flag_option("--verify", "", verify),
        text::flag_option("--flat", "", request.flat),
        text::text_option("--regression", "FILE", "", request.regression),
        text::text_option("--run-control", "FILE", "", request.run_control),
        text::text_option("--console", "FILE", "", request.console),
        text::value_option("--model-error", "H0,H1,V0,V1", "",
                           [&request](std::string_view value) {
                               std::array<double, 4> w{};
                               std::istringstream in{std::string(value)};
                               char comma = ',';
                               for (int j = 0; j < 4 && comma == ','; ++j) {
                                   if (!(in >> w[j]) || (j < 3 && !(in >> comma))) comma = 0;
                               }
                               if (comma != ',' || !in.eof())
                                   return "'" + std::string(value) + "' is not of the form H0,H1,V0,V1";
                               request.model_error = w;
                               return std::string();
                           }),
    };
    for (text::Option& row : survey_command_line(survey_args)) options.push_back(std::move(row));
    const text::Program program{kProgram, kShortUsage, [] { return std::string(kUsage) + options_help(); }};
    const std::vector<std::string_view> rest = text::parse_command_line(program, options, argc, argv);
    if (rest.size() > 1) {
        usage("unexpected argument '" + std::string(rest[1]) + "'");
    }

    SimOptions opt = sample ? sample_options() : SimOptions{};
    for (const GivenSetting& given : survey_args) given.apply(opt);
    std::string error;

    if (campaign && verify) usage("--calibration-campaign and --verify do not go together");
    if (verify) {
        if (!rest.empty()) request.dir = std::string(rest[0]);
        // With --verify, --geodesy names the run's mode; the survey's own is in survey.sim.
        for (const GivenSetting& given : survey_args) {
            if (given.option == "--geodesy") request.geodesy = opt.geodesy;
        }
        request.threads = opt.threads;
        std::string report;
        const bool ok = verify_survey(request, report);
        std::fputs(report.c_str(), stdout);
        return ok ? 0 : 1;
    }
    if (request.flat || !request.regression.empty() || !request.console.empty() || request.model_error ||
        request.run_control != "run.in") {
        usage("--flat, --console, --regression, --model-error and --run-control go with --verify");
    }
    if (rest.empty()) usage("missing DIR");
    error = check_options(opt);
    if (!error.empty()) usage(error);
    if (campaign) return write_campaign(opt, std::string(rest[0]));

    Survey survey;
    if (!build_survey(opt, survey, error)) text::stop_run(error);
    WriteSummary summary;
    error = write_survey(survey, std::string(rest[0]), summary);
    if (!error.empty()) text::stop_run(error);
    const double rate = summary.seconds > 0 ? summary.measurements / summary.seconds : 0.0;
    // The next steps in the survey's own geodesy: a run in the other one fails --verify.
    const std::string dir(rest[0]);
    const std::string mode = opt.geodesy == morva::georef::Geodesy::Flat
                                 ? std::string()
                                 : std::string(" --geodesy ") + morva::georef::geodesy_name(opt.geodesy);
    std::printf(
        "morva-sim: %lld scans, %lld measurements, %.1f MB scanner file in %.2f s (%.2f million measurements/s, "
        "%.2f model evaluations each); run: cd %s && morva%s < run.in; then check: morva-sim --verify %s\n",
        static_cast<long long>(summary.scans), static_cast<long long>(summary.measurements),
        summary.scanner_bytes / 1e6, summary.seconds, rate / 1e6,
        summary.measurements ? static_cast<double>(summary.evaluations) / summary.measurements : 0.0, dir.c_str(),
        mode.c_str(), dir.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return morva::common::run_companion(kProgram, [argc, argv] { return run(argc, argv); });
}
