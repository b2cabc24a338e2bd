// RealFft: time of one forward + inverse pair of N real doubles, with the
// widest vectors the processor runs and with the baseline walks alone (what a
// processor without AVX runs), beside FFTW3 (r2c + c2r, double, FFTW_MEASURE plans) and KissFFT, for the
// frame lengths the system uses. At the end a table gives the median time per
// pair of each and the ratios to FFTW. The references run out of place and
// unscaled (the input stays unchanged between iterations); RealFft runs in
// place and its inverse includes the 1/N scaling, so its ratios are if
// anything pessimistic.
//
// KissFFT: Debian ships the C library in single precision only
// (libkissfft-float), so it is measured in float (kiss_fftr + kiss_fftri).
// The double-precision figure uses the header-only C++ kissfft<double>
// (kissfft.hh): transform_real forward, and for the inverse the complex
// half-length transform preceded by the same untangling step as kiss_fftri.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "framework/real_fft.h"

#if defined(MORV_HAVE_FFTW)
#include <fftw3.h>
#endif
#if defined(MORV_HAVE_KISSFFT)
#include <kiss_fftr.h>
#include <kissfft.hh>
#endif

namespace {

const int kLengths[] = {400, 448, 1120, 1344, 2240, 4096, 4410, 8820, 13440};

std::vector<double> noise(int n) {
    std::vector<double> x(n);
    unsigned state = 12345u;
    for (double& v : x) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<double>(state) / 4294967296.0 - 0.5;
    }
    return x;
}

void runRealFft(benchmark::State& state, RealFft::InstructionSet set) {
    const int n = static_cast<int>(state.range(0));
    RealFft fft(n, set);
    std::vector<double> x = noise(n);
    for (auto _ : state) {
        fft.forward(x.data());
        fft.inverse(x.data());
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
}

void BM_RealFft(benchmark::State& state) { runRealFft(state, RealFft::InstructionSet::kWidest); }

void BM_RealFftBaseline(benchmark::State& state) { runRealFft(state, RealFft::InstructionSet::kBaseline); }

#if defined(MORV_HAVE_FFTW)
void BM_Fftw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double* x = fftw_alloc_real(n);
    double* y = fftw_alloc_real(n);
    fftw_complex* spectrum = fftw_alloc_complex(n / 2 + 1);
    fftw_plan forward = fftw_plan_dft_r2c_1d(n, x, spectrum, FFTW_MEASURE);
    fftw_plan inverse = fftw_plan_dft_c2r_1d(n, spectrum, y, FFTW_MEASURE);
    const std::vector<double> input = noise(n);
    std::copy(input.begin(), input.end(), x);
    for (auto _ : state) {
        // c2r is unnormalised and writes y, so x stays the same input and no
        // scaling pass is timed (RealFft's inverse includes its 1/N).
        fftw_execute(forward);
        fftw_execute(inverse);
        benchmark::DoNotOptimize(y);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(spectrum);
    fftw_free(y);
    fftw_free(x);
}
#endif

#if defined(MORV_HAVE_KISSFFT)
void BM_KissFftFloat(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    kiss_fftr_cfg forward = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(n, 1, nullptr, nullptr);
    const std::vector<double> input = noise(n);
    const std::vector<float> x(input.begin(), input.end());
    std::vector<float> y(n);
    std::vector<kiss_fft_cpx> spectrum(n / 2 + 1);
    for (auto _ : state) {
        kiss_fftr(forward, x.data(), spectrum.data());
        kiss_fftri(inverse, spectrum.data(), y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
}

void BM_KissFftDouble(benchmark::State& state) {
    using Complex = std::complex<double>;
    const int n = static_cast<int>(state.range(0));
    const int m = n / 2;
    kissfft<double> forward(m, false);
    kissfft<double> inverse(m, true);
    // Untangling twiddles of the inverse, as in kiss_fftri: i exp(i pi k / m).
    std::vector<Complex> twiddle(m / 2 + 1);
    for (int k = 0; k <= m / 2; ++k) twiddle[k] = std::polar(1.0, 3.14159265358979323846 * (double(k) / m + 0.5));
    const std::vector<double> x = noise(n);
    std::vector<double> y(n);
    std::vector<Complex> spectrum(m + 1), tangled(m);
    for (auto _ : state) {
        forward.transform_real(x.data(), spectrum.data());
        // transform_real packs bin m into the imaginary part of bin 0.
        spectrum[m] = Complex(spectrum[0].imag(), 0.0);
        spectrum[0] = Complex(spectrum[0].real(), 0.0);
        tangled[0] = Complex(spectrum[0].real() + spectrum[m].real(), spectrum[0].real() - spectrum[m].real());
        for (int k = 1; k <= m / 2; ++k) {
            const Complex even = spectrum[k], odd = std::conj(spectrum[m - k]);
            const Complex sum = even + odd, difference = (even - odd) * twiddle[k];
            tangled[k] = sum + difference;
            tangled[m - k] = std::conj(sum - difference);
        }
        inverse.transform(tangled.data(), reinterpret_cast<Complex*>(y.data()));
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
}
#endif

void registerAll() {
    for (int n : kLengths) benchmark::RegisterBenchmark("RealFft", BM_RealFft)->Arg(n);
    for (int n : kLengths) benchmark::RegisterBenchmark("RealFft_baseline", BM_RealFftBaseline)->Arg(n);
#if defined(MORV_HAVE_FFTW)
    for (int n : kLengths) benchmark::RegisterBenchmark("FFTW", BM_Fftw)->Arg(n);
#endif
#if defined(MORV_HAVE_KISSFFT)
    for (int n : kLengths) benchmark::RegisterBenchmark("KissFFT_float", BM_KissFftFloat)->Arg(n);
    for (int n : kLengths) benchmark::RegisterBenchmark("KissFFT_double", BM_KissFftDouble)->Arg(n);
#endif
}

// Console output as usual, and the median (or only) time of every benchmark
// kept for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.function_name;
            const int n = std::atoi(run.run_name.args.c_str());
            const double ns = run.GetAdjustedCPUTime();  // per iteration, in the default unit (ns)
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") median_[name][n] = ns;
            } else {
                single_[name][n].push_back(ns);
            }
        }
    }

    void printTable() const {
        const char* names[] = {"RealFft", "FFTW", "KissFFT_float", "KissFFT_double", "RealFft_baseline"};
        constexpr int kNames = sizeof names / sizeof names[0];
        std::printf("\nCPU ns per forward + inverse pair (median)\n%8s", "N");
        for (const char* name : names) std::printf(" %16s", name);
        std::printf(" %12s %12s %12s %12s\n", "RealFft/FFTW", "KissF/FFTW", "KissD/FFTW", "Base/FFTW");
        for (int n : kLengths) {
            std::printf("%8d", n);
            double value[kNames];
            for (int i = 0; i < kNames; ++i) {
                value[i] = time(names[i], n);
                if (value[i] > 0)
                    std::printf(" %16.0f", value[i]);
                else
                    std::printf(" %16s", "-");
            }
            for (int i : {0, 2, 3, 4}) {
                if (value[i] > 0 && value[1] > 0)
                    std::printf(" %12.2f", value[i] / value[1]);
                else
                    std::printf(" %12s", "-");
            }
            std::printf("\n");
        }
    }

private:
    double time(const std::string& name, int n) const {
        auto m = median_.find(name);
        if (m != median_.end() && m->second.count(n)) return m->second.at(n);
        auto s = single_.find(name);
        if (s == single_.end() || !s->second.count(n)) return 0.0;
        std::vector<double> values = s->second.at(n);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    std::map<std::string, std::map<int, double>> median_;
    std::map<std::string, std::map<int, std::vector<double>>> single_;
};

}  // namespace

int main(int argc, char** argv) {
    // Another output format (csv, json) is printed as asked, without the table.
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_format=", 0) == 0 && arg != "--benchmark_format=console") console = false;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    if (!console) {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
    benchmark::Shutdown();
    return 0;
}
