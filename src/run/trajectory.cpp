#include "run/trajectory.hpp"

namespace morva::run {

void load_trajectory(text::TextReader&, const RunControl&, TrajectoryTable& table) { table.ntraj = 0; }

}  // namespace morva::run
