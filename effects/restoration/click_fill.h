#pragma once

// First estimate of the samples of a click at x[start..end], before the
// autoregressive refinement, written to x by way of y (a copy of the
// unrepaired frame, length samples). With a pitch period (period > 0) the
// estimate comes from the signal one and two periods away, never from
// samples that clicked[] marks as inside a click; otherwise it is a
// straight line between the neighbours, smoothed. Needs start >= 2 and
// end <= length - 3. Returns true when the fill came from the periodic
// copies.
bool fillClick(double* x, double* y, int length, int start, int end, int period, const char* clicked);
