#pragma once
// Every file a program writes appears only when it is complete: it is written
// under a fresh temporary name beside its target and renamed into place at the
// end. This is the one place that makes those temporaries, and that removes
// them when a signal ends the process. The console's streams (out_stream.hpp)
// and the companions' staged files both stage through it.

#include <string>

namespace morva::text {

// A fresh file ".NAME.morva-tmp-PID-N" beside `target`, created exclusively
// (never through a link: a link of that name makes the next name be tried),
// open for writing; -1 with errno when none can be made. Temporaries of the
// same target left by a process that is gone (kill -9, a power loss) are
// removed first. The temporary is registered for removal on a signal.
int create_temporary(const std::string& target, std::string& temp_path);

// Forgets a temporary: a signal ending the process no longer removes it.
void forget_temporary(const std::string& temp_path);

// Installs, once, the handler of SIGINT, SIGTERM and SIGHUP that removes every
// registered temporary and then ends the process as the signal would have. A
// signal the caller ignores (nohup) stays ignored.
void remove_temporaries_on_signals();

// The file a write to `output` replaces: the file a link names, so that the
// rename replaces that file and never the link itself; `output` otherwise.
// Empty when `output` is a link that leads nowhere (dangling or a loop).
std::string write_target(const std::string& output);

}  // namespace morva::text
