#include "tools/morv/commands/module_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/commands/usage_error.h"

namespace {

const char kWhiteDiamond[] = "\xE2\x97\x87";
const char kBlackDiamond[] = "\xE2\x97\x86";
// The markers as the player stores them (GB2312).
const char kWhiteMarkerBytes[] = "\xA1\xF3";
const char kBlackMarkerBytes[] = "\xA1\xF4";

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string withoutMarker(const std::string& text) {
    std::string rest = text;
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest[0]))) rest.erase(0, 1);
    for (const char* marker : {kWhiteDiamond, kBlackDiamond, kWhiteMarkerBytes, kBlackMarkerBytes}) {
        if (startsWith(rest, marker)) return rest.substr(std::strlen(marker));
    }
    return rest;
}

// Lower case without any space: "GEQ-  3 Bands" and "geq-3bands" meet.
std::string compactKey(const std::string& text) {
    std::string key;
    for (char ch : text) {
        if (!std::isspace(static_cast<unsigned char>(ch))) key += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return key;
}

// "GEQ-10" for the equalisers, the part after the family ("DeNoise",
// "ModalReverb") for the others, the whole name for "Level Tuning".
std::string shortKey(int index) {
    const std::string name = moduleNameText(index);
    if (startsWith(name, "GEQ-")) return compactKey(name.substr(0, name.find("Bands")));
    const size_t dash = name.find('-');
    return compactKey(dash == std::string::npos ? name : name.substr(dash + 1));
}

bool isWholeNumber(const std::string& text) {
    return !text.empty() && text.size() < 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string moduleList(const std::vector<int>& indices) {
    std::string list;
    for (int i : indices) list += std::string(list.empty() ? "" : ", ") + std::to_string(i) + " \"" + moduleNameText(i) + "\"";
    return list;
}

}  // namespace

std::string looseName(const std::string& text) {
    std::string out;
    bool space = false;
    for (char ch : text) {
        if (std::isspace(static_cast<unsigned char>(ch))) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return out;
}

const char* moduleMarker(int index) { return moduleNameBlackMarker(index) ? kBlackDiamond : kWhiteDiamond; }

int resolveModule(const std::string& text) {
    if (isWholeNumber(text) && std::stoi(text) < kSelectableModuleCount) return std::stoi(text);
    const std::string typed = compactKey(withoutMarker(text));
    std::vector<int> partial;
    for (int i = 0; i < kSelectableModuleCount && !typed.empty(); ++i) {
        const std::string full = compactKey(moduleNameText(i));
        if (typed == full || typed == shortKey(i)) return i;
        if (full.find(typed) != std::string::npos) partial.push_back(i);
    }
    if (partial.size() == 1) return partial[0];
    if (partial.size() > 1) {
        throw UsageError("module name \"" + text + "\" is ambiguous: " + moduleList(partial));
    }
    std::vector<int> all;
    for (int i = 0; i < kSelectableModuleCount; ++i) all.push_back(i);
    throw UsageError("unknown module \"" + text + "\"; modules: " + moduleList(all));
}
