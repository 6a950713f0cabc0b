"""The note of the tray icon (101 A, 111 B) and of the menu."""

from drawing.shapes import Capsule, Ellipse, Part, Polygon, Pose, curve, render


NOTE_INK = (51, 0, 102)        # outline
NOTE_BODY = (153, 51, 255)     # fill
NOTE_SHINE = (204, 153, 255)   # highlight on the head
NOTE_SPARK = (255, 255, 255)


def note_parts(scale):
    """An eighth note in a 16-unit box: head low left, stem, waving flag."""
    s = scale
    head = Ellipse(5.6 * s, 12.2 * s, 3.9 * s, 2.8 * s, -24)

    def head_colour(x, y):
        # A highlight on the upper left of the head, like a lit glossy ball.
        dx, dy = x - (4.4 * s), y - (11.3 * s)
        return NOTE_SHINE if dx * dx + dy * dy < (1.3 * s) ** 2 else NOTE_BODY

    stem = Polygon([(7.9 * s, 1.2 * s), (10.1 * s, 1.2 * s), (10.1 * s, 12.0 * s), (7.9 * s, 12.6 * s)])
    flag = Capsule(curve((9.4 * s, 2.0 * s), (14.6 * s, 4.4 * s), (13.0 * s, 9.6 * s)), 1.15 * s)
    return [Part(flag, NOTE_BODY, NOTE_INK), Part(stem, NOTE_BODY, NOTE_INK),
            Part(head, head_colour, NOTE_INK)]


def tray_note(size, pose):
    return render(size, size, note_parts(size / 16.0), pose, samples=6)


def tray_images():
    a16 = tray_note(16, Pose(0, (8, 15)))
    a32 = tray_note(32, Pose(0, (16, 30)))
    # Pose B: the note hops up a pixel and leans into the beat; two sparks
    # mark the bounce, so alternating A and B every half second dances.
    b16 = tray_note(16, Pose(14, (7, 15), (0.6, -1.2)))
    b16.put(1, 3, NOTE_BODY)
    b16.put(0, 4, NOTE_SHINE)
    b16.put(2, 4, NOTE_SHINE)
    b16.put(1, 5, NOTE_BODY)
    b16.put(14, 14, NOTE_BODY)
    b16.put(15, 13, NOTE_SHINE)
    return a16, a32, b16
