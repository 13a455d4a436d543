#include "process_memory.h"

#include <unistd.h>

#include <fstream>
#include <string>

namespace kestrano::bench {
namespace {

double status_field_mib(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) / 1024.0;  // kB
  }
  return 0;
}

}  // namespace

double resident_mib(pid_t pid) { return status_field_mib(pid, "VmRSS"); }
double peak_resident_mib(pid_t pid) { return status_field_mib(pid, "VmHWM"); }
double own_peak_resident_mib() { return peak_resident_mib(getpid()); }

}  // namespace kestrano::bench
