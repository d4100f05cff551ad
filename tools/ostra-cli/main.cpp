#include <iostream>

#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/CliProgram.h"
#include "ostra-cli/Terminal.h"

int main(int argc, char** argv) {
    // SIGINT and SIGTERM end every command the same way: after its current device exchange,
    // with the device stopped (see CliProgram).
    ExitSignals::Block();
    return CliProgram::Run(argc, argv, std::cout, std::cerr, Terminal::IsStandardOutputTerminal());
}
