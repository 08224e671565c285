#include "run/main_sequence.hpp"

int main() { morva::run::run_survey(); }
