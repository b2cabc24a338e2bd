#include "tools/morv/module_descriptions.h"

#include "registry/module_registry.h"

namespace {

const char* const kDescriptions[kSelectableModuleCount] = {
    "passes the audio through: only the master gain and the channel choice act",
    "finds clicks and crackle and fills them in from the signal around them",
    "lowers broadband hiss, measured in the top of the spectrum, without a learning phase",
    ("learns a steady background noise, then removes it; in a file the first NoiseLen seconds "
     "(and NoiseLen after each --snap-noise) come out silent while it learns"),
    "graphic equaliser, 3 bands of 8/3 octave: shelves at 200 Hz and 8 kHz, a peak at 1265 Hz",
    "graphic equaliser, 10 bands of one octave",
    "graphic equaliser, 15 bands of 2/3 octave",
    "graphic equaliser, 20 bands of 1/2 octave",
    "graphic equaliser, 31 bands of 1/3 octave",
    "removes a source panned to one place (the centre: lead vocals) within a band, leaving mono",
    "removes or lifts the part the two channels share within a band, keeping the stereo image",
    "places the listener in a rectangular room with one source: modal room reverb",
    "places the sound in a chosen direction around the head, with head-related responses",
    "varispeed: plays faster and higher or slower and lower",
    "changes the tempo without changing the pitch",
    "changes the pitch without changing the duration",
    "pitch vibrato from a swinging delay line",
    "turns voiced sound into a whisper by randomising the phase of the spectrum",
};

}  // namespace

const char* moduleDescription(int moduleIndex) {
    if (moduleIndex < 0 || moduleIndex >= kSelectableModuleCount) return "";
    return kDescriptions[moduleIndex];
}
