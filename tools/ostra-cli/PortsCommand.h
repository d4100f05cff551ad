#pragma once

#include "device/SerialPortLister.h"

class Console;
class StderrDiagnostics;

// ostra-cli ports: the machine's serial ports with their descriptive names, each Zavik Driver
// marked with its port number, and the one port discovery picks when connecting. It needs no
// configuration, so it runs without starting the application.
class PortsCommand {
  public:
    PortsCommand(const SerialPortLister& lister, Console& console, StderrDiagnostics& diagnostics)
        : lister_(lister), console_(console), diagnostics_(diagnostics) {}

    int Run();

  private:
    const SerialPortLister& lister_;
    Console& console_;
    StderrDiagnostics& diagnostics_;
};
