#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "support/HexBytes.h"
#include "support/ScopedEnvironmentVariable.h"

// A pseudo-terminal registered as "Test Port (COM<n>)" in a private port directory, which
// OSTRA_PORT_DIR names while the object lives. The test plays the device at the master side.
// It keeps the program's side open too, raw, so that the line stays up between opens and the
// bytes waiting for the program can be counted.
class PseudoTerminal {
  public:
    PseudoTerminal(const std::filesystem::path& directory, int portNumber);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The registered entry, as the port names it: "COM<n> (<path>)".
    const std::wstring& PortName() const { return portName_; }
    // The program's side, open in this process.
    int ProgramSide() const { return programSide_; }

    // Writes from the device's side; the test fails when the line refuses them.
    void Send(const Bytes& bytes) const;
    // The next count bytes the program wrote; fewer when nothing more comes within five seconds.
    Bytes Receive(std::size_t count) const;
    // The bytes waiting for the program, once at least count of them have arrived (or five
    // seconds have passed): transfers through a pseudo-terminal are asynchronous.
    int PendingForProgram(int count) const;
    // Closes the device's side, as unplugging the device does.
    void HangUp();

  private:
    int master_ = -1;
    int programSide_ = -1;
    std::wstring portName_;
    ScopedEnvironmentVariable portDirectory_;
};
