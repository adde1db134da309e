// What the window benchmarks share: folders of their own, as a test
// process gets them, and a run of the benchmarks off screen inside the
// monitor's application.
#pragma once

#include <string>

// A fresh temporary root with the data, configuration, runtime and IPC
// folders below it, the environment pointing there; returns the root.
std::string makePrivateFolders();

// The made-up LAN interfaces of the benchmark logs: "enp0s0", "enp1s0" ...
inline constexpr int BENCH_INTERFACES = 10;
std::string benchInterfaceName(int i);
// One record per interface per hour for the days up to the current hour,
// so that today has records too.
void writeHourlyLog(const std::string& path, int days);

// Runs the benchmarks named on the command line with
// QT_QPA_PLATFORM=offscreen; the caller's data lives around this call.
int runOffScreen(int argc, char** argv);
