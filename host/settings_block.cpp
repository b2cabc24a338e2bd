#include "host/settings_block.h"

#include <cstdint>

#include "framework/slider_scale.h"

SettingsBlock::SettingsBlock() : words{kGainPositionUnity} {}

void SettingsBlock::decode(const unsigned char* bytes, int length) {
    if (length > kSettingsBytes) length = kSettingsBytes;
    for (int i = 0; i < length; ++i) {
        uint32_t word = static_cast<uint32_t>(words[i / 4]);
        const int shift = 8 * (i % 4);
        word = (word & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[i]) << shift);
        words[i / 4] = static_cast<int>(word);
    }
}

void SettingsBlock::encode(unsigned char bytes[kSettingsBytes]) const {
    for (int w = 0; w < kSettingsWords; ++w) {
        const uint32_t word = static_cast<uint32_t>(words[w]);
        for (int b = 0; b < 4; ++b) bytes[4 * w + b] = static_cast<unsigned char>(word >> (8 * b));
    }
}
