#include <windows.h>

#include "host/processing_lock.h"

// One unnamed mutex, created not owned.
ProcessingLock::ProcessingLock() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}

ProcessingLock::~ProcessingLock() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}

void ProcessingLock::lock() {
    WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE);
    ++takes_;
}

void ProcessingLock::unlock() { ReleaseMutex(static_cast<HANDLE>(handle_)); }
