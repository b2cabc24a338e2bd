#include "host/processing_lock.h"

#include <mutex>

ProcessingLock::ProcessingLock() : handle_(new std::mutex) {}

ProcessingLock::~ProcessingLock() { delete static_cast<std::mutex*>(handle_); }

void ProcessingLock::lock() {
    static_cast<std::mutex*>(handle_)->lock();
    ++takes_;
}

void ProcessingLock::unlock() { static_cast<std::mutex*>(handle_)->unlock(); }
