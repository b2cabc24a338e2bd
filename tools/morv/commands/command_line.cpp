#include "tools/morv/commands/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/morv/commands/usage_error.h"

namespace {

struct ShortOption {
    char letter;
    const char* name;
};

constexpr ShortOption kShortOptions[] = {
    {'m', "module"}, {'p', "preset"}, {'s', "set"}, {'g', "gain"}, {'q', "quiet"}, {'h', "help"},
};

bool contains(const std::vector<std::string>& set, const std::string& name) {
    return std::find(set.begin(), set.end(), name) != set.end();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// [+-] digits [. digits] [e [+-] digits], with at least one digit before the
// exponent; nothing else.
bool isDecimalNumber(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && isDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < n && isDigit(text[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == n;
}

}  // namespace

std::string longOptionFor(char letter) {
    for (const ShortOption& option : kShortOptions) {
        if (option.letter == letter) return option.name;
    }
    return "";
}

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions)
    : valueOptions_(valueOptions), flagOptions_(flagOptions) {
    flagOptions_.push_back("help");
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            addOption(name, args, &i, eq != std::string::npos, eq == std::string::npos ? "" : arg.substr(eq + 1),
                      "--" + name);
        } else {
            // -m 3, -m3, -m=3
            const std::string name = longOptionFor(arg[1]);
            std::string rest = arg.substr(2);
            if (!rest.empty() && rest[0] == '=') rest.erase(0, 1);
            if (name.empty()) throw UsageError("unknown option " + arg.substr(0, 2));
            addOption(name, args, &i, arg.size() > 2, rest, arg.substr(0, 2));
        }
    }
}

void CommandLine::addOption(const std::string& name, const std::vector<std::string>& args, size_t* i,
                            bool hasInline, const std::string& inlineValue, const std::string& spelled) {
    if (contains(valueOptions_, name)) {
        if (hasInline) {
            values_[name].push_back(inlineValue);
        } else {
            if (*i + 1 >= args.size()) throw UsageError("option " + spelled + " needs a value");
            values_[name].push_back(args[++*i]);
        }
    } else if (contains(flagOptions_, name)) {
        if (hasInline) throw UsageError("option " + spelled + " takes no value");
        flags_[name] = true;
    } else {
        throw UsageError("unknown option " + spelled);
    }
}

bool CommandLine::flag(const std::string& name) const { return flags_.count(name) != 0; }

bool CommandLine::has(const std::string& name) const { return values_.count(name) != 0; }

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second.back();
}

const std::vector<std::string>& CommandLine::values(const std::string& name) const {
    static const std::vector<std::string> none;
    auto it = values_.find(name);
    return it == values_.end() ? none : it->second;
}

int parseInt(const std::string& text, const std::string& what) {
    const size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const bool digitsOnly = text.size() > start && std::all_of(text.begin() + start, text.end(), isDigit);
    errno = 0;
    const long value = digitsOnly ? std::strtol(text.c_str(), nullptr, 10) : 0;
    if (!digitsOnly || errno == ERANGE || value < -2147483647L || value > 2147483647L) {
        throw UsageError(what + " must be a whole number, not \"" + text + "\"");
    }
    return static_cast<int>(value);
}

double parseDouble(const std::string& text, const std::string& what) {
    if (!isDecimalNumber(text)) throw UsageError(what + " must be a decimal number, not \"" + text + "\"");
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (std::isinf(value)) throw UsageError(what + " is too large: \"" + text + "\"");
    // A value too small for a double is 0.
    if (errno == ERANGE) return 0.0;
    return value;
}
