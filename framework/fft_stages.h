#pragma once

// Stage drivers of the half-length complex transform: the butterfly walks
// of one stage over the plan's work arrays, in place.

struct FftPlan;

// Stage s >= 2 (sofar S, radix R, remain Q): each of the Q groups of S
// butterflies gathers R values S apart, twiddles them by w^(j d) and
// transforms them with the radix's kernel (the general odd-radix kernel when
// there is no dedicated one).
void runComplexStage(FftPlan& plan, int s);

// Runs stages 2 .. J - 1 (stage 1 and the
// last stage are fused with the packing and the output).
void runMiddleStages(FftPlan& plan);
