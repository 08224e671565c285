#include "inputs/run_control.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../text/text_test_support.hpp"
#include "inputs/file_guard.hpp"
#include "text/stop.hpp"

namespace morva::inputs {
namespace {

using text::testing::read_from_memory;
using text::testing::run_in_child;

std::string padded(const std::string& name) { return name + std::string(kNameLength - name.size(), ' '); }

const char* kControl =
    "scan.bin\n"
    "gps.txt\n"
    "0\n"
    "pts.txt\n"
    "cent.txt\n"
    "10 30 36.5\n"
    "-0.25 t\n"
    "10.0 11.0\n"
    "-90 90 -180 180\n"
    "3 2 1 t f 2 t\n"
    "0.5 0 -1.25\n"
    "0.1 -0.2 359.99\n"
    "1.5 -2.25 0.00005 100000\n";

RunControl read(const std::string& text) {
    text::TextReader in;
    read_from_memory(in, text, "standard input");
    RunControl rc;
    read_run_control(in, rc);
    derive(rc);
    return rc;
}

TEST(RunControl, ReadsEveryField) {
    RunControl rc = read(kControl);
    EXPECT_EQ(rc.scanfile, padded("scan.bin"));
    EXPECT_EQ(rc.gpsfile, padded("gps.txt"));
    EXPECT_EQ(rc.geoidfile, padded("0"));
    EXPECT_EQ(rc.scanptfile, padded("pts.txt"));
    EXPECT_EQ(rc.centfile, padded("cent.txt"));
    EXPECT_EQ(rc.hr0, 10);
    EXPECT_EQ(rc.min0, 30);
    EXPECT_EQ(rc.sec0, 36.5);
    EXPECT_EQ(rc.dtsec, -0.25);
    EXPECT_TRUE(rc.use_sync);
    EXPECT_EQ(rc.tstart, 10.0);
    EXPECT_EQ(rc.tend, 11.0);
    EXPECT_EQ(rc.latmin, -90);
    EXPECT_EQ(rc.latmax, 90);
    EXPECT_EQ(rc.lonmin, -180);
    EXPECT_EQ(rc.lonmax, 180);
    EXPECT_EQ(rc.navg, 3);
    EXPECT_EQ(rc.nthin, 2);
    EXPECT_EQ(rc.iout_type, 1);
    EXPECT_TRUE(rc.attitude);
    EXPECT_FALSE(rc.use_cal);
    EXPECT_EQ(rc.icalib, 2);
    EXPECT_TRUE(rc.full_georef);
    EXPECT_EQ(rc.offx, 0.5);
    EXPECT_EQ(rc.offy, 0);
    EXPECT_EQ(rc.offz, -1.25);
    EXPECT_EQ(rc.dpitch, 0.1);
    EXPECT_EQ(rc.droll, -0.2);
    EXPECT_EQ(rc.dheading, 359.99);
    EXPECT_EQ(rc.pcoef[0], 1.5);
    EXPECT_EQ(rc.pcoef[1], -2.25);
    EXPECT_EQ(rc.pcoef[2], 0.00005);
    EXPECT_EQ(rc.pcoef[3], 100000);
    // Derived values.
    EXPECT_TRUE(rc.scanpt_wanted);
    EXPECT_FALSE(rc.geoid_wanted);
    EXPECT_TRUE(rc.regression_on);
    EXPECT_EQ(rc.nparams, 3);
    EXPECT_EQ(rc.angle_sign, 1.0);
    EXPECT_FALSE(rc.binary_output);
}

std::string with_line(int line, const std::string& text) {
    std::string control = kControl;
    std::size_t begin = 0;
    for (int i = 1; i < line; ++i) begin = control.find('\n', begin) + 1;
    std::size_t end = control.find('\n', begin);
    return control.replace(begin, end - begin, text);
}

TEST(RunControl, CarriageReturnLineEndsReadTheSame) {
    std::string crlf;
    for (char c : std::string(kControl)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    RunControl a = read(kControl), b = read(crlf);
    EXPECT_EQ(b.scanfile, a.scanfile);
    EXPECT_EQ(b.centfile, a.centfile);
    EXPECT_EQ(b.geoidfile, padded("0"));
    EXPECT_TRUE(b.use_sync);
    EXPECT_TRUE(b.full_georef);
    EXPECT_EQ(b.pcoef[3], 100000);
}

TEST(RunControl, NameLines) {
    const std::string forty = "a23456789b123456789c123456789d123456789";
    RunControl rc = read(with_line(1, forty + "x"));
    EXPECT_EQ(rc.scanfile, forty.substr(0, 36));
    EXPECT_EQ(trimmed(rc.scanfile), forty.substr(0, 36));
    rc = read(with_line(2, "with blanks inside  "));
    EXPECT_EQ(trimmed(rc.gpsfile), "with blanks inside");
    rc = read(with_line(3, " 0"));
    EXPECT_TRUE(rc.geoid_wanted);  // a leading blank: a real file name
    EXPECT_EQ(trimmed(rc.geoidfile), " 0");
    rc = read(with_line(3, "00"));
    EXPECT_FALSE(is_none(rc.geoidfile));
    rc = read(with_line(3, "geoid.txt"));
    EXPECT_TRUE(rc.geoid_wanted);
    EXPECT_TRUE(is_none(padded("0")));
    EXPECT_FALSE(is_none(padded("")));
    EXPECT_EQ(trimmed(padded("")), "");
}

TEST(RunControl, ScanPointsOffSwitchesTheRegressionOff) {
    RunControl rc = read(with_line(4, "0"));
    EXPECT_FALSE(rc.scanpt_wanted);
    EXPECT_FALSE(rc.regression_on);
    EXPECT_EQ(rc.nparams, 3);
    rc = read(with_line(10, "1 1 1 t f 0 t"));
    EXPECT_FALSE(rc.regression_on);
    EXPECT_EQ(rc.nparams, 1);
    rc = read(with_line(10, "1 1 1 t f 5 t"));
    EXPECT_TRUE(rc.regression_on);
    EXPECT_EQ(rc.nparams, 6);
}

TEST(RunControl, OutputFormAndAngleSign) {
    struct Case {
        const char* line10;
        double sign;
        bool binary;
    };
    const Case cases[] = {{"1 1 -5 t f 0 t", 1, false}, {"1 1 0 t f 0 t", 1, false}, {"1 1 1 t f 0 t", 1, false},
                          {"1 1 2 t f 0 t", 1, true},   {"1 1 3 t f 0 t", -1, false}};
    for (const auto& c : cases) {
        RunControl rc = read(with_line(10, c.line10));
        EXPECT_EQ(rc.angle_sign, c.sign) << c.line10;
        EXPECT_EQ(rc.binary_output, c.binary) << c.line10;
    }
}

TEST(RunControl, GroupsFollowTheFreeFormatRules) {
    // A group continued on the next line, values left out by a slash, extra
    // values and text after the last value.
    std::string control = with_line(9, "-90 90\n-180 180 999 trailing words");
    control = control.substr(0, control.find("0.5 0 -1.25")) + "0.5 /\n0.1,,359.99\n4*0.5\n";
    RunControl rc = read(control);
    EXPECT_EQ(rc.lonmin, -180);
    EXPECT_EQ(rc.lonmax, 180);
    EXPECT_EQ(rc.navg, 3);
    EXPECT_EQ(rc.offx, 0.5);
    EXPECT_EQ(rc.offy, 0);
    EXPECT_EQ(rc.offz, 0);
    EXPECT_EQ(rc.droll, 0);
    EXPECT_EQ(rc.dheading, 359.99);
    for (double p : rc.pcoef) EXPECT_EQ(p, 0.5);
}

TEST(RunControl, ReadErrorsNameStandardInputAndTheLine) {
    struct Case {
        std::string control;
        const char* message;
    };
    const std::string control = kControl;
    const Case cases[] = {
        {with_line(10, "1 1 x t f 0 t"), "*** read error in standard input, line 10: invalid integer: \"x\""},
        {with_line(7, "0 maybe"), "*** read error in standard input, line 7: invalid switch (T or F): \"maybe\""},
        {with_line(11, "0.5 0 1..25"), "*** read error in standard input, line 11: invalid number: \"1..25\""},
        {control.substr(0, control.find("1.5 -2.25")) + "1.5 -2.25\n",
         "*** read error in standard input, line 14: end of file"},
        {control.substr(0, control.find("10 30")), "*** read error in standard input, line 6: end of file"},
        {"scan.bin\ngps.txt\n", "*** read error in standard input, line 3: end of file"},
        {"", "*** read error in standard input, line 1: end of file"},
    };
    for (const auto& c : cases) {
        auto r = run_in_child([&] { read(c.control); });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, std::string(c.message) + "\n");
    }
}

// The output names checked against the inputs and each other, in a scratch
// folder, with links that only a file's identity reveals.
struct GuardCase {
    const char* what;
    const char *pts, *cent, *geoid;  // "@" stands for the folder, "%" for a NUL byte
    const char* message;             // "" when the run goes on
    const char* run_control = nullptr;  // a file of the folder on standard input
};

TEST(OutputNames, InputsAndEachOther) {
    namespace fs = std::filesystem;
    const GuardCase cases[] = {
        {"distinct names", "pts.txt", "cent.txt", "0", ""},
        {"symbolic link to the scanner file", "pts.txt", "link.bin",
         "0", "*** output file would overwrite input file: link.bin"},
        {"hard link to the trajectory", "hard.txt", "cent.txt",
         "0", "*** output file would overwrite input file: hard.txt"},
        {"absolute name of the trajectory", "pts.txt", "@/gps.txt",
         "0", "*** output file would overwrite input file: @/gps.txt"},
        {"the geoid file", "geo.txt", "cent.txt", "geo.txt", "*** output file would overwrite input file: geo.txt"},
        {"a geoid file that does not exist", "nogeo.txt", "cent.txt", "nogeo.txt", ""},
        {"no geoid: a file named 0 is no input", "pts.txt", "0", "0", ""},
        {"dots in a path", "sub/../p.txt", "p.txt", "0", "*** two output files share one name: p.txt"},
        {"absolute name of test.out", "pts.txt", "@/test.out", "0", "*** two output files share one name: test.out"},
        {"scan points named like the centre points", "c.txt", "c.txt", "0", "*** two output files share one name: c.txt"},
        {"a link between two outputs that exist", "old.txt", "oldlink.txt", "0",
         "*** two output files share one name: oldlink.txt"},
        {"no scan-point file", "0", "0", "0", ""},
        {"the run-control file on standard input", "pts.txt", "old.txt", "0",
         "*** output file would overwrite input file: old.txt", "old.txt"},
        {"standard input from another file", "pts.txt", "cent.txt", "0", "", "old.txt"},
        {"a NUL byte, which would create old.txt", "old.txt%x", "cent.txt", "0",
         "*** cannot open file: old.txt%x"},
    };
    for (const auto& c : cases) {
        char dir_template[] = "/tmp/morva-guard-XXXXXX";
        ASSERT_NE(::mkdtemp(dir_template), nullptr);
        const fs::path dir = dir_template;
        for (const char* f : {"scan.bin", "gps.txt", "geo.txt", "0", "old.txt"}) std::ofstream(dir / f) << "input\n";
        fs::create_directory(dir / "sub");
        fs::create_symlink(dir / "scan.bin", dir / "link.bin");
        fs::create_hard_link(dir / "gps.txt", dir / "hard.txt");
        fs::create_symlink("old.txt", dir / "oldlink.txt");
        auto name = [&](const char* n) {
            std::string s = n;
            if (s[0] == '@') s = dir.string() + s.substr(1);
            if (s.find('%') != std::string::npos) s[s.find('%')] = '\0';
            return padded(s);
        };
        RunControl rc;
        rc.scanfile = padded("scan.bin");
        rc.gpsfile = padded("gps.txt");
        rc.geoidfile = name(c.geoid);
        rc.scanptfile = name(c.pts);
        rc.centfile = name(c.cent);
        derive(rc);
        auto r = run_in_child([&] {
            if (::chdir(dir.c_str()) != 0) std::_Exit(3);
            if (c.run_control != nullptr && !std::freopen(c.run_control, "r", stdin)) std::_Exit(4);
            check_output_names(rc);
            text::testing::end_run();
        });
        std::string message = c.message;
        if (message.find("@") != std::string::npos) message.replace(message.find("@"), 1, dir.string());
        if (message.find("%") != std::string::npos) message[message.find("%")] = '\0';
        EXPECT_EQ(r.status, message.empty() ? 0 : 1) << c.what;
        EXPECT_EQ(r.output, message.empty() ? "" : message + "\n") << c.what;
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace morva::inputs
