#!/usr/bin/env python3
"""Writes one loudness test signal as a 32-bit float WAVE file.

The signals of EBU Tech 3341 (loudness metering) and EBU Tech 3342 (loudness range) are made
from their published descriptions: 1 kHz sines of stated levels and durations at 48 kHz, the
true-peak cases as sines at a quarter of the sampling rate with a stated phase. A level in dBFS
is a sine's peak amplitude (0 dBFS = 1.0), the same in every channel unless stated. One more
signal, a noise programme, has no stated result: the tests read it with a second meter.

Usage: make-loudness-signals.py NAME OUTPUT.wav
       make-loudness-signals.py --list
"""
import struct
import sys

import numpy as np

RATE = 48000


def sine_segments(levels_seconds, channels=2, freq=1000.0, rate=RATE):
    """A sine of `freq` Hz whose level steps through (dBFS, seconds) pairs, phase continuous."""
    amplitudes = np.concatenate(
        [np.full(int(round(seconds * rate)), 10.0 ** (dbfs / 20.0))
         for dbfs, seconds in levels_seconds])
    t = np.arange(len(amplitudes)) / rate
    mono = amplitudes * np.sin(2.0 * np.pi * freq * t)
    return rate, np.repeat(mono[:, None], channels, axis=1)


def sine_channels(levels, seconds, freq=1000.0, rate=RATE):
    """A sine of `freq` Hz with one level (dBFS) per channel."""
    t = np.arange(int(round(seconds * rate))) / rate
    mono = np.sin(2.0 * np.pi * freq * t)
    return rate, np.stack([10.0 ** (dbfs / 20.0) * mono for dbfs in levels], axis=1)


def quarter_rate_sine(phase_degrees, peak_dbfs=-6.0, seconds=1.0, rate=RATE):
    """Stereo sine at rate / 4 with the stated phase at the first sample: its samples fall at
    the phase and every 90 degrees after, its true peak is `peak_dbfs`."""
    n = np.arange(int(round(seconds * rate)))
    mono = 10.0 ** (peak_dbfs / 20.0) * np.sin(np.pi / 2.0 * n + np.radians(phase_degrees))
    return rate, np.stack([mono, mono], axis=1)


def noise_programme(seconds=60, rate=RATE):
    """Stereo pink noise (white noise shaped by 1/sqrt(f) above 20 Hz in one FFT) whose level
    wanders as speech does: a random walk of 2 dB steps every half second between -40 and
    -16 dBFS RMS, with two seconds of silence in the middle (fixed seed)."""
    rng = np.random.default_rng(20240917)
    frames = seconds * rate
    spectrum = np.fft.rfft(rng.standard_normal((frames, 2)), axis=0)
    freqs = np.fft.rfftfreq(frames, 1.0 / rate)
    spectrum *= (1.0 / np.sqrt(np.maximum(freqs, 20.0)))[:, None]
    pink = np.fft.irfft(spectrum, n=frames, axis=0)
    pink /= np.sqrt(np.mean(pink ** 2))
    steps = 2 * seconds
    levels = np.clip(-28.0 + np.cumsum(rng.choice([-2.0, 2.0], steps)), -40.0, -16.0)
    levels[steps // 2 - 2:steps // 2 + 2] = -np.inf
    gain = np.repeat(10.0 ** (levels / 20.0), rate // 2)
    return rate, pink * gain[:, None]


SIGNALS = {
    # EBU Tech 3341, cases 1 to 6: integrated loudness -23.0 (case 2: -33.0) +-0.1 LUFS.
    "3341-1": lambda: sine_segments([(-23.0, 20)]),
    "3341-2": lambda: sine_segments([(-33.0, 20)]),
    "3341-3": lambda: sine_segments([(-36.0, 10), (-23.0, 60), (-36.0, 10)]),
    "3341-4": lambda: sine_segments(
        [(-72.0, 10), (-36.0, 10), (-23.0, 60), (-36.0, 10), (-72.0, 10)]),
    "3341-5": lambda: sine_segments([(-26.0, 20), (-20.0, 20.1), (-26.0, 20)]),
    # Five channels L, R, C, Ls, Rs.
    "3341-6": lambda: sine_channels([-28.0, -28.0, -24.0, -30.0, -30.0], 20),
    # The same in the six channels of 5.1 (L, R, C, LFE, Ls, Rs), with a loud LFE channel that
    # the measurement leaves out.
    "3341-6-lfe": lambda: sine_channels([-28.0, -28.0, -24.0, -10.0, -30.0, -30.0], 20),
    # EBU Tech 3341, cases 15 to 19: true peak -6.0 dBTP, +0.2/-0.4 dB.
    "3341-15": lambda: quarter_rate_sine(0.0),
    "3341-16": lambda: quarter_rate_sine(45.0),
    "3341-17": lambda: quarter_rate_sine(60.0),
    "3341-18": lambda: quarter_rate_sine(67.5),
    "3341-19": lambda: quarter_rate_sine(88.2),
    # EBU Tech 3342, cases 1 to 4: loudness range 10, 5, 20 and 15 LU, +-1 LU.
    "3342-1": lambda: sine_segments([(-20.0, 20), (-30.0, 20)]),
    "3342-2": lambda: sine_segments([(-20.0, 20), (-15.0, 20)]),
    "3342-3": lambda: sine_segments([(-40.0, 20), (-20.0, 20)]),
    "3342-4": lambda: sine_segments(
        [(-50.0, 20), (-35.0, 20), (-20.0, 20), (-35.0, 20), (-50.0, 20)]),
    "noise-programme": noise_programme,
}


def write_float_wave(path, rate, frames):
    """A WAVE file of 32-bit IEEE float samples (format tag 3), interleaved."""
    channels = frames.shape[1]
    data = frames.astype("<f4").tobytes()
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + 16 + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 3, channels, rate, rate * channels * 4,
                                      channels * 4, 32))
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def main():
    if sys.argv[1:] == ["--list"]:
        print("\n".join(SIGNALS))
        return 0
    if len(sys.argv) != 3 or sys.argv[1] not in SIGNALS:
        print(__doc__, file=sys.stderr)
        return 2
    rate, frames = SIGNALS[sys.argv[1]]()
    write_float_wave(sys.argv[2], rate, frames)
    return 0


if __name__ == "__main__":
    sys.exit(main())
