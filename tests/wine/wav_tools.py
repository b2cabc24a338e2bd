#!/usr/bin/env python3
"""WAV helpers for the comparison of the DLL with the native command line.

  wav_tools.py make OUT.wav CHANNELS BITS SECONDS [RATE]   writes a test signal
  wav_tools.py compare A.wav B.wav TOLERANCE        exit 0 when both files have
      the same format and length and no sample differs by more than TOLERANCE
      (in units of the last bit)
"""
import math
import struct
import sys

RATE = 44100


def make(path, channels, bits, seconds, rate=RATE):
    """Tones, a sweep, noise and full-scale peaks: every path of the modules."""
    frames = int(rate * seconds)
    full = 2 ** (bits - 1)
    seed = 12345
    samples = []
    for i in range(frames):
        t = i / rate
        for c in range(channels):
            seed = (seed * 214013 + 2531011) & 0xFFFFFFFF
            noise = ((seed >> 16) & 0x7FFF) / 32768.0 - 0.5
            sweep = math.sin(2 * math.pi * (100 + 4000 * t) * t)
            tone = math.sin(2 * math.pi * (440 if c == 0 else 660) * t)
            value = 0.45 * tone + 0.3 * sweep + 0.1 * noise
            if i % 9000 == 17:
                value = 1.0 if c == 0 else -1.0  # clicks at full scale
            samples.append(max(-full, min(full - 1, int(value * full))))
    write(path, channels, bits, samples, rate)


def write(path, channels, bits, samples, rate=RATE):
    width = bits // 8
    data = bytearray()
    for v in samples:
        data += (v & ((1 << bits) - 1)).to_bytes(width, "little")
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt "
    header += struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * channels * width, channels * width, bits)
    with open(path, "wb") as f:
        f.write(header + b"data" + struct.pack("<I", len(data)) + bytes(data))


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(path + " is not a WAV file")
    at, fmt = 12, None
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + size]
        if kind == b"fmt ":
            _, channels, rate, _, _, bits = struct.unpack("<HHIIHH", body[:16])
            fmt = (channels, rate, bits)
        elif kind == b"data" and fmt:
            width = fmt[2] // 8
            values = [int.from_bytes(body[i:i + width], "little", signed=True)
                      for i in range(0, len(body) - width + 1, width)]
            return fmt, values
        at += 8 + size + (size & 1)
    raise ValueError(path + " has no audio data")


def compare(a, b, tolerance):
    fmt_a, values_a = read(a)
    fmt_b, values_b = read(b)
    if fmt_a != fmt_b:
        print("  formats differ: %s and %s" % (fmt_a, fmt_b))
        return 1
    if len(values_a) != len(values_b):
        print("  lengths differ: %d and %d samples" % (len(values_a), len(values_b)))
        return 1
    worst, where, differing = 0, -1, 0
    for i, (x, y) in enumerate(zip(values_a, values_b)):
        d = abs(x - y)
        differing += d != 0
        if d > worst:
            worst, where = d, i
    if worst > tolerance:
        print("  largest difference %d at sample %d (%d samples differ)" % (worst, where, differing))
        return 1
    print("  %d samples, %d differ, largest difference %d" % (len(values_a), differing, worst))
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]),
             int(sys.argv[6]) if len(sys.argv) > 6 else RATE)
    elif sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], int(sys.argv[4])))
    else:
        sys.exit("unknown command " + sys.argv[1])
