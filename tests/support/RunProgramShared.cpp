#include <chrono>
#include <thread>

#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

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
