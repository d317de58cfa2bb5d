#include <csignal>
#include <cstring>
#include <unistd.h>

// A stand-in application for the tests that quit running applications. It tells its parent on
// standard output that it is ready, then waits to be asked to quit; with --ignore-term it
// declines. It never outlives a forgotten test by more than two minutes.
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--ignore-term") == 0) {
        std::signal(SIGTERM, SIG_IGN);
    }
    alarm(120);
    if (write(STDOUT_FILENO, "R", 1) != 1) {
        return 1;
    }
    close(STDOUT_FILENO);
    for (;;) {
        pause();
    }
}
