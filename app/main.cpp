#include "app/Run.h"
#include "platform/Paths.h"

#include <exception>

int main(int argc, char** argv) {
    try {
        return runProgram(programArguments(argc, argv));
    } catch (const std::exception& fault) {
        return endAfterUnexpectedFault(fault.what());
    } catch (...) {
        return endAfterUnexpectedFault("an exception of no known type");
    }
}
