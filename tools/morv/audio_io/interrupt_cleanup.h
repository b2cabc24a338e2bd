#pragma once

#include <signal.h>

#include <string>

// While an output is being written: SIGINT and SIGTERM remove its temporary
// file, say so on one line and end the process with status 128 + the
// signal; SIGXFSZ is ignored, so that a file-size limit makes the write fail
// (EFBIG) and is reported like a full disk instead of killing the process.
// One guard at a time; the dispositions in force before it come back when it
// is destroyed.
class InterruptCleanup {
public:
    explicit InterruptCleanup(const std::string& output);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    // The file a signal removes; call between block() and unblock(), so that
    // no signal comes between creating the file and naming it here.
    void setTemporary(const std::string& path);
    // Nothing to remove any more (the file was renamed into place or removed).
    void release();

    // Holds SIGINT and SIGTERM back until unblock(), for the steps that must
    // not be cut apart.
    static void block();
    static void unblock();

private:
    struct sigaction previousInterrupt_;
    struct sigaction previousTerminate_;
    struct sigaction previousFileSize_;
};
