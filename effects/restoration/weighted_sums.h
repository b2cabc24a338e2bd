#pragma once

// out[t] = sum over i < terms of w[i] x[t + i * stride], for t < count, each
// summed over i in turn from 0. The outputs are independent, so several are
// formed at a time (four lanes where the processor has them); every path
// rounds each output alike.
void weightedSums(const double* x, long stride, const double* w, int terms, int count, double* out);
