#include "tools/morv/commands/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    if (value == 0.0) return "0";
    // The fewest significant digits that read back as the same double.
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*e", precision - 1, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    // text is [-]d[.ddd]e[+-]xx: split into sign, digits and exponent.
    std::string mantissa(text, std::strchr(text, 'e'));
    const int exponent = std::atoi(std::strchr(text, 'e') + 1);
    const bool negative = mantissa[0] == '-';
    std::string digits;
    for (char c : mantissa) {
        if (c >= '0' && c <= '9') digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int count = static_cast<int>(digits.size());

    std::string out = negative ? "-" : "";
    if (exponent >= 21 || exponent < -6) {
        // Plain decimals would run too long: keep the exponent, as JavaScript does.
        out += digits.substr(0, 1);
        if (count > 1) out += "." + digits.substr(1);
        return out + "e" + std::to_string(exponent);
    }
    if (exponent < 0) return out + "0." + std::string(-exponent - 1, '0') + digits;
    if (count <= exponent + 1) return out + digits + std::string(exponent + 1 - count, '0');
    return out + digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
}
