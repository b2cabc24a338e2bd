#include "effects/timepitch/resample_converter.h"

#include <libresample.h>

#include <utility>

namespace {

constexpr int kHighQuality = 1;

}  // namespace

ResampleConverter::~ResampleConverter() { close(); }

ResampleConverter::ResampleConverter(ResampleConverter&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), factor_(other.factor_) {}

ResampleConverter& ResampleConverter::operator=(ResampleConverter&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        factor_ = other.factor_;
    }
    return *this;
}

bool ResampleConverter::open(double factor) {
    close();
    // The same factor as the lower and the upper bound: the filter reach and
    // buffers are sized for exactly this factor.
    handle_ = resample_open(kHighQuality, factor, factor);
    factor_ = factor;
    return handle_ != nullptr;
}

bool ResampleConverter::openLike(const ResampleConverter& fresh) {
    close();
    handle_ = fresh.handle_ ? resample_dup(fresh.handle_) : nullptr;
    factor_ = fresh.factor_;
    return handle_ != nullptr;
}

void ResampleConverter::close() {
    if (handle_) resample_close(handle_);
    handle_ = nullptr;
}

int ResampleConverter::process(float* input, int frames, int* used, float* output, int room) {
    *used = 0;
    if (!handle_) return 0;
    const int written = resample_process(handle_, factor_, input, frames, 0, used, output, room);
    return written < 0 ? 0 : written;
}
