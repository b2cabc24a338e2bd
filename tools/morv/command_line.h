#pragma once

#include <map>
#include <string>
#include <vector>

// Arguments of one subcommand: positional words and --options. Options named
// in the value set take the next word as their value and may repeat.
class CommandLine {
public:
    CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                const std::vector<std::string>& flagOptions);

    const std::vector<std::string>& positional() const { return positional_; }
    bool flag(const std::string& name) const;
    bool has(const std::string& name) const;
    // The last value given for an option, or fallback.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& values(const std::string& name) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
    std::map<std::string, bool> flags_;
};

// Parses a whole number or a decimal; throws UsageError naming the option.
int parseInt(const std::string& text, const std::string& what);
double parseDouble(const std::string& text, const std::string& what);
