"""The note of the tray icon (IDI_TRAY_A, IDI_TRAY_B) and of the menu."""

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


# The sizes the small icon metric takes at 100, 125, 150 and 200 %: the
# notification area loads the one that matches, rather than blurring 16 px.
TRAY_SIZES = (16, 20, 24, 32)


def pose_a(size):
    k = size / 16.0
    return Pose(0, (8 * k, 15 * k))


def pose_b(size):
    # Pose B: the note hops up a pixel and leans into the beat.
    k = size / 16.0
    return Pose(14, (7 * k, 15 * k), (0.6 * k, -1.2 * k))


def sparks(canvas, size):
    """B's two sparks, as the 16 px B has them, grown with the size: a small
    cross at the upper left and a diagonal pair at the lower right."""
    k = size / 16.0
    arm = max(1, int(round(k)))
    x, y = int(round(1.5 * k)) - 1, int(round(4.5 * k)) - 1
    for d in range(1, arm + 1):
        canvas.put(x, y - d, NOTE_BODY)
        canvas.put(x, y + d, NOTE_BODY)
        canvas.put(x - d, y, NOTE_SHINE)
        canvas.put(x + d, y, NOTE_SHINE)
    for (sx, sy), colour in (((14, 14), NOTE_BODY), ((15, 13), NOTE_SHINE)):
        for dy in range(arm):
            for dx in range(arm):
                canvas.put(int(sx * k) + dx, int(sy * k) + dy, colour)


def tray_b16():
    """The 16 px B as it was first drawn, pixel by pixel."""
    b16 = tray_note(16, pose_b(16))
    b16.put(1, 3, NOTE_BODY)
    b16.put(0, 4, NOTE_SHINE)
    b16.put(2, 4, NOTE_SHINE)
    b16.put(1, 5, NOTE_BODY)
    b16.put(14, 14, NOTE_BODY)
    b16.put(15, 13, NOTE_SHINE)
    return b16


def tray_images():
    """Images A and B, each at every size of TRAY_SIZES, smallest first."""
    a = [tray_note(size, pose_a(size)) for size in TRAY_SIZES]
    b = [tray_b16()]
    for size in TRAY_SIZES[1:]:
        picture = tray_note(size, pose_b(size))
        sparks(picture, size)
        b.append(picture)
    return a, b
