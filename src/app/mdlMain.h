#pragma once

namespace mdlMain {
// The process entry: builds the application object, reads the options and the command line,
// opens the first window and runs the event loop. Returns the process exit code.
int Main(int argc, char** argv);
}  // namespace mdlMain
