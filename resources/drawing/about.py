"""About animation: eleven 68 x 68 frames of a dancing note on pure blue."""

import math
from drawing.canvas import BLUE_KEY
from drawing.shapes import Capsule, Ellipse, Part, Polygon, Pose, curve, render


DANCER_INK = (0, 0, 0)
DANCER_BODY = (153, 51, 204)
DANCER_SHINE = (204, 102, 255)
DANCER_GLOSS = (255, 204, 255)
GLOVE = (255, 255, 255)
SHOE = (255, 102, 0)
EYE_WHITE = (255, 255, 255)
MOUTH = (204, 0, 51)
CHEEK = (255, 153, 153)


def dancer_parts(step, hop):
    """The note as a little dancer.  step runs from 0 (standing) to 1 (arms
    up, leg kicked out); hop lifts the body without moving the feet."""
    cx, head_y = 29.0, 44.0 - hop
    parts = []

    def limb(points, r, colour=DANCER_INK):
        parts.append(Part(Capsule(points, r), colour, None))

    # Legs from the bottom of the head; the right leg kicks out as step grows.
    left_foot = (cx - 7.0, 62.5)
    right_foot = (cx + 7.0 + 9.0 * step, 62.5 - 9.0 * step)
    limb([(cx - 4.0, head_y + 6.0), (cx - 6.0, 55.0), left_foot], 1.3)
    knee = (cx + 7.0 + 2.0 * step, 55.0 - 2.0 * step - hop * 0.5)
    limb([(cx + 3.0, head_y + 6.0), knee, right_foot], 1.3)
    parts.append(Part(Ellipse(left_foot[0] - 1.5, left_foot[1] + 0.3, 4.0, 2.4), SHOE, DANCER_INK))
    parts.append(Part(Ellipse(right_foot[0] + 1.5, right_foot[1] + 0.3, 4.0, 2.4, -25 * step), SHOE,
                      DANCER_INK))

    # Arms: the left one swings from the hip up over the head, the right one
    # reaches for the flag.
    a = math.radians(200 + 75 * step)
    left_hand = (cx - 9.0 + 13.0 * math.cos(a), head_y - 2.0 + 13.0 * math.sin(a))
    elbow = (cx - 9.0 + 8.0 * math.cos(a + 0.5), head_y - 2.0 + 8.0 * math.sin(a + 0.5))
    limb([(cx - 9.0, head_y - 1.0), elbow, left_hand], 1.2)
    b = math.radians(-10 - 50 * step)
    right_hand = (cx + 9.0 + 12.0 * math.cos(b), head_y - 2.0 + 12.0 * math.sin(b))
    limb([(cx + 9.0, head_y - 1.0), right_hand], 1.2)

    # The note: stem rising from the right of the head, flag waving.
    stem_x = cx + 6.5
    parts.append(Part(Polygon([(stem_x - 1.8, head_y - 1.0), (stem_x - 1.8, 6.0 - hop),
                               (stem_x + 1.8, 6.0 - hop), (stem_x + 1.8, head_y - 1.0)]),
                      DANCER_BODY, DANCER_INK))
    wave = 3.0 * step
    parts.append(Part(Capsule(curve((stem_x, 7.5 - hop), (stem_x + 15.0, 12.0 - hop - wave),
                                    (stem_x + 11.0 + wave, 27.0 - hop - wave)), 2.4),
                      DANCER_BODY, DANCER_INK))

    def head_colour(x, y):
        dx, dy = x - (cx - 4.0), y - (head_y - 3.0)
        if dx * dx + dy * dy < 6.0:
            return DANCER_GLOSS
        if (x - cx) * 0.35 + (y - head_y) < -1.0:
            return DANCER_SHINE
        return DANCER_BODY

    parts.append(Part(Ellipse(cx, head_y, 11.0, 8.0, -20), head_colour, DANCER_INK))

    # Face: eyes, cheeks and a smile that widens with the dance.
    for ex in (cx - 4.5, cx + 2.0):
        parts.append(Part(Ellipse(ex, head_y - 1.0, 2.0, 2.6), EYE_WHITE, DANCER_INK))
        parts.append(Part(Ellipse(ex + 0.6 + step * 0.4, head_y - 0.6, 0.9, 1.3), DANCER_INK, None))
    parts.append(Part(Ellipse(cx - 7.5, head_y + 2.5, 1.6, 1.0), CHEEK, None))
    parts.append(Part(Ellipse(cx + 5.5, head_y + 1.5, 1.6, 1.0), CHEEK, None))
    parts.append(Part(Capsule(curve((cx - 3.0, head_y + 3.0), (cx - 1.0, head_y + 5.0 + 1.5 * step),
                                    (cx + 1.5, head_y + 2.5)), 0.7), MOUTH, None))

    # Gloves last, over everything they touch.
    for hand in (left_hand, right_hand):
        parts.append(Part(Ellipse(hand[0], hand[1], 2.6, 2.6), GLOVE, DANCER_INK))
    return parts


def about_frames():
    """Frame 0 stands, frame 1 bobs down for the bounce, frames 2 to 10 sweep
    from a small lean to the full kick; the view plays 0,1,0,1,2..10,9..1."""
    settings = [(0.0, 0.0, 0.0), (0.0, -2.0, 0.0)]
    for i in range(9):
        t = i / 8.0
        ease = 0.5 - 0.5 * math.cos(math.pi * t)
        settings.append((ease, 2.0 * math.sin(math.pi * t), -4.0 + 16.0 * ease))
    frames = []
    for step, hop, lean in settings:
        pose = Pose(lean, (34.0, 64.0), (0.0, 0.0))
        figure = render(68, 68, dancer_parts(step, hop), pose, samples=3)
        frames.append(figure.fill_transparent(BLUE_KEY))
    return frames
