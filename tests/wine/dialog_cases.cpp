// The control dialog's first part: its template, resources, closing, colours
// and the one-second timer.

#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/player.h"
#include "tests/wine/wine_check.h"

#include <commctrl.h>

namespace {

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct OpenDialog {
    PlayerWindow player{"Winamp v1.x", 0x5666};
    PluginLibrary library;
    winampDSPModule* module = nullptr;
    HWND dialog = nullptr;

    OpenDialog() {
        module = library.module(player.handle());
        if (module) module->Init(module);
        pumpMessages(20);
        dialog = findControlDialog();
    }
    ~OpenDialog() {
        if (module) module->Quit(module);
    }
};

struct ExpectedControl {
    int id;
    const char* windowClass;
    const char* text;
    DWORD styleMask;  // the bits compared
    DWORD style;
    DWORD extendedStyle;
};

const DWORD kCheckBoxStyle = WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT;
const DWORD kButtonMask = WS_VISIBLE | WS_TABSTOP | BS_TYPEMASK | BS_FLAT | BS_CENTER;
const DWORD kStaticMask = WS_VISIBLE | WS_TABSTOP | SS_TYPEMASK | SS_SUNKEN;
const DWORD kComboMask = WS_VISIBLE | WS_TABSTOP | 0x3;  // CBS_DROPDOWNLIST is the low two bits

const ExpectedControl kTemplateControls[] = {
    {501, "msctls_trackbar32", "Slider1", WS_VISIBLE | WS_TABSTOP | 0x1f, WS_VISIBLE | TBS_VERT | TBS_BOTH | TBS_NOTICKS, 0},
    {1004, "Static", "Gain", kStaticMask, WS_TABSTOP | SS_LEFT, 0},
    {1003, "Button", "L", kButtonMask, kCheckBoxStyle, 0},
    {1009, "ComboBox", "", kComboMask, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    {1010, "Button", "", kButtonMask, WS_VISIBLE | BS_GROUPBOX, 0},
    {1005, "Static", "", kStaticMask, SS_SUNKEN, WS_EX_STATICEDGE},
    {1006, "Static", "", kStaticMask, 0, WS_EX_STATICEDGE},
    {502, "Button", "Snap Noise", kButtonMask, WS_TABSTOP | BS_OWNERDRAW | BS_CENTER, 0},
    {1012, "ComboBox", "", kComboMask, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    {1007, "Button", "R", kButtonMask, kCheckBoxStyle, 0},
    {1008, "Button", "PASS", kButtonMask, kCheckBoxStyle, 0},
    {1033, "Button", "OUT", kButtonMask, WS_TABSTOP | BS_OWNERDRAW, 0},
};

INT_PTR CALLBACK plainDialogProcedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Reads a null-terminated UTF-16 string or ordinal from a dialog template.
const WORD* skipTemplateString(const WORD* p, std::wstring* text) {
    if (*p == 0xffff) return p + 2;
    while (*p) {
        if (text) text->push_back(static_cast<wchar_t>(*p));
        ++p;
    }
    return p + 1;
}

}  // namespace

WINE_CASE(dialog_template_header) {
    PluginLibrary library;
    HRSRC found = FindResourceA(library.handle(), MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
    CHECK(found != nullptr);
    if (!found) return;
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(library.handle(), found)));
    // DLGTEMPLATEEX: version 1, signature 0xffff, help id, exStyle, style,
    // item count, x, y, cx, cy, then menu, class, title and the font.
    CHECK_EQ(p[0], 1);
    CHECK_EQ(p[1], 0xffff);
    DWORD extendedStyle, style;
    std::memcpy(&extendedStyle, p + 4, 4);
    std::memcpy(&style, p + 6, 4);
    CHECK_EQ(style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_SYSMODAL);
    CHECK_EQ(extendedStyle, WS_EX_STATICEDGE);
    CHECK_EQ(p[8], 12);
    CHECK_EQ(p[11], 257);
    CHECK_EQ(p[12], 109);
    const WORD* q = skipTemplateString(p + 13, nullptr);  // menu
    q = skipTemplateString(q, nullptr);                    // class
    std::wstring caption, font;
    q = skipTemplateString(q, &caption);
    CHECK(caption == L"MORV Studio");
    CHECK_EQ(q[0], 9);  // point size; weight, italic and charset follow
    skipTemplateString(q + 3, &font);
    CHECK(font == L"Times New Roman");
}

WINE_CASE(dialog_controls_in_template_order) {
    // The template on its own, without the plug-in's layout, which moves,
    // shows and fills the controls. Loading the library brings in the
    // common controls and with them the trackbar class.
    PluginLibrary library;
    HWND dialog = CreateDialogParamA(library.handle(), MAKEINTRESOURCEA(101), nullptr, plainDialogProcedure, 0);
    CHECK(dialog != nullptr);
    if (!dialog) return;
    DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    CHECK_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    CHECK(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_STATICEDGE);

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ExpectedControl& expected : kTemplateControls) {
        CHECK(child != nullptr);
        if (!child) return;
        CHECK_EQ(GetDlgCtrlID(child), expected.id);
        CHECK_TEXT(className(child), expected.windowClass);
        CHECK_TEXT(windowText(child), expected.text);
        DWORD childStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        CHECK(childStyle & WS_CHILD);
        CHECK_EQ(childStyle & expected.styleMask, expected.style);
        if (expected.extendedStyle)
            CHECK(GetWindowLongA(child, GWL_EXSTYLE) & expected.extendedStyle);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    CHECK(child == nullptr);
    DestroyWindow(dialog);
}

WINE_CASE(popup_menu_and_icon_resources) {
    PluginLibrary library;
    HMENU menu = LoadMenuA(library.handle(), MAKEINTRESOURCEA(119));
    CHECK(menu != nullptr);
    if (!menu) return;
    CHECK_EQ(GetMenuItemCount(menu), 1);
    char text[64] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    CHECK_TEXT(std::string(text), "MENU");
    HMENU popup = GetSubMenu(menu, 0);
    CHECK_EQ(GetMenuItemCount(popup), 2);
    CHECK_EQ(GetMenuItemID(popup, 0), 40003);
    CHECK_EQ(GetMenuItemID(popup, 1), 40007);
    GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    CHECK_TEXT(std::string(text), "MORV Studio Home");
    GetMenuStringA(popup, 1, text, sizeof text, MF_BYPOSITION);
    CHECK_TEXT(std::string(text), "Help");
    DestroyMenu(menu);

    for (int size : {16, 32}) {
        HANDLE icon = LoadImageA(library.handle(), MAKEINTRESOURCEA(122), IMAGE_ICON, size, size, 0);
        CHECK(icon != nullptr);
        if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
}

WINE_CASE(close_destroys_dialog_and_escape_does_not) {
    OpenDialog open;
    CHECK(open.dialog != nullptr);
    if (!open.dialog) return;
    SendMessageA(open.dialog, WM_COMMAND, IDCANCEL, 0);
    pumpMessages(20);
    CHECK(IsWindow(open.dialog));
    CHECK_EQ(SendMessageA(open.dialog, WM_CLOSE, 0, 0), 0);
    CHECK(!IsWindow(open.dialog));
    CHECK(findControlDialog() == nullptr);
    // With the dialog and its timer gone nothing may fire into the library.
    pumpMessages(1200);
}

WINE_CASE(control_colours) {
    OpenDialog open;
    CHECK(open.dialog != nullptr);
    if (!open.dialog) return;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    const UINT kControlColourMessages[] = {WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORBTN,
                                           WM_CTLCOLORSTATIC};
    HBRUSH firstBrush = nullptr;
    for (UINT message : kControlColourMessages) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        SetBkMode(dc, OPAQUE);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(open.dialog, message, reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(GetDlgItem(open.dialog, 1005))));
        CHECK(brush != nullptr);
        LOGBRUSH logical = {};
        GetObjectA(brush, sizeof logical, &logical);
        CHECK_EQ(logical.lbStyle, BS_SOLID);
        CHECK_EQ(logical.lbColor, RGB(49, 52, 82));
        CHECK_EQ(GetTextColor(dc), RGB(20, 200, 50));
        CHECK_EQ(GetBkColor(dc), RGB(49, 52, 82));
        CHECK_EQ(GetBkMode(dc), TRANSPARENT);
        if (!firstBrush) firstBrush = brush;
        CHECK(brush == firstBrush);  // one shared brush, not one per message
    }
    SetTextColor(dc, RGB(1, 2, 3));
    HBRUSH dialogBrush = reinterpret_cast<HBRUSH>(
        SendMessageA(open.dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(open.dialog)));
    CHECK(dialogBrush == firstBrush);
    CHECK_EQ(GetTextColor(dc), RGB(1, 2, 3));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

WINE_CASE(timer_restores_caption) {
    OpenDialog open;
    CHECK(open.dialog != nullptr);
    if (!open.dialog) return;
    SetWindowTextA(open.dialog, "something else");
    pumpMessages(1300);
    CHECK_TEXT(windowText(open.dialog), "MORV Studio");
}
