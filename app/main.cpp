#include "app/Run.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
    return runProgram(programArguments(argc, argv));
}
