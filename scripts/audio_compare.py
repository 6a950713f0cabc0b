#!/usr/bin/python3
"""Compares two renders of the same song by ear-like measures.

    scripts/audio_compare.py [options] REFERENCE.wav CANDIDATE.wav

Prints, one figure a line (key first, so scripts can pick a line by grep):

    duration   seconds of each file, from first to last sample
    lag        how much later the candidate starts than the reference
    logmel     correlation of the two log-mel spectrograms, 0..1
    rms        RMS level of each in dBFS, and candidate minus reference in dB
    gap        the longest time, in ms, in which the reference sounds and the
               candidate falls silent (more than 20 dB quieter), then sounds again

How: both files are mixed to mono and each gets a log-mel spectrogram
(23.2 ms Hann frames every 11.6 ms, 64 mel bands from 0 Hz to the lower
Nyquist frequency, in dB clipped 80 dB below its own loudest cell); the two
are correlated (Pearson) over every frame in which either one sounds.  The
lag is the one, within --max-lag, at which that correlation is highest:
cross-correlating the 1 ms RMS envelopes proposes one, and lags within
0.1 s of it and of no lag at all are tried, every 5 ms and then every 1 ms
about the best, and the last few exactly.  (The envelopes alone can be pulled off by a few loud notes
whose attacks differ, where the whole spectrum is not.)
The RMS levels are taken over that same stretch of time, so trailing
silence in a recording does not lower them.  Different sample rates are
fine: frames are placed by time, not by sample count.

Options:
    --max-lag S      largest lag searched, in seconds (default 0.5)
    --trim           drop leading silence (60 dB below the peak) from both
                     before aligning: for recordings that start early.  With
                     it, keep --max-lag small (0.1): a song whose bars repeat
                     can otherwise line up a bar out
    --min-logmel X   exit 1 if the correlation is below X
    --max-rms-db D   exit 1 if the levels differ by more than D dB
    --max-gap MS     exit 1 if the candidate falls silent for longer than MS

Reads PCM WAV of 8, 16, 24 or 32 bits and 32/64-bit float WAV, plain or
WAVE_FORMAT_EXTENSIBLE.  Needs numpy only.  Exit 2 on unreadable input.
"""

import argparse
import struct
import sys

import numpy as np

FRAME_SECONDS = 1024 / 44100
HOP_SECONDS = FRAME_SECONDS / 2
MEL_BANDS = 64
RANGE_DB = 80.0
ENVELOPE_SECONDS = 0.001
# The lag search: how far either side of the envelopes' guess (and of no
# lag), and the coarse step, in milliseconds.
SEARCH_MS = 100
COARSE_MS = 5
EXACT_MS = 2


class WavError(Exception):
    pass


def read_wav(path):
    """Returns (samples as float64 array [frames, channels], sample rate)."""
    with open(path, 'rb') as f:
        data = f.read()
    if len(data) < 12 or data[0:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise WavError(f'{path}: not a RIFF WAVE file')
    fmt = None
    samples = None
    pos = 12
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b'fmt ' and len(body) >= 16:
            fmt = struct.unpack_from('<HHIIHH', body)
            if fmt[0] == 0xFFFE and len(body) >= 26:  # extensible: the subformat's tag
                fmt = (struct.unpack_from('<H', body, 24)[0],) + fmt[1:]
        elif tag == b'data':
            samples = body  # a recorder killed early may leave size too large
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise WavError(f'{path}: no fmt or data chunk')
    tag, channels, rate, _, _, bits = fmt
    if channels < 1 or rate < 1000:
        raise WavError(f'{path}: {channels} channels at {rate} Hz')
    width = bits // 8
    usable = len(samples) - len(samples) % (width * channels)
    raw = samples[:usable]
    if tag == 1 and bits == 8:
        x = (np.frombuffer(raw, np.uint8).astype(np.float64) - 128) / 128
    elif tag == 1 and bits == 16:
        x = np.frombuffer(raw, '<i2') / 32768.0
    elif tag == 1 and bits == 24:
        b = np.frombuffer(raw, np.uint8).reshape(-1, 3).astype(np.int32)
        v = b[:, 0] | (b[:, 1] << 8) | (b[:, 2] << 16)
        x = np.where(v >= 1 << 23, v - (1 << 24), v) / float(1 << 23)
    elif tag == 1 and bits == 32:
        x = np.frombuffer(raw, '<i4') / float(1 << 31)
    elif tag == 3 and bits in (32, 64):
        x = np.frombuffer(raw, '<f4' if bits == 32 else '<f8').astype(np.float64)
    else:
        raise WavError(f'{path}: format {tag} with {bits} bits is not read')
    return x.reshape(-1, channels), rate


def envelope(mono, rate):
    block = max(1, int(round(rate * ENVELOPE_SECONDS)))
    n = len(mono) // block
    return np.sqrt(np.mean(mono[:n * block].reshape(n, block) ** 2, axis=1))


def find_lag(ref_env, cand_env, max_blocks):
    """Blocks by which the candidate is later than the reference."""
    n = max(len(ref_env), len(cand_env)) + max_blocks
    size = 1 << int(np.ceil(np.log2(2 * n)))
    a = np.fft.rfft(ref_env - ref_env.mean(), size)
    b = np.fft.rfft(cand_env - cand_env.mean(), size)
    xc = np.fft.irfft(np.conj(a) * b, size)
    lags = np.concatenate([np.arange(0, max_blocks + 1), np.arange(-max_blocks, 0)])
    scores = np.concatenate([xc[:max_blocks + 1], xc[size - max_blocks:]])
    return int(lags[np.argmax(scores)])


def leading_silence(mono):
    peak = np.max(np.abs(mono)) if len(mono) else 0.0
    if peak <= 0:
        return 0
    return int(np.argmax(np.abs(mono) > peak * 10 ** (-60 / 20)))


def mel_filterbank(rate, n_fft, fmax):
    def mel(f):
        return 2595.0 * np.log10(1.0 + f / 700.0)

    def hz(m):
        return 700.0 * (10 ** (m / 2595.0) - 1.0)

    edges = hz(np.linspace(mel(0.0), mel(fmax), MEL_BANDS + 2))
    freqs = np.arange(n_fft // 2 + 1) * rate / n_fft
    bank = np.zeros((MEL_BANDS, len(freqs)))
    for i in range(MEL_BANDS):
        lo, mid, hi = edges[i:i + 3]
        rise = (freqs - lo) / (mid - lo)
        fall = (hi - freqs) / (hi - mid)
        bank[i] = np.maximum(0.0, np.minimum(rise, fall))
        if not bank[i].any():  # a band narrower than a bin: the nearest bin
            bank[i, int(np.argmin(np.abs(freqs - mid)))] = 1.0
    return bank


def mel_power(mono, rate, times, fmax):
    """Mel band powers [len(times), bands] of frames starting at times (s)."""
    n_fft = int(round(FRAME_SECONDS * rate))
    window = np.hanning(n_fft)
    bank = mel_filterbank(rate, n_fft, fmax)
    padded = np.concatenate([mono, np.zeros(n_fft)])
    starts = np.round(np.asarray(times) * rate).astype(np.int64)
    out = np.empty((len(starts), MEL_BANDS))
    chunk = 2048
    for c in range(0, len(starts), chunk):
        s = starts[c:c + chunk]
        idx = s[:, None] + np.arange(n_fft)[None, :]
        idx = np.clip(idx, 0, len(padded) - 1)
        power = np.abs(np.fft.rfft(padded[idx] * window, axis=1)) ** 2
        out[c:c + chunk] = power @ bank.T
    return out


def to_db(power):
    """dB, clipped RANGE_DB below the loudest cell."""
    db = 10.0 * np.log10(np.maximum(power, 1e-20))
    return np.maximum(db, db.max() - RANGE_DB)


def log_mel(mono, rate, frames, fmax):
    """dB mel spectrogram [frames, bands]; frames placed by time."""
    return to_db(mel_power(mono, rate, np.arange(frames) * HOP_SECONDS, fmax))


def shift(x, samples):
    """x delayed by samples (negative: advanced), length kept as far as it goes."""
    if samples > 0:
        return np.concatenate([np.zeros((samples,) + x.shape[1:]), x])
    return x[-samples:]


def correlate(a, b):
    """The log-mel correlation and the frames in which either sounds."""
    sounding = (a.max(axis=1) > a.min()) | (b.max(axis=1) > b.min())
    if not sounding.any():
        return float('nan'), sounding
    x, y = a[sounding].ravel(), b[sounding].ravel()
    x, y = x - x.mean(), y - y.mean()
    denom = np.sqrt(np.dot(x, x) * np.dot(y, y))
    return (float(np.dot(x, y) / denom) if denom > 0 else float('nan')), sounding


def rms_db(x):
    ms = np.mean(x ** 2) if x.size else 0.0
    return 10.0 * np.log10(ms) if ms > 0 else -np.inf


def longest_gap(ref, ref_rate, cand, cand_rate):
    """Milliseconds of the longest stretch in which the reference sounds
    (within 40 dB of its loudest 10 ms) and the candidate, lined up with
    it, is more than 20 dB quieter than it, and after which it sounds
    again for 100 ms: a recording cut short at its end has no gap there."""
    def levels(x, rate):
        block = int(round(rate * 0.01))
        x = x.mean(axis=1)
        n = len(x) // block
        return np.sqrt(np.mean(x[:n * block].reshape(n, block) ** 2, axis=1))
    a = levels(ref, ref_rate)
    b = levels(cand, cand_rate)
    b = np.concatenate([b, np.zeros(max(0, len(a) - len(b)))])[:len(a)]
    loud = a.max() * 10 ** (-40 / 20)
    missing = (a > loud) & (b < a * 10 ** (-20 / 20))
    heard_again = (b > loud) & ~missing
    longest = run = heard = 0
    for m, h in zip(missing, heard_again):
        heard = heard + 1 if h else 0
        run += 1 if m else 0
        if heard >= 10 and run:
            longest, run = max(longest, run), 0
    return longest * 10


def compare(ref, ref_rate, cand, cand_rate, max_lag=0.5, trim=False):
    """Returns a dict of the figures."""
    ref_mono, cand_mono = ref.mean(axis=1), cand.mean(axis=1)
    result = {'ref_seconds': len(ref) / ref_rate, 'cand_seconds': len(cand) / cand_rate}
    if trim:
        r0, c0 = leading_silence(ref_mono), leading_silence(cand_mono)
        ref, ref_mono = ref[r0:], ref_mono[r0:]
        cand, cand_mono = cand[c0:], cand_mono[c0:]
        trimmed = c0 / cand_rate - r0 / ref_rate
    else:
        trimmed = 0.0
    # A first guess from the envelopes on a common 1 ms grid.
    ref_env = envelope(ref_mono, ref_rate)
    cand_env = envelope(cand_mono, cand_rate)
    guess = find_lag(ref_env, cand_env, max(1, int(round(max_lag / ENVELOPE_SECONDS)))) * ENVELOPE_SECONDS
    # Every candidate is scored over the same frames, long enough for the
    # candidate moved by any lag tried.
    seconds = max(len(ref) / ref_rate, len(cand) / cand_rate + max_lag)
    frames = int(np.ceil(seconds / HOP_SECONDS))
    fmax = min(ref_rate, cand_rate) / 2.0
    a = log_mel(ref_mono, ref_rate, frames, fmax)
    # The candidate's spectrum on a 1 ms grid, once: a lag of whole
    # milliseconds then picks its frames from it (each within half a
    # millisecond of its place), with silence beyond its ends.
    grid = mel_power(cand_mono, cand_rate, np.arange(int(np.ceil(len(cand) / cand_rate * 1000)) + 1) / 1000, fmax)
    grid = np.vstack([to_db(grid), np.full((1, MEL_BANDS), -np.inf)])
    grid[-1] = grid[:-1].min()
    frame_ms = np.arange(frames) * HOP_SECONDS * 1000
    scored = {}

    def score(lag_ms):
        if lag_ms not in scored:
            at = np.round(frame_ms + lag_ms).astype(np.int64)
            at[(at < 0) | (at >= len(grid) - 1)] = len(grid) - 1
            scored[lag_ms] = correlate(a, grid[at])[0]
        return np.nan_to_num(scored[lag_ms], nan=-2.0)

    limit = int(round(max_lag * 1000))
    coarse = set()
    for centre in (int(round(guess * 1000)), 0):
        for lag_ms in range(centre - SEARCH_MS, centre + SEARCH_MS + 1, COARSE_MS):
            coarse.add(max(-limit, min(limit, lag_ms)))
    best = max(sorted(coarse), key=score)
    fine = range(max(-limit, best - COARSE_MS + 1), min(limit, best + COARSE_MS - 1) + 1)
    best = max([best] + list(fine), key=score)
    # The grid places frames to within half a millisecond: the last few
    # lags are scored exactly, the candidate moved by each.
    exact = {}
    for lag_ms in range(max(-limit, best - EXACT_MS), min(limit, best + EXACT_MS) + 1):
        moved = shift(cand_mono, -int(round(lag_ms / 1000 * cand_rate)))
        exact[lag_ms] = correlate(a, log_mel(moved, cand_rate, frames, fmax))
    best = max(exact, key=lambda lag_ms: np.nan_to_num(exact[lag_ms][0], nan=-2.0))
    lag = best / 1000
    result['lag_seconds'] = lag + trimmed
    result['logmel'], sounding = exact[best]
    # The candidate moved so that its sound lines up with the reference.
    cand = shift(cand, -int(round(lag * cand_rate)))
    # Levels over the frames in which either sounds.
    idx = np.nonzero(sounding)[0]
    t0 = idx[0] * HOP_SECONDS if len(idx) else 0.0
    t1 = (idx[-1] * HOP_SECONDS + FRAME_SECONDS) if len(idx) else 0.0
    ref_part = ref[int(t0 * ref_rate):int(t1 * ref_rate)]
    cand_part = cand[int(t0 * cand_rate):int(t1 * cand_rate)]
    result['ref_rms_db'] = rms_db(ref_part)
    result['cand_rms_db'] = rms_db(cand_part)
    result['rms_diff_db'] = result['cand_rms_db'] - result['ref_rms_db']
    result['gap_ms'] = longest_gap(ref, ref_rate, cand, cand_rate)
    return result


def main(argv):
    parser = argparse.ArgumentParser(description='Compares two renders of the same song.')
    parser.add_argument('reference')
    parser.add_argument('candidate')
    parser.add_argument('--max-lag', type=float, default=0.5)
    parser.add_argument('--trim', action='store_true')
    parser.add_argument('--min-logmel', type=float)
    parser.add_argument('--max-rms-db', type=float)
    parser.add_argument('--max-gap', type=float)
    args = parser.parse_args(argv)
    try:
        ref, ref_rate = read_wav(args.reference)
        cand, cand_rate = read_wav(args.candidate)
    except (OSError, WavError) as e:
        print(f'audio_compare: {e}', file=sys.stderr)
        return 2
    r = compare(ref, ref_rate, cand, cand_rate, args.max_lag, args.trim)
    print(f"duration {r['ref_seconds']:.3f} {r['cand_seconds']:.3f}   (s: reference, candidate)")
    print(f"lag {r['lag_seconds']:+.3f}   (s the candidate starts later)")
    print(f"logmel {r['logmel']:.4f}")
    print(f"rms {r['ref_rms_db']:.2f} {r['cand_rms_db']:.2f} {r['rms_diff_db']:+.2f}"
          "   (dBFS: reference, candidate; dB difference)")
    print(f"gap {r['gap_ms']:.0f}   (ms the candidate is silent where the reference sounds)")
    failed = []
    if args.min_logmel is not None and not r['logmel'] >= args.min_logmel:
        failed.append(f"logmel {r['logmel']:.4f} < {args.min_logmel}")
    if args.max_rms_db is not None and not abs(r['rms_diff_db']) <= args.max_rms_db:
        failed.append(f"rms difference {r['rms_diff_db']:+.2f} dB beyond {args.max_rms_db}")
    if args.max_gap is not None and not r['gap_ms'] <= args.max_gap:
        failed.append(f"the candidate is silent for {r['gap_ms']:.0f} ms where the reference sounds")
    for f in failed:
        print(f'audio_compare: {f}', file=sys.stderr)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
