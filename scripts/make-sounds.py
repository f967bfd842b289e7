#!/usr/bin/python3
"""Writes the program's two alert sounds as PCM WAV files, from nothing but arithmetic.

change.wav: a two-tone alarm (about 1.5 s, mono 22050 Hz, 16 bit).
mail.wav:   a short rising chime (about 0.8 s, stereo 44100 Hz, 16 bit).
Run from the repository's root: /usr/bin/python3 scripts/make-sounds.py
"""
import math
import struct
import wave
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "resources" / "sounds"


def envelope(i, n, rate):
    attack = int(0.01 * rate)
    release = int(0.05 * rate)
    if i < attack:
        return i / attack
    if i > n - release:
        return max(0.0, (n - i) / release)
    return 1.0


def tone(freqs, seconds, rate, volume=0.45):
    n = int(seconds * rate)
    out = []
    for i in range(n):
        t = i / rate
        v = sum(math.sin(2 * math.pi * f * t) for f in freqs) / len(freqs)
        out.append(v * volume * envelope(i, n, rate))
    return out


def write(name, samples, rate, channels):
    OUT.mkdir(parents=True, exist_ok=True)
    with wave.open(str(OUT / name), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = bytearray()
        for s in samples:
            v = int(max(-1.0, min(1.0, s)) * 32767)
            frames += struct.pack("<h", v) * channels
        w.writeframes(bytes(frames))


def main():
    rate = 22050
    alarm = []
    for _ in range(3):
        alarm += tone([880.0], 0.22, rate) + tone([660.0], 0.22, rate) + [0.0] * int(0.06 * rate)
    write("change.wav", alarm, rate, 1)

    rate = 44100
    chime = tone([523.25], 0.18, rate) + tone([659.25], 0.18, rate) + tone([783.99, 1046.5], 0.45, rate)
    write("mail.wav", chime, rate, 2)


if __name__ == "__main__":
    main()
