// corvane-open URL: starts the desktop's opener for the URL in a session of its own, with no
// standard streams of ours, and returns at once. Exit status 0 when it was started.
#include <fcntl.h>
#include <spawn.h>
#include <string>

extern char** environ;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string opener = "xdg-open";
    char* arguments[] = {opener.data(), argv[1], nullptr};
    pid_t pid = 0;
    // Not waited for: it is reparented when we exit, and the browser it starts may live long.
    const int started =
        posix_spawnp(&pid, opener.c_str(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return started == 0 ? 0 : 1;
}
