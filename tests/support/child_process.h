// Runs the test helper program (helper_main.cpp) as a child process in one
// of its modes, for behaviour only a whole process shows: exit statuses and
// the bytes that reach a redirected standard output.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace zel::test {

struct ChildResult {
    int status;  // exit status, or -signal
    std::string out;
};

inline ChildResult run_helper(const char* mode) {
    char path[] = "/tmp/zel-helper-XXXXXX";
    int fd = mkstemp(path);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 1);
        setenv("ASAN_OPTIONS", "handle_segv=0:handle_sigfpe=0:handle_sigbus=0:handle_sigill=0", 1);
        execl(ZEL_FAULT_HELPER, ZEL_FAULT_HELPER, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(fd);
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    unlink(path);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ss.str()};
}

}  // namespace zel::test
