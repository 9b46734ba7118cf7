#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "tests/support/ProgramProcess.h"

namespace fs = std::filesystem;

struct ProgramProcess {
    HANDLE process = INVALID_HANDLE_VALUE;
    HANDLE feed = INVALID_HANDLE_VALUE;  // the writing end of the program's input
};

namespace {

HANDLE inheritableFile(const fs::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return h;
}

// A pipe of which only one end, the reading one when `inheritRead`, passes to the program.
void makePipe(HANDLE& read, HANDLE& write, bool inheritRead) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        throw std::runtime_error("cannot create a pipe");
    }
    SetHandleInformation(inheritRead ? write : read, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

bool canRunUnprivileged() {
    return false;
}

void giveToUnprivilegedUser(const fs::path&) {}

ProgramProcess* startProgram(const fs::path& folder, const RunOptions& options,
                             const fs::path& outPath, const fs::path& errPath) {
    auto* started = new ProgramProcess;
    HANDLE out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    if (options.closedOutput) {
        HANDLE unread = INVALID_HANDLE_VALUE;
        CloseHandle(out);
        makePipe(unread, out, false);
        CloseHandle(unread);  // nobody reads: writes fail
    }
    HANDLE input = INVALID_HANDLE_VALUE;
    if (options.input) {
        makePipe(input, started->feed, true);
    } else {
        input = inheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);  // at end of input at once
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring exe = fs::path(CFGRENUM_EXE).make_preferred().wstring();
    std::wstring commandLine = L"\"" + exe + L"\"";
    for (const std::string& argument : options.arguments) {
        commandLine += L" \"" + fs::u8path(argument).wstring() + L"\"";
    }
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        throw std::runtime_error("cannot start the program");
    }
    CloseHandle(process.hThread);
    CloseHandle(out);
    CloseHandle(err);
    CloseHandle(input);
    started->process = process.hProcess;
    return started;
}

void sendInput(ProgramProcess& process, const std::string& input) {
    DWORD written = 0;
    WriteFile(process.feed, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
}

int waitForProgram(ProgramProcess* process) {
    if (WaitForSingleObject(process->process, DWORD{kDeadlineSeconds} * 1000) == WAIT_TIMEOUT) {
        TerminateProcess(process->process, 1);
        WaitForSingleObject(process->process, INFINITE);
        ADD_FAILURE() << "the program did not end within " << kDeadlineSeconds
                      << " s, so it was killed";
    }
    DWORD status = 0;
    GetExitCodeProcess(process->process, &status);
    CloseHandle(process->process);
    if (process->feed != INVALID_HANDLE_VALUE) {
        CloseHandle(process->feed);
    }
    delete process;
    return static_cast<int>(status);
}
