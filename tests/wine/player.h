#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/wine/player_records.h"

// The player's side of the plug-in contract, as a test drives it: a main
// window that answers the version query and records what it receives, the
// library with its records, and an audio thread that runs ModifySamples
// while the window thread keeps pumping messages.

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class PlayerWindow {
public:
    // A top-level window of the given class answering WM_USER (wParam 0) with
    // version. With messageOnly the window is a message-only window.
    PlayerWindow(const char* className, int version, bool messageOnly = false);
    ~PlayerWindow();

    HWND handle() const { return window_; }
    // The window procedure the window was created with.
    WNDPROC ownProcedure() const;
    WNDPROC currentProcedure() const;
    int countMessages(UINT message) const;
    int countMessages(UINT message, WPARAM wParam) const;
    int countMessages(UINT message, WPARAM wParam, LPARAM lParam) const;
    // Position of the first such message among those received, or -1.
    int firstMessage(UINT message, WPARAM wParam) const;
    void clearMessages() { messages_.clear(); }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::string className_;
    int version_;
    HWND window_ = nullptr;
    std::vector<RecordedMessage> messages_;
};

class PluginLibrary {
public:
    PluginLibrary();  // loads dsp_MORV.dll from the test program's folder
    ~PluginLibrary();

    bool loaded() const { return library_ != nullptr; }
    HMODULE handle() const { return library_; }
    winampDSPHeader* header() const;
    // The module record the player uses: header()->getModule(0), with
    // hwndParent and hDllInstance filled in as the player does.
    winampDSPModule* module(HWND parent);
    void unload();

private:
    HMODULE library_ = nullptr;
};

// Runs work on a thread of its own (the player's audio thread) and pumps this
// thread's messages until it ends; whilePumping runs between pumps. Returns
// false when the work did not end within timeoutMs.
bool runOnAudioThread(const std::function<void()>& work, const std::function<void()>& whilePumping = {},
                      DWORD timeoutMs = 20000);
// Pumps this thread's messages for about the given time.
void pumpMessages(DWORD milliseconds);

// The control dialog of the plug-in, if one exists.
HWND findControlDialog();

// Settings value of the plug-in in the registry.
void clearStoredSettings();
void storeSettings(const void* bytes, DWORD size, DWORD type = REG_BINARY);
void storeSettingsWords(const std::vector<int>& words);
// The stored value; type receives its type, empty when there is none.
std::vector<unsigned char> readStoredSettings(DWORD* type = nullptr);
int storedWord(const std::vector<unsigned char>& value, int index);

// Calls ModifySamples on the audio thread and returns its result.
int processOnAudioThread(winampDSPModule* module, void* samples, int frames, int bps, int channels,
                         int rate);
