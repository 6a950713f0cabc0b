"""Shapes for the pictures that move (the tray note and the About frames)."""

import math
from drawing.canvas import Canvas


# Each shape also has a box, (left, top, right, bottom), that holds all of
# it with room to spare: render asks contains() only of points inside it,
# which gives the same pixels at a fraction of the time.
SPARE = 1e-6


def box_of(points, r=0.0):
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return (min(xs) - r - SPARE, min(ys) - r - SPARE, max(xs) + r + SPARE, max(ys) + r + SPARE)


class Ellipse:
    def __init__(self, cx, cy, rx, ry, angle=0.0):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.cos, self.sin = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        self.box = box_of([(cx, cy)], max(rx, ry))

    def contains(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        u = dx * self.cos + dy * self.sin
        v = -dx * self.sin + dy * self.cos
        return (u / self.rx) ** 2 + (v / self.ry) ** 2 <= 1.0


class Capsule:
    """All points within r of the polyline through points."""

    def __init__(self, points, r):
        self.points, self.r = points, r
        self.box = box_of(points, r)

    def contains(self, x, y):
        r2 = self.r * self.r
        for (x1, y1), (x2, y2) in zip(self.points, self.points[1:]):
            dx, dy = x2 - x1, y2 - y1
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
            px, py = x1 + t * dx - x, y1 + t * dy - y
            if px * px + py * py <= r2:
                return True
        return False


class Polygon:
    def __init__(self, points):
        self.points = points
        self.box = box_of(points)

    def contains(self, x, y):
        inside = False
        pts = self.points
        for i in range(len(pts)):
            x1, y1 = pts[i]
            x2, y2 = pts[(i + 1) % len(pts)]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
        return inside


def curve(p0, p1, p2, steps=12):
    """Points of a quadratic Bezier curve."""
    out = []
    for i in range(steps + 1):
        t = i / steps
        a, b, c = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return out


class Part:
    """A shape with its colour; colour may depend on the local position."""

    def __init__(self, shape, colour, outline):
        self.shape = shape
        self.colour = colour if callable(colour) else (lambda x, y, c=colour: c)
        self.outline = outline


class Pose:
    """Rotation by angle degrees about a pivot, then a shift."""

    def __init__(self, angle=0.0, pivot=(0.0, 0.0), shift=(0.0, 0.0)):
        self.cos, self.sin = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        self.pivot, self.shift = pivot, shift

    def to_local(self, x, y):
        x -= self.shift[0] + self.pivot[0]
        y -= self.shift[1] + self.pivot[1]
        return (x * self.cos + y * self.sin + self.pivot[0],
                -x * self.sin + y * self.cos + self.pivot[1])


def render(width, height, parts, pose=None, samples=4):
    """Hard-edged rendering: each pixel takes the part that covers most of
    it (later parts lie on top); a pixel of a part that touches the outside
    gets that part's outline colour."""
    pose = pose or Pose()
    boxes = [part.shape.box for part in parts]
    labels = [[-1] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    lx, ly = pose.to_local(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    label = -1
                    for i in range(len(parts) - 1, -1, -1):
                        left, top, right, bottom = boxes[i]
                        if left <= lx <= right and top <= ly <= bottom and parts[i].shape.contains(lx, ly):
                            label = i
                            break
                    votes[label] = votes.get(label, 0) + 1
            labels[y][x] = max(votes, key=lambda k: (votes[k], k))
    c = Canvas(width, height)
    for y in range(height):
        for x in range(width):
            label = labels[y][x]
            if label < 0:
                continue
            part = parts[label]
            edge = any(not (0 <= x + dx < width and 0 <= y + dy < height) or labels[y + dy][x + dx] < 0
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge and part.outline:
                c.pixels[y][x] = part.outline
            else:
                lx, ly = pose.to_local(x + 0.5, y + 0.5)
                c.pixels[y][x] = part.colour(lx, ly)
    return c
