#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>

#include "support/HexBytes.h"
#include "support/ScopedEnvironmentVariable.h"

// A pseudo-terminal registered as "Test Port (COM<n>)" in a port directory that OSTRA_PORT_DIR
// names while it lives; the test plays the device. The program's side stays open here too, raw,
// so the line stays up between opens and the bytes waiting for the program can be counted.
class ScriptedPort {
  public:
    ScriptedPort(const std::filesystem::path& directory, int portNumber);
    ~ScriptedPort();
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;

    // "COM<n> (<path>)", as the port names its entry.
    const std::wstring& PortName() const { return portName_; }
    int ProgramSide() const { return programSide_; }

    // Writes from the device's side.
    void Send(const Bytes& bytes) const;
    // The next count bytes the program wrote; fewer when nothing more comes within five seconds.
    Bytes Receive(std::size_t count) const;
    // The bytes waiting for the program once count have arrived (transfers are asynchronous).
    int PendingForProgram(int count) const;
    // Closes the device's side, as unplugging does.
    void HangUp();

  private:
    int master_ = -1;
    int programSide_ = -1;
    std::wstring portName_;
    ScopedEnvironmentVariable portDirectory_;
};

// Exactly count bytes read from the descriptor, or fewer when none came in time or it hung up.
Bytes ReadBytes(int descriptor, std::size_t count, std::chrono::milliseconds patience);
