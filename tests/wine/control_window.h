#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "tests/wine/player.h"

// The plug-in's control window as a test drives it: a player window of a
// given version, the library activated on it, and the user's actions on the
// dialog sent as the controls themselves send them.
class ControlWindow {
public:
    explicit ControlWindow(int hostVersion = 0x5092, const char* playerClass = "Winamp v1.x");
    ~ControlWindow();

    PlayerWindow& player() { return *player_; }
    PluginLibrary& library() { return library_; }
    winampDSPModule* module() const { return module_; }
    // The dialog as it is now (it may have been closed and reopened).
    HWND dialog() const { return findControlDialog(); }
    HWND control(int id) const { return GetDlgItem(dialog(), id); }

    // Picks an entry of the module list (1009) or the preset list (1012).
    void selectModule(int index);
    void selectPreset(int index);
    int selection(int listId) const;
    int listCount(int listId) const;

    // Parameter k's slider (control id k), or null.
    HWND parameterSlider(int k) const;
    int parameterSliderCount() const;
    static int position(HWND slider);
    // Drags a slider's knob to position: the notifications of a drag.
    void dragSlider(HWND slider, int position);
    // A mouse click on a button.
    void click(int id);

    // Unloads the library (saving the settings) after Quit.
    void unload();

private:
    std::unique_ptr<PlayerWindow> player_;
    PluginLibrary library_;
    winampDSPModule* module_ = nullptr;
};

// Runs one 16-bit block through the plug-in on the audio thread; returns the
// samples that came back.
std::vector<short> processBlock(winampDSPModule* module, const std::vector<short>& samples, int channels);
