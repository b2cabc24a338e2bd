#include "tools/morv/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/morv/usage_error.h"

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions) {
    auto known = [](const std::vector<std::string>& set, const std::string& name) {
        return std::find(set.begin(), set.end(), name) != set.end();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg.substr(2);
            std::string inlineValue;
            bool hasInline = false;
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
                hasInline = true;
            }
            if (known(valueOptions, name)) {
                if (hasInline) {
                    values_[name].push_back(inlineValue);
                } else {
                    if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
                    values_[name].push_back(args[++i]);
                }
            } else if (known(flagOptions, name) && !hasInline) {
                flags_[name] = true;
            } else {
                throw UsageError("unknown option --" + name);
            }
        } else {
            positional_.push_back(arg);
        }
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
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < -2147483647L || value > 2147483647L) {
        throw UsageError(what + " must be a whole number, not \"" + text + "\"");
    }
    return static_cast<int>(value);
}

double parseDouble(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
        throw UsageError(what + " must be a number, not \"" + text + "\"");
    }
    return value;
}
