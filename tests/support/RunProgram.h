#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct RunOptions {
    // Without input, standard input is closed, as when nothing is attached to the program.
    // With input, it is a pipe that receives the input only once the prompt has been written,
    // and stays open until the program has ended.
    std::optional<std::string> input;
    // Command-line arguments: options and the files and folders to tidy, as a user types or
    // drops them.
    std::vector<std::string> arguments;
    // Standard output is a pipe whose reading end is already closed.
    bool closedOutput = false;
    // Drop to an unprivileged user when the tests run as root, so that permissions apply; with
    // `group`, that user is also a member of this group.
    bool unprivileged = false;
    long group = -1;
    // Limit the size of files the program may write, or -1 for none. The program must cope with
    // the signal that a write past the limit raises: the runner leaves it at its default.
    long fileSizeLimit = -1;
    // Limit the program's data memory (heap), or -1 for none.
    long memoryLimit = -1;
    // More of the program's environment, as NAME=VALUE.
    std::vector<std::string> environment;
    // A control group's cgroup.procs file, for the program to run in that group; empty for none.
    std::string controlGroup;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
    bool promptBeforeInput = false;  // with input: the prompt was visible before it was sent
};

// Runs the built cfgrenum in `folder` and collects what it wrote and its exit status (128 + the
// signal's number when a signal ended it).
RunResult runCfgrenum(const std::filesystem::path& folder, const RunOptions& options = {});

// Where the built program is, as the system running the tests names it.
const char* cfgrenumPath();

// Whether runCfgrenum can drop to an unprivileged user here (or already runs as one).
bool canRunUnprivileged();

// Hands `path` to the user that an unprivileged run uses, so that it can work in the folder.
void giveToUnprivilegedUser(const std::filesystem::path& path);
