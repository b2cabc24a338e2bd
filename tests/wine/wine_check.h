#pragma once

#include <cstdint>
#include <string>

// A minimal test harness for the programs that run under Wine: each case is a
// function registered by name, run in a process of its own by the runner
// script, and fails when any check in it fails.

using WineCaseFunction = void (*)();

bool registerWineCase(const char* name, WineCaseFunction function);
// Runs the named case; returns the number of failed checks, or -1 if unknown.
int runWineCase(const std::string& name);
void listWineCases();

void checkTrue(bool condition, const char* expression, const char* file, int line);
void checkEqual(long long actual, long long expected, const char* actualText, const char* expectedText,
                const char* file, int line);
void checkText(const std::string& actual, const std::string& expected, const char* actualText,
               const char* file, int line);
void reportNote(const char* format, ...);

#define WINE_CASE(name)                                                          \
    static void name();                                                          \
    static const bool name##_registered = registerWineCase(#name, name);         \
    static void name()

#define CHECK(condition) checkTrue((condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) \
    checkEqual((long long)(actual), (long long)(expected), #actual, #expected, __FILE__, __LINE__)
#define CHECK_TEXT(actual, expected) checkText((actual), (expected), #actual, __FILE__, __LINE__)
