// vorlane-demo-shoot OUTDIR: makes the demo shooting day once (a complete shoot is left alone)
// and prints where its README is.
#include <chrono>
#include <cstdio>
#include <string>

#include "mediagen/DemoShoot.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty() || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: vorlane-demo-shoot OUTDIR\n");
        return 2;
    }
    const auto began = std::chrono::steady_clock::now();
    std::string error;
    const auto shoot = vorlane::mediagen::makeDemoShoot(argv[1], &error);
    if (!shoot) {
        std::fprintf(stderr, "vorlane-demo-shoot: %s\n", error.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (shoot->made)
        std::printf("vorlane-demo-shoot: made %zu files in %s (%.1f s)\n", shoot->files.size(),
                    argv[1], seconds);
    else
        std::printf("vorlane-demo-shoot: %s already holds the complete shoot\n", argv[1]);
    return 0;
}
