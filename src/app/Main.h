#pragma once

namespace ignivex {

// Start-up: the splash first, modally; the main window after it has closed.
int Main(int argc, char* argv[]);

}  // namespace ignivex
