#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// What the fuzz targets share: a private scratch directory per process, the input written as a
// file for the readers that only take file names, and a check that turns a broken invariant
// into a crash the fuzzer keeps.
namespace FuzzSupport {

// Created on first use under $TMPDIR, removed when the process ends normally.
const std::filesystem::path& ScratchDirectory();

// Writes the bytes exactly as given to the scratch file of that name, replacing it; returns the
// path as the wide text the core takes.
std::wstring WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// Aborts with the message when the condition does not hold.
void Check(bool condition, const char* message);

}  // namespace FuzzSupport
