#include "tests/wine/player.h"

#include <cstring>

namespace {

const char kSettingsKey[] = "Software\\MORV Studio";
const char kSettingsValue[] = "MORVSETTING";
const char kPlayerProperty[] = "PlayerWindow";

struct AudioWork {
    std::function<void()> work;
};

DWORD WINAPI audioThreadMain(void* parameter) {
    static_cast<AudioWork*>(parameter)->work();
    return 0;
}

}  // namespace

PlayerWindow::PlayerWindow(const char* className, int version, bool messageOnly)
    : className_(className), version_(version) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className_.c_str();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, className_.c_str(), "Player", WS_OVERLAPPEDWINDOW, 300, 400, 275, 116,
                              messageOnly ? HWND_MESSAGE : nullptr, nullptr, GetModuleHandleA(nullptr),
                              this);
    if (!messageOnly) ShowWindow(window_, SW_SHOW);
    pumpMessages(0);
}

PlayerWindow::~PlayerWindow() {
    if (IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
        DestroyWindow(window_);
    }
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
}

WNDPROC PlayerWindow::ownProcedure() const { return procedure; }

WNDPROC PlayerWindow::currentProcedure() const {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window_, GWLP_WNDPROC));
}

int PlayerWindow::countMessages(UINT message) const {
    int count = 0;
    for (const auto& recorded : messages_) count += recorded.message == message;
    return count;
}

int PlayerWindow::countMessages(UINT message, WPARAM wParam) const {
    int count = 0;
    for (const auto& recorded : messages_) count += recorded.message == message && recorded.wParam == wParam;
    return count;
}

int PlayerWindow::countMessages(UINT message, WPARAM wParam, LPARAM lParam) const {
    int count = 0;
    for (const auto& recorded : messages_)
        count += recorded.message == message && recorded.wParam == wParam && recorded.lParam == lParam;
    return count;
}

int PlayerWindow::firstMessage(UINT message, WPARAM wParam) const {
    for (size_t i = 0; i < messages_.size(); ++i) {
        if (messages_[i].message == message && messages_[i].wParam == wParam) return static_cast<int>(i);
    }
    return -1;
}

LRESULT CALLBACK PlayerWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetPropA(window, kPlayerProperty, create->lpCreateParams);
    }
    auto* self = static_cast<PlayerWindow*>(GetPropA(window, kPlayerProperty));
    if (self) self->messages_.push_back({message, wParam, lParam});
    if (message == WM_NCDESTROY) RemovePropA(window, kPlayerProperty);
    if (message == WM_USER && wParam == 0 && self) return self->version_;
    return DefWindowProcA(window, message, wParam, lParam);
}

PluginLibrary::PluginLibrary() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (length == 0 || !slash) return;
    std::strcpy(slash + 1, "dsp_MORV.dll");
    library_ = LoadLibraryA(path);
}

PluginLibrary::~PluginLibrary() { unload(); }

winampDSPHeader* PluginLibrary::header() const {
    auto getHeader = reinterpret_cast<GetHeaderFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, "winampDSPGetHeader2")));
    return getHeader ? getHeader() : nullptr;
}

winampDSPModule* PluginLibrary::module(HWND parent) {
    winampDSPHeader* published = header();
    if (!published) return nullptr;
    winampDSPModule* record = published->getModule(0);
    if (!record) return nullptr;
    record->hwndParent = parent;
    record->hDllInstance = library_;
    return record;
}

void PluginLibrary::unload() {
    if (library_) FreeLibrary(library_);
    library_ = nullptr;
}

bool runOnAudioThread(const std::function<void()>& work, const std::function<void()>& whilePumping,
                      DWORD timeoutMs) {
    AudioWork audio{work};
    HANDLE thread = CreateThread(nullptr, 0, audioThreadMain, &audio, 0, nullptr);
    if (!thread) return false;
    DWORD start = GetTickCount();
    bool finished = false;
    while (GetTickCount() - start < timeoutMs) {
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, 10, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) {
            finished = true;
            break;
        }
        pumpMessages(0);
        if (whilePumping) whilePumping();
    }
    if (!finished) {
        // A hung plug-in: leave the thread behind so the failure is reported.
        CloseHandle(thread);
        return false;
    }
    CloseHandle(thread);
    pumpMessages(0);
    return true;
}

void pumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (milliseconds) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

HWND findControlDialog() { return FindWindowA("#32770", "MORV Studio"); }

void clearStoredSettings() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }

void storeSettings(const void* bytes, DWORD size, DWORD type) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kSettingsValue, 0, type, static_cast<const BYTE*>(bytes), size);
    RegCloseKey(key);
}

void storeSettingsWords(const std::vector<int>& words) {
    std::vector<unsigned char> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i) {
        unsigned value = static_cast<unsigned>(words[i]);
        for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<unsigned char>(value >> (8 * b));
    }
    storeSettings(bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::vector<unsigned char> readStoredSettings(DWORD* type) {
    std::vector<unsigned char> value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    DWORD valueType = 0;
    if (RegQueryValueExA(key, kSettingsValue, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
        value.resize(size);
        RegQueryValueExA(key, kSettingsValue, nullptr, &valueType, value.data(), &size);
        value.resize(size);
    }
    if (type) *type = valueType;
    RegCloseKey(key);
    return value;
}

int storedWord(const std::vector<unsigned char>& value, int index) {
    if (value.size() < static_cast<size_t>(index + 1) * 4) return -999999;
    unsigned word = 0;
    for (int b = 0; b < 4; ++b) word |= static_cast<unsigned>(value[index * 4 + b]) << (8 * b);
    return static_cast<int>(word);
}

int processOnAudioThread(winampDSPModule* module, void* samples, int frames, int bps, int channels,
                         int rate) {
    int result = -12345;
    runOnAudioThread([&] {
        result = module->ModifySamples(module, static_cast<short*>(samples), frames, bps, channels, rate);
    });
    return result;
}
