// How the program ends on Windows: a console event (Ctrl-C, Ctrl-Break, a closed console window,
// a log-off or shut-down) removes every live temporary file, and once the run has earned its exit
// status, ends the program with it.
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/LiveFiles.h"
#include "platform/Process.h"
#include "platform/WindowsText.h"

namespace os {

namespace {

// The longest path the wide API takes, in UTF-16 units, terminator included.
constexpr std::size_t kLongestPath = 32768;

// Windows ends a process about 5 s after its console window is closed; the handler gives names
// that are being changed this long to settle, measured by the clock rather than by counting
// sleeps, which last a timer tick each.
constexpr ULONGLONG kLongestWaitMs = 4000;

// Read by the handler, which runs on a thread of its own.
LiveFiles<wchar_t, kLongestPath> gLive;
volatile LONG gEarnedStatus = -1;  // -1 before the run has earned one
volatile LONG gHeldDepth = 0;      // how deep the HeldBack guards are nested

BOOL WINAPI removeTemporaryFilesAndEnd(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
        event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        const ULONGLONG until = GetTickCount64() + kLongestWaitMs;
        while (InterlockedCompareExchange(&gHeldDepth, 0, 0) != 0 && GetTickCount64() < until) {
            Sleep(1);
        }
        // Each temporary file is open with deletion shared: gone when the program's handle closes.
        gLive.removeAll([](const wchar_t* path) { DeleteFileW(path); });
        const LONG earned = InterlockedCompareExchange(&gEarnedStatus, 0, 0);
        if (earned >= 0) {
            ExitProcess(static_cast<UINT>(earned));
        }
    }
    return FALSE;  // then end the process as Windows would have
}

}  // namespace

int registerLive(const Text& path) {
    const std::wstring wide = apiWidePath(path);  // as the file was made: "Plane." is not "Plane"
    return gLive.add(wide.c_str(), wide.size());
}

void dropLive(int slot) {
    gLive.drop(slot);
}

HeldBack::HeldBack() {
    InterlockedIncrement(&gHeldDepth);
}

HeldBack::~HeldBack() {
    InterlockedDecrement(&gHeldDepth);
}

}  // namespace os

void prepareProcess() {
    SetConsoleCtrlHandler(os::removeTemporaryFilesAndEnd, TRUE);
}

void settleExitStatus(int status) {
    InterlockedExchange(&os::gEarnedStatus, status);
}

int settledExitStatus() {
    return static_cast<int>(InterlockedCompareExchange(&os::gEarnedStatus, 0, 0));
}
