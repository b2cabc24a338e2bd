#include "host/display.h"

#include <cstdio>

namespace {

class ConsoleDisplay : public Display {
public:
    void paintMeters(int, int, int, int) override {}
    void layoutChannelButtons(int) override {}
    void showError(const char* text) override { std::fprintf(stderr, "Error: %s\n", text); }
};

ConsoleDisplay consoleDisplay;
Display* activeDisplay = &consoleDisplay;

}  // namespace

Display& currentDisplay() { return *activeDisplay; }

void setDisplay(Display* display) { activeDisplay = display ? display : &consoleDisplay; }
