#include "standin_process.h"

namespace kestrano::bench {

StandinProcess::StandinProcess() {
  // Ends by itself should the benchmark die without stopping it.
  child_ = std::make_unique<Child>(
      std::vector<std::string>{KESTRANO_STANDIN_PROGRAM, "--port", "0", "--idle-exit-seconds", "120"});
  if (!child_->started()) return;
  const auto line = child_->read_line(std::chrono::seconds(10));
  if (line) port_ = std::atoi(line->c_str());
}

}  // namespace kestrano::bench
