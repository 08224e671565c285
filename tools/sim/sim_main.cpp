#include <cstdio>

int main() {
    std::puts("morva-sim: survey simulator (not implemented yet)");
    return 0;
}
