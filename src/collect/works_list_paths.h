#pragma once
// Where the fields of a works-list answer sit, in the JSON paths the collection reads them by. The page
// reader and the collector read the same answer; one place names its shape.

#include <string>

#include "text/text.h"

namespace kestrano {

inline const char* const kWorksListPath = "workspage.data.worksList";
inline const char* const kNextPageTokenPath = "workspage.data.ext";

// The path of a field of the k-th video of the list; `rest` begins with "." or "[".
inline Text work_path(int k, const char* rest) {
  return Text(kWorksListPath) + "[" + std::to_string(k) + "]" + rest;
}

}  // namespace kestrano
