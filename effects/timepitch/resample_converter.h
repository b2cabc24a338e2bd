#pragma once

// One channel's band-limited sample-rate converter: a libresample handle in
// its high-quality mode, opened for one fixed factor (output samples per
// input sample). The library works in single precision; callers convert at
// this boundary.
class ResampleConverter {
public:
    ResampleConverter() = default;
    ~ResampleConverter();

    ResampleConverter(ResampleConverter&& other) noexcept;
    ResampleConverter& operator=(ResampleConverter&& other) noexcept;
    ResampleConverter(const ResampleConverter&) = delete;
    ResampleConverter& operator=(const ResampleConverter&) = delete;

    // Closes any converter held and opens one for factor; false when the
    // library refuses the factor (not positive). Audio inside the old
    // converter is dropped.
    bool open(double factor);
    // Closes any converter held and takes a copy of a freshly opened one:
    // the same as opening for its factor, without designing the filter again.
    bool openLike(const ResampleConverter& fresh);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Converts up to frames input samples into at most room output samples;
    // returns the samples written and stores the input samples taken in
    // *used. Output the room cannot take stays inside the converter and comes
    // first next time.
    int process(float* input, int frames, int* used, float* output, int room);

private:
    void* handle_ = nullptr;
    double factor_ = 1.0;
};
