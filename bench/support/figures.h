#pragma once
// How a benchmark program hands its figures to bench/run.sh: one line per figure on stdout,
// "figure <name> <value>", read back by name. Anything else a program prints is commentary.

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

namespace kestrano::bench {

inline void figure(const char* name, double value) {
  std::printf("figure %s %.6f\n", name, value);
  std::fflush(stdout);
}

// The figures in a child benchmark's output, by name.
std::map<std::string, double> read_figures(std::string_view output);

}  // namespace kestrano::bench
