#include "scanner/calibration.hpp"

namespace morva::scanner {}
