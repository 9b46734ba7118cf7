#pragma once

// The process's own policy, apart from any file: how it ends.

// Sets the process up so that it always ends with a word about the file: a write past a file size
// limit fails instead of killing the process, and a closed console pipe does not end it before it
// has said what happened. A signal or console event that ends the program (Ctrl-C, a termination
// signal, a hang-up, a closed console window) first removes every temporary file the run has in
// existence; only a kill that cannot be caught leaves one behind. Call once, before anything else.
void prepareProcess();

// Once the file is replaced or left as it was, the run has earned its exit status: from then on
// a signal or console event that ends the program ends it with `status`, so that the status still
// tells what became of the file.
void settleExitStatus(int status);

// The status settled so far, or -1 when none has been.
int settledExitStatus();
