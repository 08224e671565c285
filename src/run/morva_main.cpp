#include "run/main_sequence.hpp"
#include "run/run_options.hpp"

int main(int argc, char** argv) { morva::run::run_survey(morva::run::parse_run_options(argc, argv)); }
