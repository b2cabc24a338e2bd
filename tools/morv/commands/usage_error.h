#pragma once

#include <stdexcept>
#include <string>

// A wrong command line: reported on one line, exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// An input or output file that cannot be read or written: exit status 1.
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& message) : std::runtime_error(message) {}
};
