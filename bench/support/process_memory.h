#pragma once
// Resident memory of a process as the kernel counts it (/proc/<pid>/status), in MiB.

#include <sys/types.h>

namespace kestrano::bench {

// VmRSS: resident now. 0 when it cannot be read.
double resident_mib(pid_t pid);
// VmHWM: the most it has held resident so far.
double peak_resident_mib(pid_t pid);
double own_peak_resident_mib();

}  // namespace kestrano::bench
