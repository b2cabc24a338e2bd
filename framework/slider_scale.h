#pragma once

#include "framework/param_descriptor.h"

// Slider positions run 0..6000. A parameter slider has its max at position 0
// and its min at 6000; the gain slider runs from +60 dB (0) to -60 dB (6000).
constexpr int kSliderPositions = 6000;
// The gain slider spans +-kGainRangeDecibels with kGainPositionsPerDecibel
// positions per dB; its middle position is 0 dB.
constexpr double kGainRangeDecibels = 60.0;
constexpr double kGainPositionsPerDecibel = 50.0;
constexpr int kGainPositionUnity = 3000;

double sliderToValue(const ParamDescriptor& descriptor, double position);
int valueToSlider(const ParamDescriptor& descriptor, double value);
double gainSliderToGain(double position);
int gainToSlider(double gain);
// Slider position of a gain in decibels: trunc((60 - dB) x 50).
int decibelsToGainSlider(double decibels);
