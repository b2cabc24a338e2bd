#pragma once

#include <vector>

#include "effects/restoration/ar_interpolator.h"
#include "effects/restoration/burg_model.h"
#include "effects/restoration/click_detector.h"
#include "framework/block_effect.h"
#include "framework/parameter_info.h"

// "Restoration-DeClick": detects clicks from the energy of a linear-prediction
// residual against an adaptive threshold, fills each from the signal one or
// two pitch periods away (or a straight line), then refines the fill by
// least-squares autoregressive interpolation under a model of the samples
// around the click. Frames replace the output (no window); each frame is
// repaired on its own, except that a click at the start of a frame is
// repaired by the previous frame, which sees it whole, and that the
// refinement of a wide click also learns from the output before the frame.
class DeClick : public BlockEffect {
public:
    static constexpr int kModelOrder = 50;
    static constexpr int kMaxClickLength = 200;
    // Samples on either side of a click from which its refinement model is
    // estimated, every click sample left out.
    static constexpr int kModelContext = 150;
    // A wide click, kMinWideClick samples or more, is refined under a model
    // of kOrderPerSample times its length, up to kMaxModelOrder, estimated
    // from kContextPerOrder times the order on either side: an order-50
    // model learnt from 150 samples guesses the short clicks well but lets a
    // fill of more than about ten samples of rich music drift away from it.
    static constexpr int kMinWideClick = 11;
    static constexpr int kOrderPerSample = 20;
    static constexpr int kMaxModelOrder = 300;
    static constexpr int kContextPerOrder = 5;
    // Output samples before the frame kept per channel as context for the
    // refinement: the frame leaves little of it to a click near its start.
    static constexpr int kHistoryLength = kMaxModelOrder * kContextPerOrder;
    // White floor, relative to the signal's power, under the model a wide
    // click is refined with: a model of high order learnt from band-limited
    // music would otherwise turn the faint edge of a burst left beside the
    // gap into a swing across it.
    static constexpr double kModelFloor = 3e-7;
    // A wide click grows by up to kEdgeReach samples on either side while the
    // sample next to it stands out from the prediction of its refinement
    // model by kEdgeStandOut times the model's mean error energy there.
    static constexpr int kMinWidenedLength = 4;
    static constexpr int kEdgeReach = 8;
    static constexpr double kEdgeStandOut = 4.0;
    // A click at least kMinGuardedLength samples wide after that also takes
    // in kEdgeGuard samples on either side.
    static constexpr int kMinGuardedLength = 16;
    static constexpr int kEdgeGuard = 1;
    // A fill may exceed the largest unclicked sample within kModelContext of
    // the click by this factor.
    static constexpr double kFillHeadroom = 1.5;
    // A context model whose normalised error power is above this does not
    // predict the signal well enough to refine a click with.
    static constexpr double kModelAcceptance = 0.01;
    // A refined fill may differ from the first fill by this factor (in
    // energy) of the unrepaired samples' difference from it.
    static constexpr double kRefinementStray = 4.0;
    // A repair must remove at least this share of the prediction-error
    // energy around a click (as a factor) for the click to count as one.
    static constexpr double kMinErrorReduction = 4.0;
    // A wide click refined under a model of high order must remove twice
    // that share: such a model and a fill of that many samples explain
    // stretches of dense, loud music four times better than the music
    // itself. Where the high order does not predict the context (noise),
    // the click is judged at the usual order and share.
    static constexpr double kMinWideErrorReduction = 8.0;
    // A region longer than kLongRegionSeconds where the level changes, the
    // mean energy of one side (kSideSeconds before it or after it) this many
    // times the other's, must stand out from the louder side by kStandOut in
    // energy to count as a click.
    static constexpr double kLongRegionSeconds = 0.001;
    static constexpr double kLevelChange = 1.5;
    static constexpr double kStandOut = 4.0;
    static constexpr double kSideSeconds = 0.003;
    // A click of any length, taken from another channel, is left as music
    // at a change of level of this factor: the entry of a loud note.
    static constexpr double kOnsetLevelChange = 10.0;

    DeClick(double sampleRate, int channels);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    void processFrame(int channelMask) override;
    int reset() override;

    double thresh() const { return thresh_; }
    // Clicks found in the last channel processed, for inspection.
    const ClickDetector& detector() const { return detector_; }
    // Clicks found since construction, over all channels.
    long long detectedClicks() const { return detectedClicks_; }

private:
    void detectChannel(int channel, const double* x);
    void gatherClicks(int channel, int channelMask);
    void repairChannel(double* x, double* y);
    void keepHistory(int channel, const double* x);
    void applyCarriedRepairs(int channel, double* x);
    void carryRepairs(int channel, const double* x);
    void markClicks(int clicks);
    void repairClick(double* x, int& start, int& end, double limit, bool refine, bool periodic, bool borrowed);
    void guardEdges(int& start, int& end, int order);
    bool mayGrowBack(int start, int order) const;
    void widenToDisturbance(const double* x, int& start, int& end, int from, int to, int order);
    double forwardError(const double* x, int n, int order) const;
    double backwardError(const double* x, int n, int order) const;
    int refinementOrder(int start, int end) const;
    double contextPeak(int start, int end) const;
    bool isMusic(int start, int end, bool anyLength) const;
    bool plausibleRefinement(const double* x, int start, int length) const;
    double predictionErrorEnergy(const double* x, int start, int end, int order);
    static bool withinLimit(const double* values, int count, double limit);

    double thresh_ = 8.0;
    ClickDetector detector_;
    BurgWork burgWork_;
    std::vector<double> coefficients_;
    // The model of the whole frame, kept while coefficients_ holds those of
    // the clicks' contexts.
    std::vector<double> frameModel_;
    ArInterpolator interpolator_;
    // Per click of the current channel: whether its first fill was periodic,
    // and the samples its repair covers (widened from the detector's).
    std::vector<char> periodicFill_;
    // Per click of the current channel: whether its span came from another
    // channel's click inside a long region of this one; such a click is
    // judged by the change of level around it whatever its length.
    std::vector<char> borrowed_;
    std::vector<int> spanStarts_;
    std::vector<int> spanEnds_;
    // 1 for the samples of the current channel's clicks; clicked_ points at
    // the frame's first sample, after the history's.
    std::vector<char> clickedStore_;
    char* clicked_;
    // Per channel, the last kHistoryLength output samples before the frame,
    // and how many of them the stream has had since the start or a reset.
    std::vector<double> history_;
    std::vector<int> historyLength_;
    // The current channel's history and frame, end to end; the repair works
    // here, so that a click's context may reach before the frame.
    std::vector<double> extended_;
    int historyAvailable_ = 0;
    std::vector<double> floorScratch_;
    // Prediction errors of a stretch around the click being repaired.
    std::vector<double> errors_;
    // The clean stretches around the click being refined.
    std::vector<SampleRun> contextRuns_;
    // The first fill of the click being refined, kept until the refinement
    // is accepted.
    std::vector<double> firstFill_;
    // The refined samples of that click.
    std::vector<double> refined_;
    // The frame before any fill, for clicks whose fills are all rejected.
    std::vector<double> unrepaired_;
    // Per channel, the repaired samples of the next frame's first overlap
    // samples that this frame hands on, and which of them it set.
    std::vector<double> carriedValues_;
    std::vector<char> carriedMask_;
    long long detectedClicks_ = 0;
    // Per channel, from the detection that precedes every repair of a
    // frame: the frame's model and its clicks.
    std::vector<double> frameModels_;
    std::vector<int> channelClicks_;
    std::vector<int> channelStarts_;
    std::vector<int> channelEnds_;
    // Clicks the current channel repairs, in spanStarts_ and spanEnds_.
    int clickCount_ = 0;
};
