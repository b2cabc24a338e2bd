// A small LV2 host on lilv for what the stock tools leave out:
//   morv_lv2_host check URI [--worker]   every block size, controls at both
//       ends of their ranges and moving between blocks: finite output, the
//       same output whatever the block size, no allocation in run once
//       streaming, the state's preset, the latency port; exit 1 on a fault.
//   morv_lv2_host latency URI   the latency port's value.
//   morv_lv2_host process URI IN OUT BLOCK PRESET|- [SYMBOL=VALUE]...   a
//       file through the plug-in in blocks of BLOCK frames, with the worker,
//       the preset of that label applied through lilv as hosts do.
//   morv_lv2_host bench URI FRAMES SECONDS   the processor time of each run
//       while the controls sweep: mean and worst, against the block's duration.
// Plug-in parameters come from the plug-in's own Turtle through lilv.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

// ---- Allocation probe: counts operator new and malloc on the audio thread.
extern "C" void* __libc_malloc(size_t);
static thread_local bool tCounting = false;
static std::atomic<long> gAllocations{0};
extern "C" void* malloc(size_t size) {
    if (tCounting) ++gAllocations;
    return __libc_malloc(size);
}
void* operator new(size_t size) {
    if (tCounting) ++gAllocations;
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
extern "C" void __libc_free(void*);
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }

namespace {

constexpr double kRate = 44100.0;
constexpr int kMaxBlock = 8192;

// ---- URID map
struct UridMap {
    std::mutex mutex;
    std::map<std::string, LV2_URID> ids;
    static LV2_URID map(LV2_URID_Map_Handle h, const char* uri) {
        auto* self = static_cast<UridMap*>(h);
        std::lock_guard<std::mutex> lock(self->mutex);
        auto it = self->ids.find(uri);
        if (it != self->ids.end()) return it->second;
        const LV2_URID id = static_cast<LV2_URID>(self->ids.size() + 1);
        self->ids[uri] = id;
        return id;
    }
};

// ---- A worker thread: requests from run, answers delivered before the next run.
struct Worker {
    const LV2_Worker_Interface* iface = nullptr;
    LV2_Handle instance = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    int requests = 0, responses = 0;
    bool stop = false;
    std::thread thread;

    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, uint32_t, const void*) {
        auto* self = static_cast<Worker*>(h);
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->requests;
        self->wake.notify_one();
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle h, uint32_t, const void*) {
        auto* self = static_cast<Worker*>(h);
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->responses;
        return LV2_WORKER_SUCCESS;
    }
    void start() {
        thread = std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex);
            for (;;) {
                wake.wait(lock, [this] { return stop || requests > 0; });
                if (stop) return;
                --requests;
                lock.unlock();
                const uint32_t body = 0;
                iface->work(instance, respond, this, sizeof body, &body);
                lock.lock();
            }
        });
    }
    void deliver() {
        int ready;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ready = responses;
            responses = 0;
        }
        const uint32_t body = 1;
        for (int i = 0; i < ready; ++i) iface->work_response(instance, sizeof body, &body);
    }
    // Waits until every request has been answered and delivered.
    void settle() {
        for (int i = 0; i < 2000; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (requests == 0 && responses == 0) break;
            }
            deliver();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        deliver();
    }
    ~Worker() { join(); }
    // Lets the request in hand finish and ends the thread: before the
    // instance goes.
    void join() {
        if (thread.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                stop = true;
            }
            wake.notify_one();
            thread.join();
        }
    }
};


struct ControlPort {
    uint32_t index;
    std::string symbol;
    float min, max, def;
};

struct Host {
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    UridMap uridMap;
    LV2_URID_Map map{&uridMap, UridMap::map};
    Worker worker;
    LV2_Worker_Schedule schedule{&worker, Worker::schedule};
    std::vector<ControlPort> controls;
    std::vector<uint32_t> audioIn, audioOut;
    int latencyIndex = -1;
    std::vector<std::string> unitless;  // parameter ports without a unit (for the report)
};

void freeInstance(Host& host, LilvInstance* instance) {
    host.worker.join();
    lilv_instance_free(instance);
    lilv_world_free(host.world);
}

bool loadPlugin(Host& host, const char* uri) {
    host.world = lilv_world_new();
    lilv_world_load_all(host.world);
    LilvNode* node = lilv_new_uri(host.world, uri);
    host.plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(host.world), node);
    lilv_node_free(node);
    if (!host.plugin) {
        std::fprintf(stderr, "plug-in %s not found\n", uri);
        return false;
    }
    LilvNode* input = lilv_new_uri(host.world, LV2_CORE__InputPort);
    LilvNode* audio = lilv_new_uri(host.world, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(host.world, LV2_CORE__ControlPort);
    const uint32_t n = lilv_plugin_get_num_ports(host.plugin);
    std::vector<float> mins(n), maxs(n), defs(n);
    lilv_plugin_get_port_ranges_float(host.plugin, mins.data(), maxs.data(), defs.data());
    for (uint32_t i = 0; i < n; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(host.plugin, i);
        const bool in = lilv_port_is_a(host.plugin, port, input);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(host.plugin, port));
        if (lilv_port_is_a(host.plugin, port, audio)) {
            (in ? host.audioIn : host.audioOut).push_back(i);
        } else if (lilv_port_is_a(host.plugin, port, control)) {
            if (in) {
                host.controls.push_back({i, symbol, mins[i], maxs[i], defs[i]});
            } else if (symbol == "latency") {
                host.latencyIndex = static_cast<int>(i);
            }
        }
    }
    lilv_node_free(input);
    lilv_node_free(audio);
    lilv_node_free(control);
    return true;
}

// A stereo test signal at about -12 dBFS: two tones and noise, different per channel.
float signalAt(long frame, int channel) {
    uint32_t noise = static_cast<uint32_t>(frame * 2 + channel) * 2654435761u;
    noise ^= noise >> 15;
    noise *= 2246822519u;
    const double t = frame / kRate;
    const double white = (static_cast<int>(noise >> 9) / 8388608.0 - 0.5) * 0.1;
    return static_cast<float>(0.15 * std::sin(2 * M_PI * (220.0 + 110.0 * channel) * t) +
                              0.1 * std::sin(2 * M_PI * 3150.0 * t) + white);
}

struct Instance {
    LilvInstance* instance = nullptr;
    std::vector<float> controlValues;  // by port index
    float latency = -1.0f;
    std::vector<std::vector<float>> in, out;
};

bool instantiate(Host& host, Instance& inst, bool withWorker) {
    std::vector<const LV2_Feature*> features;
    LV2_Feature mapFeature{LV2_URID__map, &host.map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &host.schedule};
    features.push_back(&mapFeature);
    if (withWorker) features.push_back(&scheduleFeature);
    features.push_back(nullptr);
    inst.instance = lilv_plugin_instantiate(host.plugin, kRate, features.data());
    if (!inst.instance) return false;
    const uint32_t n = lilv_plugin_get_num_ports(host.plugin);
    inst.controlValues.assign(n, 0.0f);
    for (const ControlPort& c : host.controls) {
        inst.controlValues[c.index] = c.def;
        lilv_instance_connect_port(inst.instance, c.index, &inst.controlValues[c.index]);
    }
    if (host.latencyIndex >= 0) lilv_instance_connect_port(inst.instance, host.latencyIndex, &inst.latency);
    inst.in.assign(host.audioIn.size(), std::vector<float>(kMaxBlock));
    inst.out.assign(host.audioOut.size(), std::vector<float>(kMaxBlock));
    for (size_t c = 0; c < host.audioIn.size(); ++c)
        lilv_instance_connect_port(inst.instance, host.audioIn[c], inst.in[c].data());
    for (size_t c = 0; c < host.audioOut.size(); ++c)
        lilv_instance_connect_port(inst.instance, host.audioOut[c], inst.out[c].data());
    if (withWorker) {
        host.worker.instance = lilv_instance_get_handle(inst.instance);
        host.worker.iface = static_cast<const LV2_Worker_Interface*>(
            lilv_instance_get_extension_data(inst.instance, LV2_WORKER__interface));
        if (!host.worker.iface) return false;
        host.worker.start();
    }
    return true;
}

// How the controls move while a stream runs.
enum class Sweep { kDefaults, kMinimum, kMaximum, kMoving };

void setControls(const Host& host, Instance& inst, Sweep sweep, long block) {
    for (const ControlPort& c : host.controls) {
        float v = c.def;
        if (sweep == Sweep::kMinimum) v = c.min;
        if (sweep == Sweep::kMaximum) v = c.max;
        if (sweep == Sweep::kMoving) {
            // A new value every few blocks, walking the range to and fro.
            const long step = block / 3;
            const double phase = std::fabs(std::fmod(step * 0.37 + c.index * 0.11, 2.0) - 1.0);
            v = static_cast<float>(c.min + (c.max - c.min) * phase);
        }
        if (c.symbol == "channels") v = c.max;  // all channels processed
        if (c.symbol == "snap_noise") v = sweep == Sweep::kMoving && block % 50 == 25 ? 1.0f : 0.0f;
        inst.controlValues[c.index] = v;
    }
}

double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

struct RunResult {
    std::vector<float> output;  // interleaved
    bool finite = true;
    long allocations = 0;
    double worstSeconds = 0.0, totalSeconds = 0.0;
    long runs = 0;
};

// Streams `frames` frames in blocks of `block` (block 0: the sizes 1, 7, 64,
// 1000 and 8192 in turn); allocations are counted from the second second on.
RunResult stream(Host& host, Instance& inst, bool withWorker, int block, long frames, Sweep sweep) {
    RunResult r;
    const size_t channels = inst.out.size();
    static const int kCycle[] = {1, 7, 64, 1000, 8192};
    long done = 0, blocks = 0;
    while (done < frames) {
        int n = block > 0 ? block : kCycle[blocks % 5];
        if (n > frames - done) n = static_cast<int>(frames - done);
        for (size_t c = 0; c < inst.in.size(); ++c)
            for (int i = 0; i < n; ++i) inst.in[c][i] = signalAt(done + i, static_cast<int>(c));
        setControls(host, inst, sweep, blocks);
        if (withWorker) host.worker.deliver();
        tCounting = done >= static_cast<long>(kRate);
        const long before = gAllocations;
        // The thread's own processor time: what the run costs, without the
        // time the machine's other work preempts it for.
        const double start = threadSeconds();
        lilv_instance_run(inst.instance, static_cast<uint32_t>(n));
        const double seconds = threadSeconds() - start;
        tCounting = false;
        r.allocations += gAllocations - before;
        r.worstSeconds = std::max(r.worstSeconds, seconds);
        r.totalSeconds += seconds;
        ++r.runs;
        for (int i = 0; i < n; ++i)
            for (size_t c = 0; c < channels; ++c) {
                const float v = inst.out[c][i];
                if (!std::isfinite(v)) r.finite = false;
                r.output.push_back(v);
            }
        done += n;
        ++blocks;
    }
    return r;
}

// The state interface directly: the preset name a save stores.
struct StateCapture {
    std::string preset;
    size_t settingsBytes = 0;
    LV2_URID presetKey, settingsKey;
};

LV2_State_Status storeValue(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t, uint32_t) {
    auto* capture = static_cast<StateCapture*>(h);
    if (key == capture->presetKey) capture->preset.assign(static_cast<const char*>(value));
    if (key == capture->settingsKey) capture->settingsBytes = size;
    return LV2_STATE_SUCCESS;
}

// Applies the preset labelled `name` through lilv, as a host's preset menu does.
bool applyPreset(Host& host, Instance& inst, const char* name) {
    LilvNode* presetClass = lilv_new_uri(host.world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(host.world, LILV_NS_RDFS "label");
    LilvNodes* presets = lilv_plugin_get_related(host.plugin, presetClass);
    bool found = false;
    std::pair<Host*, Instance*> target(&host, &inst);
    LILV_FOREACH (nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(host.world, preset);
        LilvNodes* labels = lilv_world_find_nodes(host.world, preset, label, nullptr);
        if (labels && std::strcmp(lilv_node_as_string(lilv_nodes_get_first(labels)), name) == 0) {
            LilvState* state = lilv_state_new_from_world(host.world, &host.map, preset);
            lilv_state_restore(
                state, inst.instance,
                [](const char* symbol, void* data, const void* value, uint32_t, uint32_t) {
                    auto* pair = static_cast<std::pair<Host*, Instance*>*>(data);
                    for (const ControlPort& c : pair->first->controls)
                        if (c.symbol == symbol) pair->second->controlValues[c.index] = *static_cast<const float*>(value);
                },
                &target, 0, nullptr);
            lilv_state_free(state);
            found = true;
        }
        lilv_nodes_free(labels);
    }
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    return found;
}

// Applies the plug-in's first preset through lilv, saves the state and
// expects the preset's name back; modules without presets store "" .
bool checkState(Host& host, Instance& inst) {
    std::string expected;
    LilvNode* presetClass = lilv_new_uri(host.world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(host.world, LILV_NS_RDFS "label");
    LilvNodes* presets = lilv_plugin_get_related(host.plugin, presetClass);
    if (lilv_nodes_size(presets) > 0) {
        const LilvNode* preset = lilv_nodes_get_first(presets);
        lilv_world_load_resource(host.world, preset);
        LilvNodes* labels = lilv_world_find_nodes(host.world, preset, label, nullptr);
        expected = lilv_node_as_string(lilv_nodes_get_first(labels));
        lilv_nodes_free(labels);
        applyPreset(host, inst, expected.c_str());
    }
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    lilv_instance_run(inst.instance, 64);
    const auto* iface =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(inst.instance, LV2_STATE__interface));
    StateCapture capture;
    capture.presetKey = host.map.map(host.map.handle, "https://morv.studio/lv2/state#preset");
    capture.settingsKey = host.map.map(host.map.handle, "https://morv.studio/lv2/state#settings");
    if (!iface || iface->save(lilv_instance_get_handle(inst.instance), storeValue, &capture, 0, nullptr) != 0) {
        std::printf("  state: save failed\n");
        return false;
    }
    const bool ok = capture.settingsBytes == 160 && capture.preset == expected;
    std::printf("  state: settings %zu bytes, preset \"%s\" (applied \"%s\")%s\n", capture.settingsBytes,
                capture.preset.c_str(), expected.c_str(), ok ? "" : "  FAULT");
    return ok;
}

int check(const char* uri) {
    bool ok = true;
    const bool deterministic = std::strstr(uri, "modalreverb") == nullptr;  // its tail is seeded from the clock
    std::vector<float> reference;
    float reportedLatency = -1.0f;
    for (int withWorker = 0; withWorker < 2; ++withWorker) {
        for (int block : {64, 1, 7, 1000, 8192, 0}) {
            Host host;
            Instance inst;
            if (!loadPlugin(host, uri) || !instantiate(host, inst, withWorker)) return 2;
            lilv_instance_activate(inst.instance);
            const long frames = block == 1 ? static_cast<long>(1.5 * kRate) : static_cast<long>(3 * kRate);
            const RunResult r = stream(host, inst, withWorker, block, frames, Sweep::kDefaults);
            const bool same = reference.empty() || !deterministic ||
                              std::memcmp(reference.data(), r.output.data(),
                                          sizeof(float) * std::min(reference.size(), r.output.size())) == 0;
            if (reference.empty()) reference = r.output;
            if (reportedLatency < 0) reportedLatency = inst.latency;
            const bool fine = r.finite && r.allocations == 0 && same && inst.latency == reportedLatency;
            std::printf("  %s block %-5d latency %.0f  allocations %ld  %s%s\n", withWorker ? "worker" : "inline",
                        block, inst.latency, r.allocations, same ? "same output" : "OUTPUT DIFFERS",
                        fine ? "" : "  FAULT");
            ok = ok && fine;
            lilv_instance_deactivate(inst.instance);
            freeInstance(host, inst.instance);
        }
    }
    // Controls at both ends and moving between blocks, inline and with the
    // worker, blocks of every size in turn; then the state after a preset.
    for (int withWorker = 0; withWorker < 2; ++withWorker) {
        for (Sweep sweep : {Sweep::kMinimum, Sweep::kMaximum, Sweep::kMoving}) {
            Host host;
            Instance inst;
            if (!loadPlugin(host, uri) || !instantiate(host, inst, withWorker)) return 2;
            lilv_instance_activate(inst.instance);
            const RunResult r = stream(host, inst, withWorker, 0, static_cast<long>(4 * kRate), sweep);
            if (withWorker) host.worker.settle();
            const char* names[] = {"defaults", "minimum", "maximum", "moving"};
            std::printf("  %s controls %-8s finite %s%s\n", withWorker ? "worker" : "inline",
                        names[static_cast<int>(sweep)], r.finite ? "yes" : "NO", r.finite ? "" : "  FAULT");
            ok = ok && r.finite;
            if (withWorker && sweep == Sweep::kMoving) ok = checkState(host, inst) && ok;
            freeInstance(host, inst.instance);
        }
    }
    std::printf("%s %s\n", ok ? "ok" : "FAULT", uri);
    return ok ? 0 : 1;
}

int bench(const char* uri, int block, double seconds) {
    Host host;
    Instance inst;
    if (!loadPlugin(host, uri) || !instantiate(host, inst, true)) return 2;
    lilv_instance_activate(inst.instance);
    const RunResult r = stream(host, inst, true, block, static_cast<long>(seconds * kRate), Sweep::kMoving);
    const double blockSeconds = block / kRate;
    std::printf("%-45s block %5d  mean %8.1f us (%5.1f%% of real time)  worst %8.1f us (%5.1f%% of the block)\n", uri,
                block, 1e6 * r.totalSeconds / r.runs, 100.0 * r.totalSeconds / r.runs / blockSeconds,
                1e6 * r.worstSeconds, 100.0 * r.worstSeconds / blockSeconds);
    host.worker.settle();
    freeInstance(host, inst.instance);
    return 0;
}

int processFile(int argc, char** argv) {
    const char* uri = argv[2];
    const int block = std::atoi(argv[5]);
    Host host;
    Instance inst;
    if (block < 1 || block > kMaxBlock || !loadPlugin(host, uri) || !instantiate(host, inst, true)) return 2;
    if (std::strcmp(argv[6], "-") != 0 && !applyPreset(host, inst, argv[6])) {
        std::fprintf(stderr, "no preset %s\n", argv[6]);
        return 2;
    }
    for (int a = 7; a < argc; ++a) {
        const char* eq = std::strchr(argv[a], '=');
        if (!eq) return 2;
        const std::string symbol(argv[a], static_cast<size_t>(eq - argv[a]));
        for (const ControlPort& c : host.controls)
            if (c.symbol == symbol) inst.controlValues[c.index] = std::strtof(eq + 1, nullptr);
    }
    SF_INFO format{};
    SNDFILE* in = sf_open(argv[3], SFM_READ, &format);
    if (!in || format.channels != static_cast<int>(inst.in.size())) return 2;
    SNDFILE* out = sf_open(argv[4], SFM_WRITE, &format);
    if (!out) return 2;
    lilv_instance_activate(inst.instance);
    std::vector<float> frames(static_cast<size_t>(block) * format.channels);
    sf_count_t got;
    while ((got = sf_readf_float(in, frames.data(), block)) > 0) {
        for (int c = 0; c < format.channels; ++c)
            for (sf_count_t i = 0; i < got; ++i) inst.in[c][i] = frames[i * format.channels + c];
        host.worker.deliver();
        lilv_instance_run(inst.instance, static_cast<uint32_t>(got));
        for (int c = 0; c < format.channels; ++c)
            for (sf_count_t i = 0; i < got; ++i) frames[i * format.channels + c] = inst.out[c][i];
        sf_writef_float(out, frames.data(), got);
    }
    sf_close(in);
    sf_close(out);
    host.worker.settle();
    freeInstance(host, inst.instance);
    return 0;
}

// The latency the plug-in reports once it runs.
int latency(const char* uri) {
    Host host;
    Instance inst;
    if (!loadPlugin(host, uri) || !instantiate(host, inst, false)) return 2;
    lilv_instance_activate(inst.instance);
    lilv_instance_run(inst.instance, 1);
    std::printf("%.0f\n", inst.latency);
    freeInstance(host, inst.instance);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "latency") == 0) return latency(argv[2]);
    if (argc >= 7 && std::strcmp(argv[1], "process") == 0) return processFile(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "bench") == 0) return bench(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    std::fprintf(stderr, "usage: morv_lv2_host check URI | bench URI FRAMES SECONDS\n");
    return 2;
}
