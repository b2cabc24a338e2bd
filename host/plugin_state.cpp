#include "host/plugin_state.h"

#include <cstdlib>
#include <cstring>

RelaxedWord<int> SampleRate(44100);
RelaxedWord<int> ChannelCount(2);
int SampleWidth = 16;
int ModuleIndex = 0;
std::unique_ptr<EffectModule> CurrentModule;
RelaxedWord<double> MasterGain(1.0);
std::unique_ptr<double[], WorkBufferRelease> WorkBuffer;

void WorkBufferRelease::operator()(double* p) const { std::free(p); }
int WorkBufferCapacity = 0;
RelaxedWord<int> ChannelMask(3);
RelaxedWord<int> MeterResetFlag(0);
int ParameterCount = 0;
double ParameterValues[kMaxParameters] = {};
ParamDescriptor ParameterDescriptors[kMaxParameters] = {};
int PluginSettings[kSettingsWords] = {kGainPositionUnity};
int PresetIndex = 0;
int RestoreState = kRestoreLoaded;
int HostVersion = 0;
int LastLevelLeft = 0;
int LastLevelRight = 0;
ProcessingLock ModuleLock;

void resetPluginState() {
    SampleRate = 44100;
    ChannelCount = 2;
    SampleWidth = 16;
    ModuleIndex = 0;
    CurrentModule.reset();
    MasterGain = 1.0;
    WorkBuffer.reset();
    WorkBufferCapacity = 0;
    ChannelMask = 3;
    MeterResetFlag = 0;
    ParameterCount = 0;
    std::memset(ParameterValues, 0, sizeof ParameterValues);
    std::memset(ParameterDescriptors, 0, sizeof ParameterDescriptors);
    std::memset(PluginSettings, 0, sizeof PluginSettings);
    PluginSettings[0] = kGainPositionUnity;
    PresetIndex = 0;
    RestoreState = kRestoreLoaded;
    HostVersion = 0;
    LastLevelLeft = 0;
    LastLevelRight = 0;
}
