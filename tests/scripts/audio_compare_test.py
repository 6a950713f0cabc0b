#!/usr/bin/python3
"""scripts/audio_compare.py on signals whose answers are known."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'audio_compare.py')
sys.path.insert(0, os.path.dirname(SCRIPT))
import audio_compare  # noqa: E402


def tune(rate, seconds=3.0, seed=1):
    """A stereo 'song': decaying tones of changing pitch, a bar that repeats."""
    random = np.random.RandomState(seed)
    out = np.zeros((int(rate * seconds), 2))
    t = np.arange(int(rate * 0.25)) / rate
    for i, start in enumerate(np.arange(0, seconds - 0.25, 0.25)):
        freq = 220 * 2 ** (random.randint(0, 24) / 12)
        note = 0.3 * np.sin(2 * np.pi * freq * t) * np.exp(-t * 8)
        at = int(start * rate)
        out[at:at + len(note), 0] += note
        out[at:at + len(note), 1] += note * (0.5 + 0.5 * (i % 2))
    return out


def write_wav(path, x, rate, kind='pcm16'):
    if kind == 'pcm16':
        tag, bits, data = 1, 16, (np.clip(x, -1, 1) * 32767).astype('<i2').tobytes()
    elif kind == 'pcm24':
        v = (np.clip(x, -1, 1) * 8388607).astype('<i4').ravel()
        data = b''.join(struct.pack('<i', int(s))[:3] for s in v)
        tag, bits = 1, 24
    else:
        tag, bits, data = 3, 32, x.astype('<f4').tobytes()
    channels = x.shape[1]
    block = channels * bits // 8
    if kind == 'extensible':
        fmt = struct.pack('<HHIIHHHHI', 0xFFFE, channels, rate, rate * block, block, bits, 22, bits, 3)
        fmt += struct.pack('<H', 3) + b'\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'
    else:
        fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * block, block, bits)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


class CompareTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_same_song_at_another_rate_later_and_louder(self):
        ref = tune(44100)
        cand = np.concatenate([np.zeros((int(48000 * 0.3), 2)), tune(48000) * 2.0])  # +6.02 dB
        r = audio_compare.compare(ref, 44100, cand, 48000, max_lag=0.5)
        self.assertGreater(r['logmel'], 0.99)
        self.assertAlmostEqual(r['lag_seconds'], 0.3, delta=0.005)  # well inside a 23 ms frame
        self.assertAlmostEqual(r['rms_diff_db'], 6.02, delta=0.1)
        # Trimmed, the lag found is the same, not a repeated bar away.
        r = audio_compare.compare(ref, 44100, cand, 48000, max_lag=0.1, trim=True)
        self.assertAlmostEqual(r['lag_seconds'], 0.3, delta=0.005)  # well inside a 23 ms frame
        self.assertGreater(r['logmel'], 0.99)

    def test_softer_attacks_do_not_pull_the_lag(self):
        # The same notes swelling in over 60 ms: their loudness peaks some
        # 35 ms later, their spectrum does not move.
        ref = tune(44100)
        t = np.arange(len(ref)) / 44100
        cand = ref * np.minimum(1.0, (t % 0.25) / 0.06)[:, None]
        r = audio_compare.compare(ref, 44100, cand, 44100, max_lag=0.2)
        self.assertAlmostEqual(r['lag_seconds'], 0.0, delta=0.003)
        self.assertGreater(r['logmel'], 0.97)

    def test_other_sounds_score_low(self):
        ref = tune(44100)
        other = tune(44100, seed=2)
        self.assertLess(audio_compare.compare(ref, 44100, other, 44100)['logmel'], 0.8)
        noise = np.random.RandomState(3).uniform(-0.3, 0.3, ref.shape)
        self.assertLess(audio_compare.compare(ref, 44100, noise, 44100)['logmel'], 0.5)

    def test_a_hole_is_a_gap_and_a_cut_end_is_not(self):
        ref = tune(44100)
        hole = ref.copy()
        hole[int(1.0 * 44100):int(1.3 * 44100)] = 0
        self.assertEqual(audio_compare.compare(ref, 44100, ref, 44100)['gap_ms'], 0)
        self.assertGreaterEqual(audio_compare.compare(ref, 44100, hole, 44100)['gap_ms'], 250)
        self.assertEqual(audio_compare.compare(ref, 44100, ref[:2 * 44100], 44100)['gap_ms'], 0)

    def test_formats_read_alike(self):
        x = tune(22050, seconds=0.5)
        for kind in ('pcm16', 'pcm24', 'float', 'extensible'):
            write_wav(self.path(kind + '.wav'), x, 22050, kind)
            y, rate = audio_compare.read_wav(self.path(kind + '.wav'))
            self.assertEqual(rate, 22050, kind)
            self.assertEqual(y.shape, x.shape, kind)
            self.assertLess(np.abs(y - x).max(), 1e-4, kind)

    def test_command_line_goals_and_bad_input(self):
        write_wav(self.path('a.wav'), tune(44100), 44100)
        write_wav(self.path('silent.wav'), np.zeros((44100, 2)), 44100)
        with open(self.path('junk.wav'), 'wb') as f:
            f.write(b'RIFF\x04\x00\x00\x00WAVX')

        def run(*args):
            return subprocess.run([sys.executable, SCRIPT] + list(args), capture_output=True, text=True)

        same = run(self.path('a.wav'), self.path('a.wav'), '--min-logmel', '0.99', '--max-rms-db', '0.1')
        self.assertEqual(same.returncode, 0, same.stderr)
        self.assertIn('logmel 1.0000', same.stdout)
        # A silent render must fail the goals, not pass on a nan.
        silent = run(self.path('a.wav'), self.path('silent.wav'), '--min-logmel', '0.5', '--max-rms-db', '3')
        self.assertEqual(silent.returncode, 1)
        self.assertEqual(run(self.path('a.wav'), self.path('junk.wav')).returncode, 2)
        self.assertEqual(run(self.path('a.wav'), self.path('missing.wav')).returncode, 2)


if __name__ == '__main__':
    unittest.main()
