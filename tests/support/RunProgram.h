#pragma once

#include <filesystem>
#include <optional>
#include <string>

struct RunOptions {
    // Without input, standard input is closed, as when nothing is attached to the program.
    // With input, it is a pipe that receives the input only once the prompt has been written,
    // and stays open until the program has ended.
    std::optional<std::string> input;
    // Drop to an unprivileged user when the tests run as root, so that permissions apply.
    bool unprivileged = false;
    // Limit the size of files the program may write (with SIGXFSZ ignored), or -1 for none.
    long fileSizeLimit = -1;
    // Limit the program's data memory (heap), or -1 for none.
    long memoryLimit = -1;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
    bool promptBeforeInput = false;  // with input: the prompt was visible before it was sent
};

// Runs the built program in `folder` and collects what it wrote and its exit status.
RunResult runProgram(const std::filesystem::path& folder, const RunOptions& options = {});

// Waits up to 20 s for the program's prompt to appear in its captured output.
bool waitForPrompt(const std::filesystem::path& output);

// Whether runProgram can drop to an unprivileged user here (or already runs as one).
bool canRunUnprivileged();

// Hands `path` to the user that an unprivileged run uses, so that it can work in the folder.
void giveToUnprivilegedUser(const std::filesystem::path& path);
