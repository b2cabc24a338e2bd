#include "tools/morv/audio_io/interrupt_cleanup.h"

#include <unistd.h>

#include <cstring>

namespace {

// What the handler needs, prepared beforehand: it may only make
// async-signal-safe calls.
char temporaryPath[4096];
volatile sig_atomic_t haveTemporary = 0;
char interruptMessage[600];
char terminateMessage[600];
size_t interruptLength = 0;
size_t terminateLength = 0;

extern "C" void onStopSignal(int signal) {
    if (haveTemporary) unlink(temporaryPath);
    const bool interrupt = signal == SIGINT;
    const ssize_t written = write(2, interrupt ? interruptMessage : terminateMessage,
                                  interrupt ? interruptLength : terminateLength);
    (void)written;
    _exit(128 + signal);
}

size_t prepare(char* buffer, size_t size, const char* signalName, const std::string& output) {
    std::string text = std::string("morv: stopped by ") + signalName;
    text += output == "-" ? "\n" : "; " + output + " was not written\n";
    if (text.size() >= size) text = std::string("morv: stopped by ") + signalName + "\n";
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return text.size();
}

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

InterruptCleanup::InterruptCleanup(const std::string& output) {
    block();
    interruptLength = prepare(interruptMessage, sizeof interruptMessage, "SIGINT", output);
    terminateLength = prepare(terminateMessage, sizeof terminateMessage, "SIGTERM", output);
    haveTemporary = 0;
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    // A signal that was ignored when morv started (a run in the background
    // of a script, under nohup) stays ignored.
    sigaction(SIGINT, nullptr, &previousInterrupt_);
    sigaction(SIGTERM, nullptr, &previousTerminate_);
    if (previousInterrupt_.sa_handler != SIG_IGN) sigaction(SIGINT, &stop, nullptr);
    if (previousTerminate_.sa_handler != SIG_IGN) sigaction(SIGTERM, &stop, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previousFileSize_);
    unblock();
}

InterruptCleanup::~InterruptCleanup() {
    block();
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
    sigaction(SIGXFSZ, &previousFileSize_, nullptr);
    haveTemporary = 0;
    unblock();
}

void InterruptCleanup::setTemporary(const std::string& path) {
    if (path.size() >= sizeof temporaryPath) return;
    std::memcpy(temporaryPath, path.c_str(), path.size() + 1);
    haveTemporary = 1;
}

void InterruptCleanup::release() { haveTemporary = 0; }

void InterruptCleanup::block() {
    const sigset_t set = stopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void InterruptCleanup::unblock() {
    const sigset_t set = stopSignals();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}
