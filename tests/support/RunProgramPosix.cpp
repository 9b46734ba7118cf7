#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

[[noreturn]] void childFails(const char* what) {
    const std::string message = std::string("test runner: ") + what + "\n";
    (void)!write(2, message.data(), message.size());
    _exit(127);
}

}  // namespace

bool canRunUnprivileged() {
    if (geteuid() != 0) {
        return true;  // permissions already apply
    }
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void giveToUnprivilegedUser(const fs::path& path) {
    if (geteuid() == 0 && lchown(path.c_str(), kNobody, kNobody) != 0) {
        throw std::runtime_error("cannot hand " + path.string() + " to the unprivileged user");
    }
}

RunResult runProgram(const fs::path& folder, const RunOptions& options) {
    TempFolder capture;  // outside `folder`, which must hold nothing but what the program leaves
    const fs::path outPath = capture / "stdout";
    const fs::path errPath = capture / "stderr";
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int input[2] = {-1, -1};
    if (out < 0 || err < 0 || (options.input && pipe(input) != 0)) {
        throw std::runtime_error("cannot set up the program's console");
    }

    const pid_t pid = fork();
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
        if (options.fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);  // an ignored signal stays ignored across exec
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                childFails("cannot limit the file size");
            }
        }
        if (options.memoryLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(options.memoryLimit),
                               static_cast<rlim_t>(options.memoryLimit)};
            if (setrlimit(RLIMIT_DATA, &limit) != 0) {
                childFails("cannot limit the memory");
            }
        }
        if (options.unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            childFails("cannot drop privileges");
        }
        execl(CFGRENUM_EXE, CFGRENUM_EXE, static_cast<char*>(nullptr));
        childFails("cannot start the program");
    }
    close(out);
    close(err);

    RunResult result;
    if (options.input) {
        close(input[0]);
        result.promptBeforeInput = waitForPrompt(outPath);
        (void)!write(input[1], options.input->data(), options.input->size());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (options.input) {
        close(input[1]);
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    return result;
}
