#pragma once

#include <vector>

#include "text/Text.h"

// One run of the program, from finding its file to the final prompt. The file is aircraft.cfg, or
// sim.cfg where a folder has no aircraft.cfg: in the folder dropped on the program, beside the file
// dropped on it, or else in the current folder. Returns the exit status: 0 when the file was
// tidied (or was tidy already), 1 when it was left untouched because of a failure.
int runProgram(const std::vector<Text>& arguments);

// Ends a run that an exception nothing else caught has cut short: says what it was, gives the
// failure line and the prompt, and returns the status the run had earned, or 1 when none was.
int endAfterUnexpectedFault(const char* what);
