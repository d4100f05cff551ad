#pragma once

// Whether standard output is a terminal: progress lines that rewrite themselves are only shown
// there, never in files or pipes. One implementation per platform.
namespace Terminal {

bool IsStandardOutputTerminal();

}  // namespace Terminal
