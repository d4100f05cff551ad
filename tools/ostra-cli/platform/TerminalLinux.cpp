#include <unistd.h>

#include "ostra-cli/Terminal.h"

bool Terminal::IsStandardOutputTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}
