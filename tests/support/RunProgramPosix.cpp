#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ProgramProcess.h"

namespace fs = std::filesystem;

struct ProgramProcess {
    pid_t pid = -1;
    int feed = -1;  // the writing end of the program's input, when it has one
};

namespace {

constexpr uid_t kNobody = 65534;

[[noreturn]] void childFails(const char* what) {
    const std::string message = std::string("test runner: ") + what + "\n";
    (void)!write(2, message.data(), message.size());
    _exit(127);
}

void limit(int resource, long bytes, const char* what) {
    const rlimit value{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (bytes >= 0 && setrlimit(resource, &value) != 0) {
        childFails(what);
    }
}

bool dropPrivileges(long group) {
    const gid_t groups[] = {static_cast<gid_t>(group)};
    return setgroups(group >= 0 ? 1 : 0, groups) == 0 && setgid(kNobody) == 0 &&
           setuid(kNobody) == 0;
}

pid_t forkOrThrow() {
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("cannot start a process");
    }
    return pid;
}

}  // namespace

bool canRunUnprivileged() {
    if (geteuid() != 0) {
        return true;  // permissions already apply
    }
    const pid_t pid = forkOrThrow();
    if (pid == 0) {
        _exit(dropPrivileges(-1) ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void giveToUnprivilegedUser(const fs::path& path) {
    if (geteuid() == 0 && lchown(path.c_str(), kNobody, kNobody) != 0) {
        throw std::runtime_error("cannot hand " + path.string() + " to the unprivileged user");
    }
}

ProgramProcess* startProgram(const fs::path& folder, const RunOptions& options,
                             const fs::path& outPath, const fs::path& errPath) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int input[2] = {-1, -1};
    int closedPipe[2] = {-1, -1};
    if (out < 0 || err < 0 || (options.input && pipe(input) != 0) ||
        (options.closedOutput && pipe(closedPipe) != 0)) {
        throw std::runtime_error("cannot set up the program's console");
    }
    if (options.closedOutput) {
        close(closedPipe[0]);  // nobody reads: a write raises SIGPIPE
        close(out);
        out = closedPipe[1];
    }
    std::vector<char*> argv{const_cast<char*>(CFGRENUM_EXE)};
    for (const std::string& argument : options.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t pid = forkOrThrow();
    if (pid == 0) {
        dup2(out, 1);
        dup2(err, 2);
        if (options.input) {
            dup2(input[0], 0);
            close(input[1]);
        } else {
            close(0);
        }
        if (chdir(folder.c_str()) != 0) {
            childFails("cannot enter the case folder");
        }
        limit(RLIMIT_FSIZE, options.fileSizeLimit, "cannot limit the file size");
        limit(RLIMIT_DATA, options.memoryLimit, "cannot limit the memory");
        if (!options.controlGroup.empty()) {
            const std::string pid = std::to_string(getpid());
            const int group = open(options.controlGroup.c_str(), O_WRONLY);
            if (group < 0 || write(group, pid.data(), pid.size()) < 0) {
                childFails("cannot join the control group");
            }
            close(group);
        }
        if (options.unprivileged && geteuid() == 0 && !dropPrivileges(options.group)) {
            childFails("cannot drop privileges");
        }
        for (const std::string& setting : options.environment) {
            putenv(const_cast<char*>(setting.c_str()));  // lives until the exec
        }
        execv(CFGRENUM_EXE, argv.data());
        childFails("cannot start the program");
    }
    close(out);
    close(err);
    auto* process = new ProgramProcess;
    process->pid = pid;
    if (options.input) {
        close(input[0]);
        process->feed = input[1];
    }
    return process;
}

void sendInput(ProgramProcess& process, const std::string& input) {
    (void)!write(process.feed, input.data(), input.size());
}

int waitForProgram(ProgramProcess* process) {
    // The program is only seen to end here, not reaped, so that its process id stays its own
    // until the deadline's kill has been sent or called off.
    std::mutex mutex;
    std::condition_variable seenToEnd;
    bool ended = false;
    bool killed = false;
    std::thread deadline([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!seenToEnd.wait_for(lock, std::chrono::seconds(kDeadlineSeconds),
                                [&] { return ended; })) {
            killed = kill(process->pid, SIGKILL) == 0;
        }
    });
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(process->pid), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ended = true;
    }
    seenToEnd.notify_one();
    deadline.join();
    if (killed) {
        ADD_FAILURE() << "the program did not end within " << kDeadlineSeconds
                      << " s, so it was killed";
    }
    int status = 0;
    ended = waitpid(process->pid, &status, 0) == process->pid;
    if (process->feed >= 0) {
        close(process->feed);
    }
    delete process;
    if (!ended) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
