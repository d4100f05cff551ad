#pragma once

#include <QIcon>

// The program's icon: the desktop theme's "ostra" where it is installed, otherwise the same
// picture (data/ostra.svg) drawn here, so that a window run from the build tree has it too.
QIcon ProgramIcon();
