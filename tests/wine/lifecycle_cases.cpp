// The published records and the lifecycle callbacks, driven as the player
// drives them: load, header, module 0, Init, Config, Quit, unload.

#include <cstring>
#include <string>

#include "tests/wine/player.h"
#include "tests/wine/wine_check.h"

namespace {

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

WINE_CASE(header_and_module_records) {
    PluginLibrary library;
    CHECK(library.loaded());
    if (!library.loaded()) return;
    winampDSPHeader* header = library.header();
    CHECK(header != nullptr);
    if (!header) return;
    CHECK_EQ(header->version, 0x20);
    CHECK_TEXT(std::string(header->description), "MORV Studio 1.0");

    // Players differ in how they call the export: again, and with an argument.
    auto getHeader = reinterpret_cast<winampDSPHeader* (*)(HWND)>(
        reinterpret_cast<void*>(GetProcAddress(library.handle(), "winampDSPGetHeader2")));
    CHECK(getHeader(reinterpret_cast<HWND>(0x1234)) == header);
    CHECK(library.header() == header);

    winampDSPModule* module = header->getModule(0);
    CHECK(module != nullptr);
    if (!module) return;
    CHECK_TEXT(std::string(module->description), "MORV Studio");
    CHECK(module->Config && module->Init && module->ModifySamples && module->Quit);
    CHECK(module->userData != nullptr);
    CHECK(header->getModule(0) == module);
    CHECK(header->getModule(1) == nullptr);
    CHECK(header->getModule(-1) == nullptr);
    CHECK(header->getModule(0x7fffffff) == nullptr);
}

namespace {

// Init on a player window of the given class: how many version queries it sent.
void checkVersionQueries(const char* className, int version, int expectedQueries) {
    PlayerWindow player(className, version);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    CHECK_EQ(module->Init(module), 0);
    CHECK_EQ(player.countMessages(WM_USER, 0), expectedQueries);
    module->Quit(module);
}

}  // namespace

WINE_CASE(version_query_skipped_for_winamp_class) { checkVersionQueries("Winamp V1.x", 0x5666, 0); }

WINE_CASE(version_query_sent_for_other_case_of_class) { checkVersionQueries("WINAMP V1.X", 0x5666, 1); }

WINE_CASE(version_query_sent_for_longer_class) { checkVersionQueries("Winamp V1.x2", 0x2900, 1); }

WINE_CASE(init_opens_dialog_owned_by_player) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    CHECK(findControlDialog() == nullptr);
    CHECK_EQ(module->Init(module), 0);
    pumpMessages(50);
    HWND dialog = findControlDialog();
    CHECK(dialog != nullptr);
    CHECK(IsWindowVisible(dialog));
    CHECK(GetWindow(dialog, GW_OWNER) == player.handle());
    CHECK_TEXT(windowText(dialog), "MORV Studio");
    // The window icon is icon group 122 of the library.
    HICON big = reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
    CHECK(big != nullptr);
    CHECK(big == LoadIconA(library.handle(), MAKEINTRESOURCEA(122)));
    module->Quit(module);
}

WINE_CASE(config_reopens_only_a_closed_dialog) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    HWND first = findControlDialog();
    CHECK(first != nullptr);

    module->Config(module);
    pumpMessages(20);
    CHECK(findControlDialog() == first);
    CHECK(IsWindow(first));

    SendMessageA(first, WM_CLOSE, 0, 0);
    CHECK(!IsWindow(first));
    CHECK(findControlDialog() == nullptr);

    module->Config(module);
    pumpMessages(20);
    HWND second = findControlDialog();
    CHECK(second != nullptr);
    CHECK(IsWindowVisible(second));
    CHECK(GetWindow(second, GW_OWNER) == player.handle());
    module->Quit(module);
}

WINE_CASE(quit_restores_player_procedure) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    CHECK(player.currentProcedure() == player.ownProcedure());
    module->Init(module);
    CHECK(player.currentProcedure() != player.ownProcedure());
    // Until the hook has work of its own it hands everything to the player.
    player.clearMessages();
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    CHECK_EQ(player.countMessages(WM_USER, 0), 1);
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
    // The dialog stays until the library is unloaded.
    CHECK(findControlDialog() != nullptr);
}

WINE_CASE(second_init_replaces_dialog_and_keeps_one_hook) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    HWND first = findControlDialog();
    CHECK(first != nullptr);
    CHECK_EQ(module->Init(module), 0);
    pumpMessages(20);
    HWND second = findControlDialog();
    CHECK(!IsWindow(first));
    CHECK(second != nullptr && second != first);

    // Hooking twice would make the hook call itself for every message.
    player.clearMessages();
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    CHECK_EQ(player.countMessages(WM_USER, 0), 1);
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
}

WINE_CASE(quit_twice_is_harmless) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    module->Quit(module);
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    library.unload();
    pumpMessages(50);
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
}

WINE_CASE(quit_without_init_is_harmless) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
}

WINE_CASE(config_without_init) {
    // A preferences page loads the library and opens its window directly.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Config(module);
    pumpMessages(50);
    HWND dialog = findControlDialog();
    CHECK(dialog != nullptr);
    CHECK(player.currentProcedure() == player.ownProcedure());
    module->Quit(module);
    library.unload();
    CHECK(!IsWindow(dialog));
    pumpMessages(1200);  // a timer left behind would fire into unloaded code
}

WINE_CASE(config_without_instance_handle) {
    // Some wrappers never fill hDllInstance; the library still finds its
    // own dialog resource.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->hDllInstance = nullptr;
    module->Config(module);
    pumpMessages(50);
    CHECK(findControlDialog() != nullptr);
}

WINE_CASE(null_parent_window) {
    PluginLibrary library;
    winampDSPModule* module = library.module(nullptr);
    CHECK_EQ(module->Init(module), 0);
    pumpMessages(50);
    CHECK(findControlDialog() != nullptr);
    short block[2 * 1152];
    for (int i = 0; i < 2 * 1152; ++i) block[i] = static_cast<short>(i * 37);
    CHECK_EQ(processOnAudioThread(module, block, 1152, 16, 2, 44100), 1152);
    module->Config(module);
    module->Quit(module);
    module->Quit(module);
    library.unload();
    pumpMessages(50);
}

WINE_CASE(message_only_parent_window) {
    PlayerWindow player("MorvMessageOnly", 0x5666, true);
    // "Level Tuning" returns every block at once, whatever an earlier case stored.
    clearStoredSettings();
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    CHECK_EQ(module->Init(module), 0);
    pumpMessages(50);
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    short block[2 * 64] = {};
    CHECK_EQ(processOnAudioThread(module, block, 64, 16, 2, 44100), 64);
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
}

WINE_CASE(unload_without_quit_unhooks_player) {
    // A host that unloads the library without Quit must not be left with a
    // window procedure in unloaded code.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    library.unload();
    CHECK(player.currentProcedure() == player.ownProcedure());
    CHECK(findControlDialog() == nullptr);
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    pumpMessages(1200);
}

namespace {

WNDPROC procedureBeforeLater = nullptr;

LRESULT CALLBACK laterSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(procedureBeforeLater, window, message, wParam, lParam);
}

}  // namespace

WINE_CASE(a_later_subclass_outlives_quit_and_unload) {
    // Another plug-in subclasses the player's window after Init. Quit cannot
    // put the player's procedure back without cutting it off, so the hook
    // stays in the chain, forwarding; its code must outlive the unload.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    procedureBeforeLater = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(player.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(laterSubclass)));
    module->Quit(module);
    CHECK(player.currentProcedure() == laterSubclass);
    library.unload();
    player.clearMessages();
    CHECK_EQ(SendMessageA(player.handle(), WM_USER, 0, 0), 0x5666);
    CHECK_EQ(player.countMessages(WM_USER, 0), 1);
    SetWindowLongPtrA(player.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(player.ownProcedure()));
}

namespace {

struct MonoBlock {
    winampDSPModule* module;
    short samples[256];
    int result;
};

DWORD WINAPI playMonoBlock(void* parameter) {
    MonoBlock* block = static_cast<MonoBlock*>(parameter);
    block->result = block->module->ModifySamples(block->module, block->samples, 256, 16, 1, 44100);
    return 0;
}

}  // namespace

WINE_CASE(a_channel_change_never_waits_for_the_window_thread) {
    // A player's window thread may wait for its audio thread (stopping
    // playback) just as a block with a new channel count arrives: the audio
    // thread must not wait for the window thread in turn.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    module->Init(module);
    pumpMessages(20);
    HWND dialog = findControlDialog();
    CHECK(dialog != nullptr);
    MonoBlock block = {module, {}, -1};
    HANDLE thread = CreateThread(nullptr, 0, playMonoBlock, &block, 0, nullptr);
    CHECK_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);  // no messages pumped meanwhile
    pumpMessages(20);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CHECK_EQ(block.result, 256);
    // The buttons follow once the window thread runs again: PASS alone.
    CHECK(IsWindowVisible(GetDlgItem(dialog, 1008)));
    CHECK(!IsWindowVisible(GetDlgItem(dialog, 1003)));
    module->Quit(module);
}

WINE_CASE(reload_after_unload) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    for (int round = 0; round < 3; ++round) {
        PluginLibrary library;
        winampDSPModule* module = library.module(player.handle());
        CHECK(module != nullptr);
        if (!module) return;
        CHECK_EQ(module->Init(module), 0);
        short block[2 * 256] = {};
        CHECK_EQ(processOnAudioThread(module, block, 256, 16, 2, 44100), 256);
        module->Quit(module);
        library.unload();
        CHECK(findControlDialog() == nullptr);
        CHECK(player.currentProcedure() == player.ownProcedure());
    }
}

namespace {

LRESULT CALLBACK unicodePlayerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER && wParam == 0) return 0x5666;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

WINE_CASE(unicode_player_window) {
    // Current players register their main window as a Unicode window.
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = unicodePlayerProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Winamp v1.x";
    RegisterClassW(&windowClass);
    HWND player = CreateWindowExW(0, L"Winamp v1.x", L"Player", WS_OVERLAPPEDWINDOW, 300, 400, 275, 116,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    CHECK(IsWindowUnicode(player));
    PluginLibrary library;
    winampDSPModule* module = library.module(player);
    CHECK_EQ(module->Init(module), 0);
    pumpMessages(20);
    // Text still reaches the player's procedure intact through the hook.
    SetWindowTextW(player, L"Player \x00e9\x4e2d");
    wchar_t text[32] = {};
    GetWindowTextW(player, text, 32);
    CHECK(std::wstring(text) == L"Player \x00e9\x4e2d");
    module->Quit(module);
    CHECK(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(player, GWLP_WNDPROC)) == unicodePlayerProcedure);
    CHECK(IsWindowUnicode(player));
    DestroyWindow(player);
}

WINE_CASE(player_window_destroyed_before_quit) {
    // A player that tears its main window down first and only then calls
    // Quit and unloads: the owned dialog goes with the window.
    PluginLibrary library;
    winampDSPModule* module = nullptr;
    {
        PlayerWindow player("Winamp v1.x", 0x5666);
        module = library.module(player.handle());
        module->Init(module);
        CHECK(findControlDialog() != nullptr);
        DestroyWindow(player.handle());
        pumpMessages(20);
        CHECK(findControlDialog() == nullptr);
    }
    module->Quit(module);
    module->Config(module);  // the stale owner is not used
    pumpMessages(20);
    CHECK(findControlDialog() != nullptr);
    short block[2 * 64] = {};
    CHECK_EQ(processOnAudioThread(module, block, 64, 16, 2, 44100), 64);
    library.unload();
    CHECK(findControlDialog() == nullptr);
    pumpMessages(1200);
}
