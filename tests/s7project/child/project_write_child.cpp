// Writes the second generation of the update program into a project, and stops itself when it reaches
// the file operation named on its command line, so that the test can kill it right there.
//
//   project_write_child PROJECT_FILE STOP_AT
//
// Prints "reached N" before operation N = STOP_AT runs and waits to be killed; prints "done 0|1" when
// the write ended first.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "s7project/s7project.h"
#include "tests/s7project/fault_io.h"

int main(int argc, char** argv) {
    using namespace vaultra::s7project;
    if (argc != 3) {
        std::fprintf(stderr, "usage: project_write_child PROJECT_FILE STOP_AT\n");
        return 2;
    }
    const std::size_t stopAt = std::strtoul(argv[2], nullptr, 10);
    testing::FaultIo io;
    io.onOperation = [stopAt](std::size_t n) {
        if (n == stopAt) {
            std::printf("reached %zu\n", n);
            std::fflush(stdout);
            for (;;) {
                std::raise(SIGSTOP);  // held here until the test kills it
            }
        }
    };
    ProjectFolders folders;
    const bool written = WriteS7Project(argv[1], testing::UpdateProgram(2), folders, io);
    std::printf("done %d %zu\n", written ? 1 : 0, io.Operations());
    return written ? 0 : 1;
}
