#pragma once
// The stand-in service as its own program (build/kestrano-standin), so that its threads and buffers
// are never counted in the memory of the process under measurement.

#include <memory>
#include <string>

#include "child_process.h"

namespace kestrano::bench {

class StandinProcess {
 public:
  // Starts it on a free loopback port and waits for the port; ok() tells whether that worked.
  StandinProcess();
  bool ok() const { return port_ > 0; }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  std::unique_ptr<Child> child_;
  int port_ = 0;
};

}  // namespace kestrano::bench
