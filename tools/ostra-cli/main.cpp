#include <iostream>

#include "ostra-cli/CliProgram.h"
#include "ostra-cli/Terminal.h"

int main(int argc, char** argv) {
    return CliProgram::Run(argc, argv, std::cout, std::cerr, Terminal::IsStandardOutputTerminal());
}
