#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/.

The pipeline target reads its steps with libFuzzer's FuzzedDataProvider,
which takes integers from the end of the input, most significant byte first;
Steps below builds such an input from the values in the order they are read.
"""
import math
import os
import struct
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
MODULES = 19
WIDTHS = [8, 16, 24, 32, 0, 1, 12, 20, 31, 64]
RATES = [1, 2, 3, 7, 100, 1000, 8000, 11025, 22050, 32000, 44100, 44101, 48000, 88200, 96000, 192000]


class Steps:
    def __init__(self):
        self.consumed = bytearray()

    def integer(self, value, low, high):
        span = high - low
        width = 0
        while width < 8 and (span >> (8 * width)) > 0:
            width += 1
        offset = value - low
        assert 0 <= offset <= span
        self.consumed += offset.to_bytes(width, "big") if width else b""

    def boolean(self, value):
        self.integer(1 if value else 0, 0, 255)

    def block(self, frames, bps, nch, rate, kind=1):
        self.integer(0, 0, 11)
        if frames <= 300:
            self.integer(1, 0, 7)
            self.integer(frames, 0, 300)
        else:
            self.integer(0, 0, 7)
            self.integer(frames, 0, 4096)
        self.boolean(True)
        self.integer(WIDTHS.index(bps), 0, len(WIDTHS) - 1)
        self.integer(nch, 1, 8)
        self.boolean(True)
        self.integer(RATES.index(rate), 0, len(RATES) - 1)
        self.integer(kind, 0, 4)
        self.integer(16, 0, 31)
        self.integer(12345, 0, 2**32 - 1)

    def module(self, index):
        self.integer(2, 0, 11)
        self.integer(index, 0, MODULES - 1)
        self.boolean(False)

    def preset(self, entry):
        self.integer(6, 0, 11)
        self.integer(entry, -1, 40)

    def op(self, code):
        self.integer(code, 0, 11)

    def data(self):
        return bytes(reversed(self.consumed))


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def pipeline_seeds():
    for index in range(MODULES):
        s = Steps()
        s.module(index)
        s.preset(0)
        for _ in range(3):
            s.block(1024, 16, 2, 44100)
        s.op(7)  # Snap Noise
        s.block(576, 24, 1, 48000)
        s.block(576, 32, 2, 8000, kind=2)
        write("pipeline", "module_%02d" % index, s.data())


def wav_bytes(frames, channels, rate, width, fmt=1):
    body = bytearray()
    for i in range(frames * channels):
        v = int(0.3 * math.sin(i * 0.05) * (2 ** (8 * width - 1)))
        if width == 1:
            body += bytes([(v + 128) & 0xFF])
        else:
            body += (v & ((1 << (8 * width)) - 1)).to_bytes(width, "little")
    return riff(fmt, channels, rate, width * 8, body)


def riff(fmt, channels, rate, bits, body, data_size=None):
    align = channels * bits // 8
    chunk = struct.pack("<HHIIHH", fmt, channels, rate, rate * align, align, bits)
    size = len(body) if data_size is None else data_size
    content = b"WAVE" + b"fmt " + struct.pack("<I", 16) + chunk + b"data" + struct.pack("<I", size) + body
    return b"RIFF" + struct.pack("<I", 4 + 24 + 8 + len(body)) + content


def audio_file_seeds():
    write("audio_file", "stereo16.wav", wav_bytes(300, 2, 44100, 2))
    write("audio_file", "mono24.wav", wav_bytes(300, 1, 48000, 3))
    write("audio_file", "mono8.wav", wav_bytes(200, 1, 8000, 1))
    write("audio_file", "float.wav", riff(3, 2, 44100, 32, struct.pack("<600f", *[0.25 * math.sin(i * 0.03) for i in range(600)])))
    write("audio_file", "truncated.wav", riff(1, 2, 44100, 16, b"\x01\x02" * 50, data_size=40000))
    write("audio_file", "rate1.wav", riff(1, 1, 1, 16, b"\x00\x10" * 64))
    write("audio_file", "channels256.wav", riff(1, 256, 44100, 16, b"\x00" * 1024))


def settings_seeds():
    defaults = [3000] + [0] * 39
    write("settings", "defaults", struct.pack("<40i", *defaults))
    eq = [2700] + [3000 - 100 * k for k in range(1, 38)] + [3, 5]
    write("settings", "equaliser_preset3", struct.pack("<40i", *eq))
    wild = [-5, 2**31 - 1, -2**31, 6001, -1] + [7] * 33 + [-1, 18]
    write("settings", "out_of_range", struct.pack("<40i", *wild))
    write("settings", "short", bytes([0xB8, 0x0B, 0, 0, 1, 2, 3]))
    write("settings", "long", struct.pack("<40i", *eq) * 2 + b"\xff" * 80)


if __name__ == "__main__":
    pipeline_seeds()
    audio_file_seeds()
    settings_seeds()
    sys.exit(0)
