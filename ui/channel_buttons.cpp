#include "ui/channel_buttons.h"

#include "resources/resource_ids.h"

namespace {

const int kButtonLeft = 25;
const int kButtonRaise = 23;  // distance of the top edge from the client bottom
const int kButtonHeight = 18;
const int kChannelButtonWidth = 30;
const int kPassButtonWidth = 60;

void placeAndShow(HWND button, int x, int y, int width) {
    SetWindowPos(button, nullptr, x, y, width, kButtonHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace

void showChannelButtons(HWND dialog, bool passOnly, HFONT labelFont) {
    RECT client;
    if (!GetClientRect(dialog, &client)) return;
    const int y = client.bottom - kButtonRaise;
    HWND left = GetDlgItem(dialog, IDC_LEFT_CHANNEL);
    HWND right = GetDlgItem(dialog, IDC_RIGHT_CHANNEL);
    HWND pass = GetDlgItem(dialog, IDC_PASS);
    if (passOnly) {
        ShowWindow(left, SW_HIDE);
        ShowWindow(right, SW_HIDE);
        placeAndShow(pass, kButtonLeft, y, kPassButtonWidth);
        SendMessageA(pass, BM_SETCHECK, BST_UNCHECKED, 0);
        return;
    }
    ShowWindow(pass, SW_HIDE);
    placeAndShow(left, kButtonLeft, y, kChannelButtonWidth);
    placeAndShow(right, kButtonLeft + kChannelButtonWidth, y, kChannelButtonWidth);
    SendMessageA(left, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont), TRUE);
    SendMessageA(right, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont), TRUE);
    SendMessageA(left, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(right, BM_SETCHECK, BST_CHECKED, 0);
}
