#!/usr/bin/python3
"""Fluidsynth's processor time playing a song in real time, the reference
for the built-in synthesizer's figure in synth_realtime_bench.

    fluidsynth_realtime.py FONT SONG [RUNS]

Plays SONG with FONT through PulseAudio (the server PULSE_SERVER names, as
the Wine programs of the same run use), and then a silent song of the same
length, each in a fluidsynth of its own, and reads each process's time from
/proc (the sum of its threads' schedstat) once the song has ended and before
the process is told to quit.  Start-up, the SoundFont's load and the audio
path's own cost are in both; their difference is what the song's voices
cost.  Prints, as percent of one core over the song's length, the best of
RUNS (3) of each:

    song PERCENT
    silent PERCENT
    voices PERCENT
    seconds SECONDS
"""
import glob
import os
import struct
import subprocess
import sys
import tempfile
import time


def song_seconds(song):
    """The song's length in seconds, to its last event, through its tempo map
    (a Standard MIDI File of format 0 or 1 with ticks a beat)."""
    with open(song, "rb") as f:
        data = f.read()
    division = struct.unpack(">H", data[12:14])[0]
    tempos, last = [(0, 500000)], 0
    at = 8 + struct.unpack(">I", data[4:8])[0]
    while at + 8 <= len(data):
        length = struct.unpack(">I", data[at + 4:at + 8])[0]
        track, at = data[at + 8:at + 8 + length], at + 8 + length
        i, tick, status = 0, 0, 0
        while i < len(track):
            delta = 0
            while True:
                byte = track[i]
                i += 1
                delta = delta << 7 | (byte & 0x7F)
                if byte < 0x80:
                    break
            tick += delta
            if track[i] >= 0x80:
                status = track[i]
                i += 1
            if status == 0xFF:
                kind, size = track[i], track[i + 1]  # sizes here fit one byte
                if kind == 0x51:
                    tempos.append((tick, int.from_bytes(track[i + 2:i + 5], "big")))
                i += 2 + size
            elif status in (0xF0, 0xF7):
                size = track[i]
                i += 1 + size
            else:
                i += 1 if (status & 0xF0) in (0xC0, 0xD0) else 2
        last = max(last, tick)
    tempos.sort(key=lambda change: change[0])  # stable: a tempo at tick 0 follows the default
    seconds, previous, tempo = 0.0, 0, 500000
    for tick, next_tempo in tempos:
        if tick > last:
            break
        seconds += (tick - previous) * tempo / division / 1e6
        previous, tempo = tick, next_tempo
    return seconds + (last - previous) * tempo / division / 1e6


def silent_song(seconds, path):
    """A controller and the end after seconds: the stream runs as long, with
    no voice to render (as synth_realtime_bench's SilentSong)."""
    ticks = int(seconds * 2000)  # 1000 ticks a beat at 120 beats a minute

    def vlq(n):
        out = [n & 0x7F]
        n >>= 7
        while n:
            out.insert(0, 0x80 | (n & 0x7F))
            n >>= 7
        return bytes(out)

    track = b"\x00\xff\x51\x03\x07\xa1\x20" + b"\x00\xb0\x07\x64" + vlq(ticks) + b"\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 1000))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def process_seconds(pid):
    """Processor time of every thread of pid so far, from /proc."""
    total = 0
    for stat in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(stat) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def play(font, song, seconds):
    """Processor seconds of a fluidsynth that played song in real time."""
    # Two periods of 10 ms, as the built-in synthesizer's output queues: at
    # fluidsynth's own 64 frames its audio path alone costs a quarter of a
    # core here, and the song's share would be lost in that path's noise.
    player = subprocess.Popen(["fluidsynth", "-a", "pulseaudio", "-q", "-r", "48000", "-z", "480", "-c", "2", font, song],
                              stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The song plays as soon as the font is loaded; the half second over
    # covers the load and the stream's start, in both runs alike.
    time.sleep(seconds + 0.5)
    cpu = process_seconds(player.pid)
    player.communicate(b"quit\n", timeout=10)
    return cpu


def main():
    font, song = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory() as work:
        seconds = song_seconds(song)
        silent = os.path.join(work, "silent.mid")
        silent_song(seconds, silent)
        sounding = min(play(font, song, seconds) for _ in range(runs))
        quiet = min(play(font, silent, seconds) for _ in range(runs))
    print(f"song {100 * sounding / seconds:.2f}")
    print(f"silent {100 * quiet / seconds:.2f}")
    print(f"voices {100 * (sounding - quiet) / seconds:.2f}")
    print(f"seconds {seconds:.1f}")


if __name__ == "__main__":
    main()
