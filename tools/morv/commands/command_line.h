#pragma once

#include <map>
#include <string>
#include <vector>

// Arguments of one subcommand: positional words and options. Options named in
// the value set take a value, as the next word or after "=" (--gain=3), and
// may repeat; flags take none. The common options have one-letter forms
// (-m 3, -m3, -g -6, -q); "--" ends the options; "-" alone is a word (standard
// input or output). Every command knows --help.
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
    void addOption(const std::string& name, const std::vector<std::string>& args, size_t* i, bool hasInline,
                   const std::string& inlineValue, const std::string& spelled);

    std::vector<std::string> valueOptions_;
    std::vector<std::string> flagOptions_;
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
    std::map<std::string, bool> flags_;
};

// The long option a one-letter option stands for, or "" for none.
std::string longOptionFor(char letter);

// A whole number in decimal, or a decimal number with an optional exponent
// ("20", "-10", "0.85", "1e-3"); a value too small for a double is 0.
// Hexadecimal, "inf", "nan", spaces and trailing characters are refused with a
// UsageError naming what.
int parseInt(const std::string& text, const std::string& what);
double parseDouble(const std::string& text, const std::string& what);
