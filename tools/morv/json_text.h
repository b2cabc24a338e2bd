#pragma once

#include <string>

// A JSON string literal (quotes included) for UTF-8 text.
std::string jsonString(const std::string& text);
// A JSON number: shortest form that reads back as the same double.
std::string jsonNumber(double value);
