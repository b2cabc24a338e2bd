#include <windows.h>

#include "ui/window_display.h"

#include "host/display.h"
#include "host/dsp_exports_win32.h"
#include "resources/resource_ids.h"
#include "ui/channel_buttons.h"
#include "ui/window_state.h"

namespace {

// The pipeline's window side: the meters and channel buttons of the control
// dialog, and the error box on the player's window. Called on the audio thread.
class WindowDisplay : public Display {
public:
    // Called for every block: nothing is looked up or created here, and a
    // meter whose level did not change is not touched.
    void paintMeters(int leftLevel, int leftLast, int rightLevel, int rightLast) override {
        LevelMeters[0].paint(leftLevel, leftLast, Drawing.background);
        LevelMeters[1].paint(rightLevel, rightLast, Drawing.background);
    }

    void layoutChannelButtons(int channels) override {
        HWND dialog = ControlDialog;
        if (!dialog || !IsWindow(dialog)) return;
        PostMessageA(dialog, kLayoutChannelButtonsMessage, channels == 1, 0);
    }

    void showError(const char* text) override {
        HWND owner = static_cast<HWND>(PluginModule.hwndParent);
        MessageBoxA(owner && IsWindow(owner) ? owner : nullptr, text, "Error", MB_OK);
    }
};

WindowDisplay windowDisplay;

}  // namespace

void installWindowDisplay() { setDisplay(&windowDisplay); }
void removeWindowDisplay() { setDisplay(nullptr); }
