#pragma once

// One run of the program over aircraft.cfg in the current folder, from loading to the final
// prompt. Returns the exit status: 0 when the file was rewritten, 1 when it was left untouched.
int runProgram();
