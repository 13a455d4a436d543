#include "figures.h"

#include <sstream>

namespace kestrano::bench {

std::map<std::string, double> read_figures(std::string_view output) {
  std::map<std::string, double> found;
  std::istringstream lines{std::string(output)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string tag, name;
    double value = 0;
    if (words >> tag >> name >> value && tag == "figure") found[name] = value;
  }
  return found;
}

}  // namespace kestrano::bench
