#pragma once

#include <string>

// A JSON string literal (quotes included) for UTF-8 text.
std::string jsonString(const std::string& text);
// A JSON number in the shortest decimal form that reads back as the same
// double: 20, -10, 0.85, 1e-7; null for infinities and NaN.
std::string jsonNumber(double value);
