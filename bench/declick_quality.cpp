// Repair quality of DeClick, measured from outside the module:
//   declick_quality tones
//     one-sample spikes of +-24000 on 8000-amplitude tones, 60 log-spaced
//     frequencies from 100 Hz to 8 kHz, spikes at positions across the
//     emitted stretch of a frame, its first samples (which the frame itself
//     does not scan) included; reports the largest error within +-60
//     samples of each spike, for exact tones and tones rounded to integers.
//   declick_quality music FILE...
//     real recordings on the 16-bit scale, each its own stream: the clean
//     files (SNR of the output against the input, largest change), then the
//     files with 300 added clicks (Hann-windowed noise bursts of 1-40
//     samples, peak 0.05-0.5 of full scale): the share of each width class
//     repaired, median gain per click, clicks made worse, click-region gain,
//     and the CPU real-time factor of that run.
//   declick_quality oracle FILE...
//     the same 300 clicks, each refilled on its true span in both channels
//     by the module's wide-click fill (the autoregressive interpolation under
//     a floored model of the samples on either side), with the context that
//     the click's place in its frame leaves after it: the share of each width
//     class a perfect detector would reach. ORACLE_MAX_ORDER,
//     ORACLE_PER_SAMPLE, ORACLE_PER_ORDER, ORACLE_FLOOR and
//     ORACLE_ITERATIONS (re-estimates of the model with the gap filled)
//     vary the fill; ORACLE_UNLIMITED=1 lifts the frame's bound.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "effects/restoration/ar_interpolator.h"
#include "effects/restoration/burg_model.h"
#include "effects/restoration/de_click.h"
#include "tools/morv/audio_io/audio_file_reader.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlockFrames = 576;
constexpr double kPi = 3.14159265358979323846;

// Reproducible uniform values in [0, 1).
struct Random {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return state / 4294967296.0;
    }
};

// Runs an interleaved signal through a fresh DeClick in host-sized blocks,
// then silence until every input sample has come out; returns the output
// aligned with the input.
std::vector<double> runDeClick(const std::vector<double>& input, int channels, double* cpuSeconds = nullptr) {
    DeClick declick(kRate, channels);
    std::vector<double> output;
    output.reserve(input.size() + 4 * kBlockFrames * channels);
    const size_t step = static_cast<size_t>(kBlockFrames) * channels;
    std::vector<double> block(step);
    const std::clock_t begin = std::clock();
    for (size_t pos = 0; output.size() < input.size(); pos += step) {
        for (size_t i = 0; i < step; ++i) block[i] = pos + i < input.size() ? input[pos + i] : 0.0;
        const int produced = declick.process(block.data(), block.data(), static_cast<int>(step),
                                             static_cast<int>(step), 3);
        output.insert(output.end(), block.begin(), block.begin() + produced);
    }
    if (cpuSeconds) *cpuSeconds += static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
    output.resize(input.size());
    return output;
}

// Stream position of sample p of the stretch that frame t emits (t >= 1):
// N = 1120, hop 952 at 44100 Hz.
int streamPosition(int frame, int p) { return (frame + 1) * 952 - 1120 + p; }

int tones() {
    const int positions[] = {0, 20, 40, 52, 56, 60, 75, 84, 100, 120, 200, 300, 450, 600, 750, 850, 900, 930, 951};
    const int spikesPerTone = 2 * static_cast<int>(sizeof(positions) / sizeof(positions[0]));
    const int frames = streamPosition(spikesPerTone + 3, 0);
    int failing[2] = {0, 0};
    double worstOverall[2] = {0.0, 0.0};
    std::printf("%9s %12s %12s   (largest error within +-60 samples of a spike; exact, rounded)\n", "Hz", "exact",
                "rounded");
    for (int k = 0; k < 60; ++k) {
        const double frequency = 100.0 * std::pow(80.0, k / 59.0);
        double worst[2] = {0.0, 0.0};
        int worstPosition[2] = {0, 0};
        for (int rounded = 0; rounded < 2; ++rounded) {
            std::vector<double> clean(frames);
            for (int i = 0; i < frames; ++i) {
                clean[i] = 8000.0 * std::sin(2.0 * kPi * frequency * i / kRate + 0.7 * k);
                if (rounded) clean[i] = std::nearbyint(clean[i]);
            }
            std::vector<double> damaged = clean;
            std::vector<int> spikes;
            for (int s = 0; s < spikesPerTone; ++s) {
                const int at = streamPosition(2 + s, positions[s / 2]);
                damaged[at] += s % 2 ? -24000.0 : 24000.0;
                spikes.push_back(at);
            }
            const std::vector<double> out = runDeClick(damaged, 1);
            for (int s = 0; s < spikesPerTone; ++s)
                for (int i = spikes[s] - 60; i <= spikes[s] + 60; ++i)
                    if (std::fabs(out[i] - clean[i]) > worst[rounded]) {
                        worst[rounded] = std::fabs(out[i] - clean[i]);
                        worstPosition[rounded] = positions[s / 2];
                    }
            if (worst[rounded] >= 160.0) ++failing[rounded];
            worstOverall[rounded] = std::max(worstOverall[rounded], worst[rounded]);
        }
        std::printf("%9.1f %12.2f %12.2f   at frame positions %3d, %3d%s\n", frequency, worst[0], worst[1],
                    worstPosition[0], worstPosition[1], std::max(worst[0], worst[1]) >= 160.0 ? "  FAIL" : "");
    }
    std::printf("tones with an error of 160 or more: exact %d of 60, rounded %d of 60; worst %.1f, %.1f\n",
                failing[0], failing[1], worstOverall[0], worstOverall[1]);
    return 0;
}

struct Recording {
    std::string name;
    int channels;
    std::vector<double> samples;  // interleaved, 16-bit scale
    int frames() const { return static_cast<int>(samples.size() / channels); }
};

Recording readRecording(const std::string& path) {
    AudioFileReader reader(path);
    if (reader.sampleRate() != kRate) {
        std::fprintf(stderr, "%s: %d Hz; the clicks and frames here assume %.0f Hz\n", path.c_str(),
                     reader.sampleRate(), kRate);
        std::exit(1);
    }
    Recording r{path, reader.channels(), {}};
    std::vector<int32_t> buffer(4096 * static_cast<size_t>(reader.channels()));
    for (int got; (got = reader.read(buffer.data(), 4096)) > 0;)
        for (int i = 0; i < got * reader.channels(); ++i) r.samples.push_back(buffer[i] / 65536.0);
    return r;
}

struct Click {
    int file;
    int position;
    int length;
};

constexpr int kMaxWidth = 40;
constexpr double kFullScale = 32768.0;
// The right channel gets the left's burst times this.
constexpr double kRightScale = 0.8;

// 300 clicks over the recordings in proportion to their length, at least
// 300 samples apart and 200 from either end: Hann-windowed noise bursts of
// 1 to 40 samples (uniform), peak 0.05 to 0.5 of full scale (log-uniform),
// random sign, the right channel a little weaker.
std::vector<Click> addClicks(std::vector<Recording>& recordings) {
    std::vector<Click> clicks;
    long long total = 0;
    for (const Recording& r : recordings) total += r.frames();
    Random random{20240607u};
    double burst[kMaxWidth];
    while (clicks.size() < 300) {
        long long at = static_cast<long long>(random.next() * total);
        int file = 0;
        while (at >= recordings[file].frames()) at -= recordings[file++].frames();
        const int length = 1 + static_cast<int>(random.next() * kMaxWidth);
        const int position = static_cast<int>(at);
        bool fits = position >= 200 && position + length + 200 < recordings[file].frames();
        for (const Click& c : clicks)
            if (c.file == file && std::abs(c.position - position) < 300) fits = false;
        if (!fits) continue;
        const double peak = kFullScale * 0.05 * std::pow(10.0, random.next());
        const double sign = random.next() < 0.5 ? -1.0 : 1.0;
        double largest = 0.0;
        for (int j = 0; j < length; ++j) {
            const double hann = std::sin(kPi * (j + 1) / (length + 1));
            burst[j] = (2.0 * random.next() - 1.0) * hann * hann;
            if (std::fabs(burst[j]) > std::fabs(largest)) largest = burst[j];
        }
        Recording& r = recordings[file];
        for (int j = 0; j < length; ++j) {
            const double value = sign * peak * burst[j] / largest;
            for (int c = 0; c < r.channels; ++c)
                r.samples[static_cast<size_t>(position + j) * r.channels + c] += c == 1 ? kRightScale * value : value;
        }
        clicks.push_back({file, position, length});
    }
    return clicks;
}

double squaredDifference(const Recording& a, const std::vector<double>& b, int from, int to) {
    double sum = 0.0;
    for (size_t i = static_cast<size_t>(from) * a.channels; i < static_cast<size_t>(to) * a.channels; ++i)
        sum += (a.samples[i] - b[i]) * (a.samples[i] - b[i]);
    return sum;
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Clean recordings: what the module changes where there is nothing to do.
void cleanPass(const std::vector<Recording>& clean, double seconds) {
    double signal = 0.0, change = 0.0, largest = 0.0;
    std::string largestAt;
    for (const Recording& r : clean) {
        const std::vector<double> out = runDeClick(r.samples, r.channels);
        double fileSignal = 0.0, fileChange = 0.0, fileLargest = 0.0;
        for (size_t i = 0; i < out.size(); ++i) {
            const double d = out[i] - r.samples[i];
            fileSignal += r.samples[i] * r.samples[i];
            fileChange += d * d;
            fileLargest = std::max(fileLargest, std::fabs(d));
            if (std::fabs(d) > largest) {
                largest = std::fabs(d);
                largestAt = baseName(r.name) + " at sample " + std::to_string(i / r.channels);
            }
        }
        std::printf("  %-24s SNR %7.2f dB, largest change %8.1f\n", baseName(r.name).c_str(),
                    10.0 * std::log10(fileSignal / std::max(fileChange, 1e-300)), fileLargest);
        signal += fileSignal;
        change += fileChange;
    }
    std::printf("clean: %zu files, %.1f s; SNR of output against input %.2f dB; largest change %.1f (%s)\n",
                clean.size(), seconds, 10.0 * std::log10(signal / std::max(change, 1e-300)), largest,
                largestAt.empty() ? "none" : largestAt.c_str());
}

// A click counts as repaired when the error energy over its own samples
// falls by kRepairedGain dB or more.
constexpr double kRepairedGain = 10.0;

void widthClasses(const std::vector<Click>& clicks, const std::vector<double>& spanGains) {
    const int bounds[][2] = {{1, 3}, {4, 10}, {11, 20}, {21, 40}};
    std::printf("width class  clicks  repaired (>= %.0f dB over the click)  median gain\n", kRepairedGain);
    for (const auto& b : bounds) {
        std::vector<double> gains;
        for (size_t i = 0; i < clicks.size(); ++i)
            if (clicks[i].length >= b[0] && clicks[i].length <= b[1]) gains.push_back(spanGains[i]);
        if (gains.empty()) continue;
        const long repaired = std::count_if(gains.begin(), gains.end(), [](double g) { return g >= kRepairedGain; });
        std::sort(gains.begin(), gains.end());
        std::printf("  %2d-%-2d      %4zu   %5.1f %%%28s%7.2f dB\n", b[0], b[1], gains.size(),
                    100.0 * repaired / gains.size(), "", gains[gains.size() / 2]);
    }
}

int music(int count, char** paths) {
    std::vector<Recording> clean;
    double seconds = 0.0;
    for (int i = 0; i < count; ++i) {
        clean.push_back(readRecording(paths[i]));
        seconds += clean.back().frames() / kRate;
    }
    cleanPass(clean, seconds);

    std::vector<Recording> damaged = clean;
    const std::vector<Click> clicks = addClicks(damaged);
    std::vector<std::vector<double>> outputs;
    double cpu = 0.0;
    for (const Recording& r : damaged) outputs.push_back(runDeClick(r.samples, r.channels, &cpu));

    // Error energy against the clean recording over the click and 50
    // samples on either side, before and after repair; and over the click's
    // own samples for the width classes.
    constexpr int kMargin = 50;
    std::vector<double> gains, spanGains;
    std::vector<std::pair<double, int>> afterEnergies;
    double before = 0.0, after = 0.0;
    int worse = 0, barely = 0;
    for (const Click& c : clicks) {
        const int from = c.position - kMargin, to = c.position + c.length + kMargin;
        const double b = squaredDifference(clean[c.file], damaged[c.file].samples, from, to);
        const double a = squaredDifference(clean[c.file], outputs[c.file], from, to);
        const double spanBefore = squaredDifference(clean[c.file], damaged[c.file].samples, c.position,
                                                    c.position + c.length);
        const double spanAfter = squaredDifference(clean[c.file], outputs[c.file], c.position, c.position + c.length);
        spanGains.push_back(10.0 * std::log10(spanBefore / std::max(spanAfter, 1e-300)));
        before += b;
        after += a;
        const double gain = 10.0 * std::log10(b / std::max(a, 1e-300));
        gains.push_back(gain);
        afterEnergies.push_back({a, static_cast<int>(gains.size()) - 1});
        if (gain < 0.0) ++worse;
        if (gain < 3.0) ++barely;
    }
    widthClasses(clicks, spanGains);
    // The clicks left with the most error energy: where the region gain goes.
    std::sort(afterEnergies.rbegin(), afterEnergies.rend());
    for (int k = 0; k < 8; ++k) {
        const Click& c = clicks[afterEnergies[k].second];
        std::printf("  left over: %-20s sample %7d (stretch position %3d), %2d samples: gain %6.2f dB, "
                    "RMS error after %.0f\n",
                    baseName(clean[c.file].name).c_str(), c.position, (c.position + 1120) % 952, c.length,
                    gains[afterEnergies[k].second],
                    std::sqrt(afterEnergies[k].first / ((c.length + 2 * kMargin) * clean[c.file].channels)));
    }
    std::sort(gains.begin(), gains.end());
    std::printf("300 clicks: median gain per click %.2f dB (quartiles %.2f, %.2f), made worse %d, "
                "under 3 dB %d, click-region gain %.2f dB\n",
                0.5 * (gains[149] + gains[150]), gains[75], gains[225], worse, barely,
                10.0 * std::log10(before / after));
    std::printf("speed with clicks: %.1f s of audio in %.3f s CPU, %.0fx real time\n", seconds, cpu, seconds / cpu);
    return 0;
}


// Oracle: each click's true span refilled, channel by channel, with the
// context a frame of the module would give it (the click's place in its
// frame bounds the samples after it), by the wide-click fill under test.
struct OracleFill {
    int maxOrder = 300, perSample = 20, perOrder = 5, iterations = 0;
    double floor = 3e-7;
};

double envOr(const char* name, double fallback) {
    const char* v = std::getenv(name);
    return v ? std::atof(v) : fallback;
}

void oracleChannel(std::vector<double>& x, int start, int end, int after, const OracleFill& f, BurgWork& work,
                   ArInterpolator& interp) {
    const int length = end - start + 1;
    const int wanted = length >= 11 ? std::min(f.perSample * length, f.maxOrder) : 50;
    int order = std::max(50, std::min(wanted, after));
    const int context = order == 50 ? 150 : f.perOrder * order;
    const int before = std::min(context, start);
    const int behind = std::min(context, after);
    std::vector<double> a(order + 1), scratch(3 * (order + 1));
    const SampleRun runs[] = {{start - before, before}, {end + 1, behind}};
    BurgResult m = BurgModel(x.data(), runs, 2, order, a.data(), work);
    bool ok = m.complete && m.error <= 0.01;
    if (!ok && order > 50) {
        order = 50;
        m = BurgModel(x.data(), runs, 2, order, a.data(), work);
        ok = m.complete && m.error <= 0.01;
    }
    if (!ok) return;
    if (order > 50) addWhiteFloor(a.data(), order, f.floor, scratch.data());
    if (!interp.interpolate(x.data(), start, end, a.data(), order)) return;
    for (int it = 0; it < f.iterations; ++it) {
        const SampleRun whole[] = {{start - before, before + length + behind}};
        BurgModel(x.data(), whole, 1, order, a.data(), work);
        if (order > 50) addWhiteFloor(a.data(), order, f.floor, scratch.data());
        interp.interpolate(x.data(), start, end, a.data(), order);
    }
}

int oracle(int count, char** paths) {
    std::vector<Recording> clean;
    for (int i = 0; i < count; ++i) clean.push_back(readRecording(paths[i]));
    std::vector<Recording> damaged = clean;
    const std::vector<Click> clicks = addClicks(damaged);
    OracleFill f;
    f.maxOrder = static_cast<int>(envOr("ORACLE_MAX_ORDER", f.maxOrder));
    f.perSample = static_cast<int>(envOr("ORACLE_PER_SAMPLE", f.perSample));
    f.perOrder = static_cast<int>(envOr("ORACLE_PER_ORDER", f.perOrder));
    f.iterations = static_cast<int>(envOr("ORACLE_ITERATIONS", f.iterations));
    f.floor = envOr("ORACLE_FLOOR", f.floor);
    const bool unlimited = envOr("ORACLE_UNLIMITED", 0) != 0;
    BurgWork work;
    ArInterpolator interp(kMaxWidth, 4000);
    std::vector<double> spanGains;
    std::vector<Recording> repaired = damaged;
    for (const Click& c : clicks) {
        Recording& r = repaired[c.file];
        const int stretch = (c.position + 1120) % 952;
        const int inFrame = stretch < 84 ? stretch + 952 : stretch;
        const int after = unlimited ? 100000 : 1119 - (inFrame + c.length - 1);
        const int from = std::max(0, c.position - 20000);
        const int to = std::min(r.frames(), c.position + c.length + 20000);
        for (int ch = 0; ch < r.channels; ++ch) {
            std::vector<double> x(to - from);
            for (int i = from; i < to; ++i) x[i - from] = r.samples[static_cast<size_t>(i) * r.channels + ch];
            const int start = c.position - from;
            const int end = start + c.length - 1;
            oracleChannel(x, start, end, std::min(after, to - from - 1 - end), f, work, interp);
            for (int i = c.position; i < c.position + c.length; ++i)
                r.samples[static_cast<size_t>(i) * r.channels + ch] = x[i - from];
        }
        const double spanBefore = squaredDifference(clean[c.file], damaged[c.file].samples, c.position,
                                                    c.position + c.length);
        const double spanAfter =
            squaredDifference(clean[c.file], r.samples, c.position, c.position + c.length);
        spanGains.push_back(10.0 * std::log10(spanBefore / std::max(spanAfter, 1e-300)));
    }
    widthClasses(clicks, spanGains);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "tones") == 0) return tones();
    if (argc >= 3 && std::strcmp(argv[1], "music") == 0) return music(argc - 2, argv + 2);
    if (argc >= 3 && std::strcmp(argv[1], "oracle") == 0) return oracle(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: %s tones | music FILE... | oracle FILE...\n", argv[0]);
    return 2;
}
