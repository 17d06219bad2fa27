// Serves the virtual pedal on a pseudo-terminal so that real serial clients
// (the editor with --port, or any STM32 bootloader flasher) can talk to it.
#include <cstdio>

int main() {
    std::fprintf(stderr, "quendle-pedal-sim: not built yet\n");
    return 1;
}
