#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Another person on a shared lab PC, and an operator who is not root.
constexpr uid_t kOtherUser = 65534;
constexpr uid_t kOperatorUser = 54321;

// Runs `body` in a child as `uid` (root only): its result (0 to 254), or -1 when the child
// could not become that user or did not end normally.
inline int RunAsUser(uid_t uid, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0)
        _exit(setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0 ? body() : 255);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}
