#pragma once

// One parameter of an effect module, as the control window's slider shows it.
// The slider runs from max (position 0, at the top) down to min (position 6000).
struct ParamDescriptor {
    char name[24];
    double max;
    double min;
    double defaultValue;
};

constexpr int kMaxParameters = 40;
