#pragma once

// How each platform starts the program and waits for it; RunProgramShared.cpp does the rest.
#include <filesystem>
#include <string>

#include "tests/support/RunProgram.h"

struct ProgramProcess;

// Starts the program in `folder` with standard output and error going to the two files.
ProgramProcess* startProgram(const std::filesystem::path& folder, const RunOptions& options,
                             const std::filesystem::path& out, const std::filesystem::path& err);
void sendInput(ProgramProcess& process, const std::string& input);
// Waits for the program to end, closes its input and frees the process; returns its status. A
// program that has not ended kDeadlineSeconds into the wait has hung: it is killed and the test
// fails, rather than the whole suite hanging until ctest gives up on it.
int waitForProgram(ProgramProcess* process);
constexpr int kDeadlineSeconds = 120;  // generous: Wine starts slowly on a loaded machine
