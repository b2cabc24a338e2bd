#pragma once

// First estimate of the samples of a click at x[start..end], before the
// autoregressive refinement. The estimate is built in y (a copy of the
// unrepaired frame, length samples), from the signal one and two periods
// away when the frame has a pitch period (period > 0) or a straight line
// between the neighbours otherwise; it is then smoothed and re-anchored to
// the neighbours and written to x. Needs start >= 2 and end <= length - 3.
// Returns true when the fill came from the periodic copies.
bool fillClick(double* x, double* y, int length, int start, int end, int period);
