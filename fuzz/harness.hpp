#pragma once
// What every fuzz target shares: a stop comes back to the harness as the
// system's own stop exception, the console report goes nowhere, and each
// input becomes a file in a private working folder, where the system opens it
// as it opens any input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/stop.hpp"

namespace morva::fuzz {

// Sets everything up on its first call (later calls do nothing): standard
// output to /dev/null, and a private working folder.
void prepare();

// Writes the bytes as file `name` of the working folder; returns its path.
std::string write_input(const std::string& name, const std::uint8_t* data, std::size_t size);

// Runs one input; returns the exit status the run ends with: 0 when `body`
// returns, 1 when it stops (its line goes to the console as the program's
// entry point prints it).
template <typename Body>
int run_one(Body body) {
    try {
        body();
    } catch (const text::RunStopped& stop) {
        return text::report_stop(stop, false);
    }
    return 0;
}

// A file of the committed fixture folder.
std::string fixture(const std::string& name);

}  // namespace morva::fuzz
