#include <windows.h>

#include <stdexcept>

#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

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

}  // namespace

bool canRunUnprivileged() {
    return false;
}

void giveToUnprivilegedUser(const fs::path&) {}

RunResult runProgram(const fs::path& folder, const RunOptions& options) {
    TempFolder capture;  // outside `folder`, which must hold nothing but what the program leaves
    const fs::path outPath = capture / "stdout";
    const fs::path errPath = capture / "stderr";
    HANDLE out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE feed = INVALID_HANDLE_VALUE;
    if (options.input) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        if (!CreatePipe(&input, &feed, &inherit, 0)) {
            throw std::runtime_error("cannot create the input pipe");
        }
        SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);
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
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        throw std::runtime_error("cannot start the program");
    }
    CloseHandle(process.hThread);
    CloseHandle(out);
    CloseHandle(err);
    CloseHandle(input);

    RunResult result;
    if (options.input) {
        result.promptBeforeInput = waitForPrompt(outPath);
        DWORD written = 0;
        WriteFile(feed, options.input->data(), static_cast<DWORD>(options.input->size()), &written,
                  nullptr);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    if (options.input) {
        CloseHandle(feed);
    }
    result.status = static_cast<int>(status);
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    return result;
}
