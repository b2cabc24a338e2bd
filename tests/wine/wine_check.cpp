#include "tests/wine/wine_check.h"

#include <cstdarg>
#include <cstdio>
#include <map>

namespace {

std::map<std::string, WineCaseFunction>& cases() {
    static std::map<std::string, WineCaseFunction> registry;
    return registry;
}

int failures = 0;

}  // namespace

bool registerWineCase(const char* name, WineCaseFunction function) {
    cases()[name] = function;
    return true;
}

int runWineCase(const std::string& name) {
    auto found = cases().find(name);
    if (found == cases().end()) return -1;
    failures = 0;
    found->second();
    return failures;
}

void listWineCases() {
    for (const auto& entry : cases()) std::printf("%s\n", entry.first.c_str());
    std::fflush(stdout);
}

void checkTrue(bool condition, const char* expression, const char* file, int line) {
    if (condition) return;
    ++failures;
    std::printf("  %s:%d: check failed: %s\n", file, line, expression);
    std::fflush(stdout);
}

void checkEqual(long long actual, long long expected, const char* actualText, const char* expectedText,
                const char* file, int line) {
    if (actual == expected) return;
    ++failures;
    std::printf("  %s:%d: %s is %lld, expected %s (%lld)\n", file, line, actualText, actual,
                expectedText, expected);
    std::fflush(stdout);
}

void checkText(const std::string& actual, const std::string& expected, const char* actualText,
               const char* file, int line) {
    if (actual == expected) return;
    ++failures;
    std::printf("  %s:%d: %s is \"%s\", expected \"%s\"\n", file, line, actualText, actual.c_str(),
                expected.c_str());
    std::fflush(stdout);
}

void reportNote(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::printf("  note: ");
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    std::fflush(stdout);
}
