#pragma once

class ModuleRandom;

// The late tail of the room's response: a sparse onset of M = onsetLength /
// spacing random pulses whose gaps shrink from about the spacing to one
// sample under a rising envelope, then dense noise decaying by 7 nepers to
// the end. Every value is drawn from random; the level is 0.6.
//
// Where the room gives no usable spacing (0 or less, from a short reflection
// list) the spacing counts as one sample; with M = 1 the onset is a single
// pulse at the envelope's width of one sample. Writes stay within the tail.
void generateReverbTail(ModuleRandom& random, int onsetLength, int spacing, double* tail, int length);
