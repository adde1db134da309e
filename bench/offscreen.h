// What the window benchmarks share: folders of their own, as a test
// process gets them, and a run of the benchmarks off screen inside the
// monitor's application.
#pragma once

#include <string>

// A fresh temporary root with the data, configuration, runtime and IPC
// folders below it, the environment pointing there; returns the root.
std::string makePrivateFolders();

// Runs the benchmarks named on the command line with
// QT_QPA_PLATFORM=offscreen; the caller's data lives around this call.
int runOffScreen(int argc, char** argv);
