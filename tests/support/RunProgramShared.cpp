#include <chrono>
#include <thread>

#include "tests/support/ProgramProcess.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

// Waits up to 20 s for the program's prompt to appear in its captured output.
bool waitForPrompt(const std::filesystem::path& output) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        // The line end differs by platform; the words are what the user waits on.
        if (readBytes(output).find("Hit any key to continue") != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

const char* cfgrenumPath() {
    return CFGRENUM_EXE;
}

RunResult runCfgrenum(const std::filesystem::path& folder, const RunOptions& options) {
    TempFolder capture;  // outside `folder`, which must hold nothing but what the program leaves
    const auto outPath = capture / "stdout";
    const auto errPath = capture / "stderr";
    ProgramProcess* process = startProgram(folder, options, outPath, errPath);
    RunResult result;
    if (options.input) {
        result.promptBeforeInput = waitForPrompt(outPath);
        sendInput(*process, *options.input);
    }
    result.status = waitForProgram(process);
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    return result;
}
