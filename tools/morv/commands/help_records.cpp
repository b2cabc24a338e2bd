#include "tools/morv/commands/help_text.h"

// The help of every command, as data: options with argument, default and
// meaning, and examples. help_text.cpp and man_page.cpp lay it out.

const char kMorvVersion[] = "morv (MORV Studio) 1.0";

namespace {

const char kHelpOption[] = "-h, --help";
const char kHelpMeaning[] = "prints this help and does nothing else";

// The --module, --preset and --set options that process and response share.
OptionHelp moduleOption(const char* byDefault) {
    return {"-m, --module", "INDEX|NAME", byDefault,
            "the module: its index, its name, or any unambiguous part of it (morv list)"};
}
const OptionHelp kPresetOption = {"-p, --preset", "NAME|INDEX", "none: the sliders' defaults and 0 dB",
                                  "one of the module's presets, by name or by position in its list"};
const OptionHelp kSetOption = {"-s, --set", "NAME=VALUE", "none",
                               "moves one slider after the preset, repeatable; VALUE as stored or with a unit "
                               "(0.5x, 1000us): see morv help values"};

std::vector<CommandHelp> buildCommandHelps() {
    return {
        {"list",
         "morv list [--json]",
         "the modules, their parameters and presets",
         {"Lists every module the player offers: its index, marker and name, what it does, each parameter "
          "with its range and default as the module stores them (the numbers --set takes bare) and what the "
          "value means, with the quantity the window's knob shows where that differs (a factor, a depth in "
          "microseconds), and the presets with their gain and values."},
         {{"--json", "", "a text listing",
           "prints one JSON array instead: per module its parameters (with unit, meaning and shown form) and presets"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv list", "every module, as text"},
          {"morv list --json | jq '.[13].parameters'", "the resampler's parameter as JSON, its shown form included"}}},

        {"process",
         "morv process IN OUT [OPTION]...",
         "runs an audio file through one module",
         {"Runs the audio file IN through one module as the player plays it, block by block through the "
          "plug-in's own sample pipeline, and writes OUT. IN is anything libsndfile reads (WAV, FLAC, AIFF, "
          "OGG, MP3, CAF, W64...); OUT is WAV or FLAC. \"-\" for IN or OUT is standard input or output; the "
          "summary then goes to standard error.",
          "--preset, then each --set, then --gain act as the window's preset list and sliders do, so a --set "
          "or --gain after a preset shows the preset list at \"Custom\". The output is as long as the input "
          "and aligned with it, except after a rate or tempo change (the factor times the input's length) "
          "and for a module with a tail (see --tail). It appears only when complete.",
          "Warnings (a damaged input, clipped samples) are one line each on standard error, naming the input. "
          "Exit status: 0 "
          "done, 1 a file could not be read or written, 2 a wrong command line."},
         {{"IN", "", "required", "the input file, or - for standard input"},
          {"OUT", "", "required", "the output file, .wav or .flac, or - for standard output"},
          moduleOption("0, Level Tuning"),
          kPresetOption,
          kSetOption,
          {"-g, --gain", "DB", "0, or the preset's gain", "the master gain in dB, -60 to 60, on the chosen channels"},
          {"--input-gain", "DB", "0", "scales the input as it is read, before the pipeline, -100 to 100: room for "
           "float input above full scale, which is otherwise clipped (with a warning)"},
          {"--channels", "LR|L|R|PASS", "LR", "the channels the effect and the gain apply to; PASS bypasses the effect"},
          {"--block", "FRAMES", "576", "frames handed to the pipeline per call, as the player's buffer, 1 to 1048576"},
          {"--bits", "16|24|32", "the input's width (16 for 8-bit and compressed input, 32 for float)",
           "the processing and output width"},
          {"--type", "wav|flac", "OUT's extension, else the input's kind", "the output's container"},
          {"--snap-noise", "SECONDS", "none: DeNoise learns from the start only",
           "DeNoise: learns the noise again from this point of the input, as the window's Snap Noise; repeatable"},
          {"--tail", "SECONDS", "until the tail is silent, at most the room's T60 \xC3\x97 1.5",
           "for a module with a tail (the reverb): how long to go on after the input ends; 0 keeps the input's "
           "length"},
          {"--seed", "N", "a fixed seed: every run gives the same file", "the reverb's random seed"},
          {"--json", "", "a text summary", "prints the summary as one JSON object"},
          {"-q, --quiet", "", "summary and progress bar shown",
           "prints neither the summary nor the progress bar; warnings still print"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv process song.flac bass.wav -m GEQ-10 -p \"Bass Lift\"",
           "the 10-band equaliser with its preset \"Bass Lift\""},
          {"morv process voice.wav slow.wav -m Resampler --set Ratio=2x",
           "varispeed to twice the length: half the speed, an octave lower (Ratio 1)"},
          {"flac -dc song.flac | morv process - - -m GEQ-31 --set \"<25=6\" | aplay",
           "in a pipe: 6 dB more below 25 Hz"}}},

        {"response",
         "morv response [OPTION]...",
         "the magnitude response of an equaliser setting",
         {"Prints the magnitude response of a graphic equaliser setting (modules 4 to 8) band by band, "
          "with its range from 20 Hz to half the rate, and draws it on request. The master gain is reported "
          "apart, not included in the curve."},
         {moduleOption("5, GEQ-10 Bands 1 Oct"),
          kPresetOption,
          kSetOption,
          {"--rate", "HZ", "44100", "the sample rate the sections are designed for, 1000 to 768000"},
          {"--svg", "FILE", "none", "also draws the curve as an SVG plot into FILE"},
          {"--csv", "FILE", "none", "also writes the curve as a CSV table into FILE"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv response -m GEQ-31 -p HomeTheater --svg hometheater.svg",
           "the 31-band preset \"HomeTheater\", drawn"},
          {"morv response --set 1k=6 --rate 48000 --csv curve.csv", "6 dB at 1 kHz on the 10-band equaliser, at 48 kHz"}}},

        {"demo",
         "morv demo [DIR]",
         "renders a test signal through every module",
         {"Writes a six-second stereo test signal (bare noise for a moment, a chord, a chirp, then a tone under "
          "the noise with clicks) to DIR/demo-input.wav and renders it through every module, each with a "
          "setting that shows what the module does (a named preset where it has any). The table it prints "
          "names each setting."},
         {{"DIR", "", "demo-output", "the folder to write into; made when missing"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv demo", "renders into ./demo-output"},
          {"morv demo /tmp/d && aplay /tmp/d/11-spacial-modalreverb.wav", "renders, then plays the reverb's file"}}},

        {"manual",
         "morv manual --html",
         "the plug-in's manual page",
         {"Writes the plug-in's manual as one HTML page to standard output: the page its control window "
          "opens for Help and F1 (MORVStudio/help.html beside the DLL), every module's sliders and presets "
          "read from the same tables as the window and morv list."},
         {{"--html", "", "required", "writes the page in HTML, the one form it has"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv manual --html > help.html", "the page, as make windows puts it beside the DLL"},
          {"morv manual --html | w3m -T text/html", "the page, read in a terminal"}}},

        {"help",
         "morv help [COMMAND|values] [--man]",
         "this help, a command's help, or the manual page",
         {"Prints what morv does and its commands; with a command, that command's options with their "
          "defaults and examples (as morv COMMAND --help does); with \"values\", how --set takes parameter "
          "values. morv --version prints the version."},
         {{"COMMAND", "", "the overview", "list, process, response, demo, manual, help, or values"},
          {"--man", "", "off", "prints all of the help as a manual page in roff, the page make install installs"},
          {kHelpOption, "", "off", kHelpMeaning}},
         {{"morv help process", "the options of process, with their defaults"},
          {"morv help --man | man -l -", "the manual page, before it is installed"}}},
    };
}

}  // namespace

const std::vector<CommandHelp>& commandHelps() {
    static const std::vector<CommandHelp> helps = buildCommandHelps();
    return helps;
}

const CommandHelp* findCommandHelp(const std::string& name) {
    for (const CommandHelp& help : commandHelps()) {
        if (name == help.name) return &help;
    }
    return nullptr;
}
