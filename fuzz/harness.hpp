#pragma once
// What every fuzz target shares: the run's ending (a stop, or the normal end)
// comes back to the harness as an exception instead of ending the process,
// the console report goes nowhere, and each input becomes a file in a private
// working folder, where the system opens it as it opens any input.

#include <cstddef>
#include <cstdint>
#include <string>

namespace morva::fuzz {

// Thrown by the end handler; carries the exit status the run would have had.
struct RunEnded {
    int status;
};

// Sets everything up on its first call (later calls do nothing): the end
// handler, standard output to /dev/null, and a private working folder.
void prepare();

// Writes the bytes as file `name` of the working folder; returns its path.
std::string write_input(const std::string& name, const std::uint8_t* data, std::size_t size);

// Runs one input; returns the exit status the run ended with (-1 when `body`
// returned without ending the run).
template <typename Body>
int run_one(Body body) {
    try {
        body();
    } catch (const RunEnded& end) {
        return end.status;
    }
    return -1;
}

// A file of the committed fixture folder.
std::string fixture(const std::string& name);

}  // namespace morva::fuzz
