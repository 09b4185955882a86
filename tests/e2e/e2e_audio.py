"""Listening to the program's sound as SDL's disk driver writes it: the output
file, the clips as the mixer plays them, and the measures the checks use.

The mixer's output is float32 stereo, interleaved, at 48 kHz.
"""
import array
import math
import operator
import os
import struct
import wave

RATE = 48000  # output frames per second
PERIOD = 256  # frames the mixer renders at a time; voices start and change between periods

# Playback rates of the sword swing: the game's high attacks at 22000 × 1.1,
# the low ones at 12000 × 1.1.
HIGH_HZ = 24200
LOW_HZ = 13200


class OutputReader:
    """Reads the driver's file as it grows: each call to `read` gives the
    samples (left and right interleaved) of the whole frames written since
    the last call."""

    def __init__(self, path):
        self.path = path
        self.file = None
        self.pending = b""

    def read(self):
        samples = array.array("f")
        if self.file is None:
            if not os.path.exists(self.path):
                return samples
            self.file = open(self.path, "rb")
        data = self.pending + self.file.read()
        usable = len(data) - len(data) % 8
        self.pending = data[usable:]
        samples.frombytes(data[:usable])
        return samples

    def close(self):
        if self.file is not None:
            self.file.close()


def dot(a, b):
    return sum(map(operator.mul, a, b))


def energy(samples):
    return dot(samples, samples) / max(1, len(samples))


def tone_level(samples, hz):
    """Amplitude of the `hz` component of `samples` (Goertzel)."""
    n = len(samples)
    if n == 0:
        return 0.0
    coefficient = 2 * math.cos(2 * math.pi * hz / RATE)
    s1 = s2 = 0.0
    for x in samples:
        s0 = x + coefficient * s1 - s2
        s2, s1 = s1, s0
    power = s1 * s1 + s2 * s2 - coefficient * s1 * s2
    return 2 * math.sqrt(max(power, 0.0)) / n


def first_sound(channel, threshold=0.01):
    for index, sample in enumerate(channel):
        if abs(sample) > threshold:
            return index
    return None


def read_clip(path):
    """A mono 16-bit clip as floats, with its rate."""
    with wave.open(path, "rb") as clip:
        if clip.getnchannels() != 1 or clip.getsampwidth() != 2:
            raise ValueError("%s is not mono 16-bit" % path)
        data = clip.readframes(clip.getnframes())
        rate = clip.getframerate()
    count = len(data) // 2
    return [v / 32768.0 for v in struct.unpack("<%dh" % count, data[:2 * count])], rate


def resample(samples, rate, frames, looping=False, first_rate=None):
    """The first `frames` output frames of a clip played at `rate` from its
    start: Catmull-Rom interpolation between neighbouring samples, as the
    mixer does it. With `first_rate` the first period plays at that rate:
    a clip is started, panned and set to its rate in separate steps, and the
    mixer may render one period in between, at the buffer's previous rate."""
    count = len(samples)
    first_rate = rate if first_rate is None else first_rate

    def at(i):
        if 0 <= i < count:
            return samples[i]
        if looping:
            return samples[i % count]
        return samples[0] if i < 0 else 0.0

    out = []
    for k in range(frames):
        if k < PERIOD:
            position = k * first_rate / RATE
        else:
            position = PERIOD * first_rate / RATE + (k - PERIOD) * rate / RATE
        i = int(position)
        if i >= count and not looping:
            out.extend([0.0] * (frames - k))
            break
        t = position - i
        sm1, s0, s1, s2 = at(i - 1), at(i), at(i + 1), at(i + 2)
        out.append(s0 + 0.5 * t * (s1 - sm1 + t * (2.0 * sm1 - 5.0 * s0 + 4.0 * s1 - s2
                                                   + t * (3.0 * (s0 - s1) + s2 - sm1))))
    return out


def fit_one(y, t):
    """Gain g minimising |y - g t|, and the share of y's energy left over."""
    tt = dot(t, t)
    yy = dot(y, y)
    if tt == 0.0 or yy == 0.0:
        return 0.0, 1.0
    g = dot(y, t) / tt
    return g, max(0.0, yy - g * g * tt) / yy
