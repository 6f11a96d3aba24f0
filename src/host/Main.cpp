// kq: the host program. Parses the command line and starts what the library can run.
#include <cstdio>
#include <cstring>

#include "host/ConsoleDemo.h"

namespace {

void PrintUsage() {
    std::printf(
        "Usage: kq [DIR]\n"
        "A two-panel file manager for the terminal.\n\n"
        "  DIR          start in this directory\n"
        "  --help       show this help\n"
        "  --version    show the version\n\n"
        "Environment: KQ_CODEPAGE selects the console code page (default 437).\n");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kq %s\n", KQ_VERSION);
            return 0;
        }
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "kq: unknown option %s\n", argv[i]);
            PrintUsage();
            return 2;
        }
    }
    return kq::host::RunConsoleDemo();
}
