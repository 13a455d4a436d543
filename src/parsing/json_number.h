#pragma once
// Number texts of the JSON document: JavaScript's own form (what JSON.stringify and String(x) write)
// and the "%.13g" form that get_text uses. Both are independent of the C locale, which the GUI sets
// from the environment and which would otherwise turn 2.5 into "2,5".

#include <string>

namespace kestrano {

// Shortest text that reads back as the same double: 15, 2.5, 0.1, 1e+21, 1.5e-7; "NaN", "Infinity".
std::string js_number_text(double value);

// printf's "%.13g": 15, 2.5, 1.234567890123e+17.
std::string g13_number_text(double value);

}  // namespace kestrano
