#include "app/Run.h"

// The program takes nothing but its working folder; any arguments are ignored.
int main() {
    return runProgram();
}
