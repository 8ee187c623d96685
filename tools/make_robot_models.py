#!/usr/bin/env python3
"""Generates the 3D models of our robots as DirectX .x text files.

    tools/make_robot_models.py [OUTPUT_FOLDER] [--preview FOLDER]

Writes humanoid.x and arm.x (default folder: data/Robot files beside this script's parent).
With --preview it also renders a flat-shaded front and three-quarter view of each model as PNG
files, to look at the result without the editor.

How the models are built:
- Every joint is a frame named "ID_n" (the servo's bus ID). Its local Z axis is the servo's axis
  of rotation, so that turning the frame about its local Z axis (M' = Rz(a) x M, row vectors,
  a = (value - 512) x 300/1024 degrees) moves the limb as the servo does.
- Servos on the robot's left are mounted as mirror images of those on its right: their axes are
  the mirror images of the right side's axes, so a pose is mirrored by value -> 1023 - value.
- The geometry is laid out in the servos' centre position (512 everywhere) and then each joint
  frame is turned to its initial position from the profile, exactly as the editor turns it, so
  the file shows the robot in the pose the profile names.
- Boxes only, each with its own face normals and an inline material (the importer we use
  mis-resolves materials referenced by name). Numbers always as 1.000000.
- World: left-handed, +Y up, the robot faces -Z (towards a camera at z = -600); its right side
  is at -X.
"""

import math
import os
import struct
import sys
import zlib

UNIT = 0.0051132683  # radians per servo unit (300 degrees over 1024 units)


def add(a, b):
    return [a[i] + b[i] for i in range(3)]


def sub(a, b):
    return [a[i] - b[i] for i in range(3)]


def scale(a, s):
    return [x * s for x in a]


def dot(a, b):
    return sum(a[i] * b[i] for i in range(3))


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def normalize(a):
    length = math.sqrt(dot(a, a))
    return [x / length for x in a]


# 4x4 matrices as lists of rows; points are row vectors: p' = p x M.
def mat_mul(a, b):
    return [[sum(a[r][k] * b[k][c] for k in range(4)) for c in range(4)] for r in range(4)]


def mat_frame(x, y, z, origin):
    return [x + [0.0], y + [0.0], z + [0.0], list(origin) + [1.0]]


def mat_identity():
    return mat_frame([1.0, 0, 0], [0, 1.0, 0], [0, 0, 1.0], [0, 0, 0])


def mat_inverse_rigid(m):
    rot = [[m[c][r] for c in range(3)] for r in range(3)]  # transpose
    origin = m[3][:3]
    t = [-sum(origin[k] * rot[k][c] for k in range(3)) for c in range(3)]
    return [rot[0] + [0.0], rot[1] + [0.0], rot[2] + [0.0], t + [1.0]]


def rot_z(a):
    c, s = math.cos(a), math.sin(a)
    return [[c, s, 0.0, 0.0], [-s, c, 0.0, 0.0], [0.0, 0.0, 1.0, 0.0], [0.0, 0.0, 0.0, 1.0]]


def point_times(p, m):
    return [p[0] * m[0][c] + p[1] * m[1][c] + p[2] * m[2][c] + m[3][c] for c in range(3)]


def dir_times(d, m):
    return [d[0] * m[0][c] + d[1] * m[1][c] + d[2] * m[2][c] for c in range(3)]


def basis_for_axis(z):
    """An orthonormal frame (det +1) whose Z axis is z."""
    z = normalize(z)
    ref = [0.0, 1.0, 0.0] if abs(z[1]) < 0.9 else [1.0, 0.0, 0.0]
    x = normalize(cross(ref, z))
    y = cross(z, x)
    return x, y, z


class Box:
    def __init__(self, lo, hi, colour, power=20.0):
        self.lo, self.hi, self.colour, self.power = lo, hi, colour, power


class Frame:
    def __init__(self, name, origin, axis=None, joint=None):
        self.name = name
        self.origin = origin
        self.axis = axis  # world direction of the servo axis (joint frames)
        self.joint = joint  # (id, initial value) for joint frames
        self.children = []
        self.boxes = []
        self.parent = None

    def add(self, child):
        child.parent = self
        self.children.append(child)
        return child

    def neutral_world(self):
        if self.axis is None:
            return mat_frame([1.0, 0, 0], [0, 1.0, 0], [0, 0, 1.0], self.origin)
        x, y, z = basis_for_axis(self.axis)
        return mat_frame(x, y, z, self.origin)

    def local(self):
        """The local matrix written to the file: neutral placement, then the initial turn."""
        parent_world = self.parent.neutral_world() if self.parent else mat_identity()
        m = mat_mul(self.neutral_world(), mat_inverse_rigid(parent_world))
        if self.joint:
            m = mat_mul(rot_z((self.joint[1] - 512) * UNIT), m)
        return m


def joint_axis(line, probe, wanted):
    """The sign of the servo axis along line such that a positive turn moves a point at offset
    probe (from the joint) in the direction wanted."""
    line = normalize(line)
    return line if dot(cross(line, probe), wanted) > 0 else scale(line, -1.0)


def mirror_axis(axis):
    """The axis of the same servo mounted as a mirror image on the robot's other side."""
    return [-axis[0], axis[1], axis[2]]


# ---------------------------------------------------------------------------------------------
# The humanoid: 18 joints, IDs 1..18, odd IDs on the right, even IDs on the left.

RIGHT, LEFT = -1.0, 1.0
DOWN = [0.0, -1.0, 0.0]
FRONT = [0.0, 0.0, -1.0]

TORSO_BLUE = (0.16, 0.36, 0.78)
PELVIS_GREY = (0.30, 0.32, 0.36)
HEAD_WHITE = (0.90, 0.91, 0.93)
VISOR = (0.05, 0.12, 0.18)
EYE = (0.20, 0.85, 0.95)
SERVO_GREY = (0.22, 0.22, 0.25)
UPPER_ARM = (0.96, 0.55, 0.12)
FOREARM = (0.98, 0.78, 0.22)
HAND = (0.85, 0.85, 0.88)
THIGH = (0.10, 0.62, 0.52)
SHIN = (0.32, 0.78, 0.45)
FOOT = (0.86, 0.20, 0.24)
BASE_GREY = (0.35, 0.37, 0.40)
ARM_PURPLE = (0.50, 0.30, 0.75)
SENSOR_BLACK = (0.08, 0.08, 0.10)

HUMANOID_JOINTS = [
    # index, ID, name, initial position
    (0, 1, "Right shoulder pitch", 512),
    (1, 2, "Left shoulder pitch", 512),
    (2, 3, "Right shoulder roll", 452),
    (3, 4, "Left shoulder roll", 572),
    (4, 5, "Right elbow", 572),
    (5, 6, "Left elbow", 452),
    (6, 7, "Right hip yaw", 512),
    (7, 8, "Left hip yaw", 512),
    (8, 9, "Right hip roll", 512),
    (9, 10, "Left hip roll", 512),
    (10, 11, "Right hip pitch", 512),
    (11, 12, "Left hip pitch", 512),
    (12, 13, "Right knee", 512),
    (13, 14, "Left knee", 512),
    (14, 15, "Right ankle pitch", 512),
    (15, 16, "Left ankle pitch", 512),
    (16, 17, "Right ankle roll", 512),
    (17, 18, "Left ankle roll", 512),
]


def centred_box(centre, size, colour):
    half = scale(size, 0.5)
    return Box(sub(centre, half), add(centre, half), colour)


def build_humanoid():
    initial = {jid: value for _, jid, _, value in HUMANOID_JOINTS}
    root = Frame("Humanoid", [0.0, 0.0, 0.0])
    body = root.add(Frame("Body", [0.0, 0.0, 0.0]))
    body.boxes += [
        centred_box([0, 55, 0], [90, 90, 50], TORSO_BLUE),
        centred_box([0, 60, -27], [50, 40, 6], PELVIS_GREY),  # chest plate
        centred_box([0, -5, 0], [80, 30, 44], PELVIS_GREY),
    ]
    head = body.add(Frame("Head", [0.0, 100.0, 0.0]))
    head.boxes += [
        centred_box([0, 105, 0], [20, 10, 20], SERVO_GREY),  # neck
        centred_box([0, 135, 0], [52, 50, 50], HEAD_WHITE),
        centred_box([0, 138, -26], [42, 16, 4], VISOR),
        centred_box([-10, 138, -28.5], [8, 6, 2], EYE),
        centred_box([10, 138, -28.5], [8, 6, 2], EYE),
    ]

    for side, (pitch_id, roll_id, elbow_id) in ((RIGHT, (1, 3, 5)), (LEFT, (2, 4, 6))):
        sx = side
        shoulder = [sx * 57.0, 90.0, 0.0]

        def axis(right_axis):
            return right_axis if side == RIGHT else mirror_axis(right_axis)

        pitch_axis = axis(joint_axis([1, 0, 0], DOWN, FRONT))  # right arm: positive lifts it forward
        roll_axis = axis(joint_axis([0, 0, 1], DOWN, [RIGHT, 0, 0]))  # right arm: positive lifts it sideways
        elbow_axis = axis(joint_axis([1, 0, 0], DOWN, FRONT))  # right forearm: positive bends it forward
        pitch = body.add(Frame("ID_%d" % pitch_id, shoulder, pitch_axis, (pitch_id, initial[pitch_id])))
        pitch.boxes.append(centred_box(add(shoulder, [sx * 2, 0, 0]), [18, 24, 28], SERVO_GREY))
        roll = pitch.add(Frame("ID_%d" % roll_id, add(shoulder, [sx * 10, 0, 0]), roll_axis,
                               (roll_id, initial[roll_id])))
        roll.boxes.append(centred_box(add(shoulder, [sx * 12, -32, 0]), [22, 60, 22], UPPER_ARM))
        elbow_at = add(shoulder, [sx * 12, -65, 0])
        elbow = roll.add(Frame("ID_%d" % elbow_id, elbow_at, elbow_axis, (elbow_id, initial[elbow_id])))
        elbow.boxes += [
            centred_box(elbow_at, [24, 14, 24], SERVO_GREY),
            centred_box(add(elbow_at, [0, -30, 0]), [20, 50, 20], FOREARM),
            centred_box(add(elbow_at, [0, -63, 0]), [16, 18, 24], HAND),
        ]

    leg_ids = {RIGHT: (7, 9, 11, 13, 15, 17), LEFT: (8, 10, 12, 14, 16, 18)}
    for side in (RIGHT, LEFT):
        sx = side
        yaw_id, roll_id, pitch_id, knee_id, ankle_pitch_id, ankle_roll_id = leg_ids[side]

        def axis(right_axis):
            return right_axis if side == RIGHT else mirror_axis(right_axis)

        hip = [sx * 25.0, -22.0, 0.0]
        yaw = body.add(Frame("ID_%d" % yaw_id, hip, axis(joint_axis([0, 1, 0], FRONT, [RIGHT, 0, 0])),
                             (yaw_id, initial[yaw_id])))  # right toe turns outward
        yaw.boxes.append(centred_box(add(hip, [0, -8, 0]), [24, 12, 26], SERVO_GREY))
        hip_joint = add(hip, [0, -22, 0])
        roll = yaw.add(Frame("ID_%d" % roll_id, hip_joint, axis(joint_axis([0, 0, 1], DOWN, [RIGHT, 0, 0])),
                             (roll_id, initial[roll_id])))  # right leg swings outward
        pitch = roll.add(Frame("ID_%d" % pitch_id, hip_joint, axis(joint_axis([1, 0, 0], DOWN, FRONT)),
                               (pitch_id, initial[pitch_id])))  # right leg swings forward
        pitch.boxes += [
            centred_box(hip_joint, [30, 18, 30], SERVO_GREY),
            centred_box(add(hip_joint, [0, -38, 0]), [28, 58, 28], THIGH),
        ]
        knee_at = add(hip_joint, [0, -72, 0])
        knee = pitch.add(Frame("ID_%d" % knee_id, knee_at, axis(joint_axis([1, 0, 0], DOWN, [0, 0, 1])),
                               (knee_id, initial[knee_id])))  # right knee bends backward
        knee.boxes += [
            centred_box(knee_at, [30, 14, 30], SERVO_GREY),
            centred_box(add(knee_at, [0, -36, 0]), [26, 56, 26], SHIN),
        ]
        ankle_at = add(knee_at, [0, -70, 0])
        ankle_pitch = knee.add(Frame("ID_%d" % ankle_pitch_id, ankle_at,
                                     axis(joint_axis([1, 0, 0], FRONT, [0, 1, 0])),
                                     (ankle_pitch_id, initial[ankle_pitch_id])))  # right toe lifts
        ankle_pitch.boxes.append(centred_box(ankle_at, [26, 12, 26], SERVO_GREY))
        ankle_roll = ankle_pitch.add(Frame("ID_%d" % ankle_roll_id, ankle_at,
                                           axis(joint_axis([0, 0, 1], [RIGHT, 0, 0], [0, 1, 0])),
                                           (ankle_roll_id, initial[ankle_roll_id])))  # right outer edge lifts
        ankle_roll.boxes.append(centred_box(add(ankle_at, [sx * 3, -14, -8]), [44, 10, 70], FOOT))
    return root


# ---------------------------------------------------------------------------------------------
# The arm: a turntable, shoulder, elbow and gripper; two sensor modules on the gripper.

ARM_JOINTS = [
    (0, 1, "Base turn", 512),
    (1, 2, "Shoulder", 452),
    (2, 3, "Elbow", 652),
    (3, 4, "Gripper", 512),
]


def build_arm():
    initial = {jid: value for _, jid, _, value in ARM_JOINTS}
    root = Frame("Arm", [0.0, 0.0, 0.0])
    base = root.add(Frame("Base", [0.0, 0.0, 0.0]))
    base.boxes.append(centred_box([0, -150, 0], [160, 20, 160], BASE_GREY))
    turn_at = [0.0, -140.0, 0.0]
    turn = base.add(Frame("ID_1", turn_at, joint_axis([0, 1, 0], FRONT, [RIGHT, 0, 0]), (1, initial[1])))
    turn.boxes += [
        centred_box([0, -120, 0], [70, 40, 70], SERVO_GREY),
        centred_box([0, -85, 0], [40, 30, 40], ARM_PURPLE),
    ]
    shoulder_at = [0.0, -75.0, 0.0]
    up = [0.0, 1.0, 0.0]
    shoulder = turn.add(Frame("ID_2", shoulder_at, joint_axis([1, 0, 0], up, FRONT), (2, initial[2])))
    shoulder.boxes += [
        centred_box(shoulder_at, [56, 30, 30], SERVO_GREY),
        centred_box([0, -15, 0], [30, 110, 30], UPPER_ARM),
    ]
    elbow_at = [0.0, 45.0, 0.0]
    elbow = shoulder.add(Frame("ID_3", elbow_at, joint_axis([1, 0, 0], up, FRONT), (3, initial[3])))
    elbow.boxes += [
        centred_box(elbow_at, [50, 26, 26], SERVO_GREY),
        centred_box([0, 95, 0], [24, 90, 24], FOREARM),
    ]
    wrist_at = [0.0, 145.0, 0.0]
    gripper = elbow.add(Frame("ID_4", wrist_at, joint_axis([0, 0, 1], up, [RIGHT, 0, 0]), (4, initial[4])))
    gripper.boxes += [
        centred_box(wrist_at, [40, 16, 30], SERVO_GREY),
        centred_box([-14, 168, 0], [8, 34, 18], HAND),
        centred_box([14, 168, 0], [8, 34, 18], HAND),
        centred_box([0, 145, -18], [16, 10, 6], SENSOR_BLACK),  # distance sensor
    ]
    return root


# ---------------------------------------------------------------------------------------------
# Writing .x text

def fmt(x):
    if abs(x) < 5e-7:
        x = 0.0
    return "%.6f" % x


def box_faces(box):
    """24 vertices (4 per face), 12 triangles and 6 normals of a box given in world space."""
    lo, hi = box.lo, box.hi
    faces = [
        ([1, 0, 0], [[hi[0], lo[1], lo[2]], [hi[0], hi[1], lo[2]], [hi[0], hi[1], hi[2]], [hi[0], lo[1], hi[2]]]),
        ([-1, 0, 0], [[lo[0], lo[1], lo[2]], [lo[0], lo[1], hi[2]], [lo[0], hi[1], hi[2]], [lo[0], hi[1], lo[2]]]),
        ([0, 1, 0], [[lo[0], hi[1], lo[2]], [lo[0], hi[1], hi[2]], [hi[0], hi[1], hi[2]], [hi[0], hi[1], lo[2]]]),
        ([0, -1, 0], [[lo[0], lo[1], lo[2]], [hi[0], lo[1], lo[2]], [hi[0], lo[1], hi[2]], [lo[0], lo[1], hi[2]]]),
        ([0, 0, 1], [[lo[0], lo[1], hi[2]], [hi[0], lo[1], hi[2]], [hi[0], hi[1], hi[2]], [lo[0], hi[1], hi[2]]]),
        ([0, 0, -1], [[lo[0], lo[1], lo[2]], [lo[0], hi[1], lo[2]], [hi[0], hi[1], lo[2]], [hi[0], lo[1], lo[2]]]),
    ]
    vertices, triangles, normals, normal_faces = [], [], [], []
    for n, quad in faces:
        base = len(vertices)
        vertices += quad
        normals.append(n)
        for tri in ((0, 1, 2), (0, 2, 3)):
            a, b, c = (quad[i] for i in tri)
            # Front faces are clockwise seen from outside: (b-a) x (c-a) points outward.
            if dot(cross(sub(b, a), sub(c, a)), n) < 0:
                tri = (tri[0], tri[2], tri[1])
            triangles.append(tuple(base + i for i in tri))
            normal_faces.append((len(normals) - 1,) * 3)
    return vertices, triangles, normals, normal_faces


def write_matrix(out, m, indent):
    values = [fmt(m[r][c]) for r in range(4) for c in range(4)]
    out.append(indent + "FrameTransformMatrix {")
    out.append(indent + "  " + ",".join(values) + ";;")
    out.append(indent + "}")


def write_mesh(out, frame, box, index, indent):
    to_local = mat_inverse_rigid(frame.neutral_world())
    vertices, triangles, normals, normal_faces = box_faces(box)
    vertices = [point_times(v, to_local) for v in vertices]
    normals = [dir_times(n, to_local) for n in normals]
    i2 = indent + "  "
    out.append(indent + "Mesh %s_Mesh%d {" % (frame.name, index))
    out.append(i2 + "%d;" % len(vertices))
    out.append(",\n".join(i2 + "%s;%s;%s;" % tuple(fmt(x) for x in v) for v in vertices) + ";")
    out.append(i2 + "%d;" % len(triangles))
    out.append(",\n".join(i2 + "3;%d,%d,%d;" % t for t in triangles) + ";")
    out.append(i2 + "MeshNormals {")
    out.append(i2 + "  %d;" % len(normals))
    out.append(",\n".join(i2 + "  %s;%s;%s;" % tuple(fmt(x) for x in n) for n in normals) + ";")
    out.append(i2 + "  %d;" % len(normal_faces))
    out.append(",\n".join(i2 + "  3;%d,%d,%d;" % f for f in normal_faces) + ";")
    out.append(i2 + "}")
    out.append(i2 + "MeshMaterialList {")
    out.append(i2 + "  1;")
    out.append(i2 + "  %d;" % len(triangles))
    out.append(i2 + "  " + ",".join("0" for _ in triangles) + ";")
    r, g, b = box.colour
    out.append(i2 + "  Material {")
    out.append(i2 + "    %s;%s;%s;1.000000;;" % (fmt(r), fmt(g), fmt(b)))
    out.append(i2 + "    %s;" % fmt(box.power))
    out.append(i2 + "    0.300000;0.300000;0.300000;;")
    out.append(i2 + "    0.000000;0.000000;0.000000;;")
    out.append(i2 + "  }")
    out.append(i2 + "}")
    out.append(indent + "}")


def write_frame(out, frame, indent=""):
    out.append(indent + "Frame %s {" % frame.name)
    write_matrix(out, frame.local(), indent + "  ")
    for i, box in enumerate(frame.boxes):
        write_mesh(out, frame, box, i, indent + "  ")
    for child in frame.children:
        write_frame(out, child, indent + "  ")
    out.append(indent + "}")


def model_text(root, title):
    out = ["xof 0303txt 0032", "", "// %s, generated by tools/make_robot_models.py: edit the generator, not this file." % title, ""]
    write_frame(out, root)
    return "\n".join(out) + "\n"


def profile_text(model_file, joints, sensors):
    lines = ["Model file:%s" % model_file, "Number of joints:%d" % len(joints)]
    lines += ["%d:%d:%s:%d" % j for j in joints]
    lines.append("Number of sensors:%d" % len(sensors))
    lines += ["%d:%d:%s" % s for s in sensors]
    return "\r\n".join(lines) + "\r\n"


# ---------------------------------------------------------------------------------------------
# Preview: a tiny flat-shaded rasteriser writing PNG, for looking at the models without the editor.

def world_triangles(root):
    result = []

    def walk(frame, parent_world):
        world = mat_mul(frame.local(), parent_world)
        to_local = mat_inverse_rigid(frame.neutral_world())
        for box in frame.boxes:
            vertices, triangles, _, _ = box_faces(box)
            placed = [point_times(point_times(v, to_local), world) for v in vertices]
            for t in triangles:
                result.append(([placed[i] for i in t], box.colour))
        for child in frame.children:
            walk(child, world)

    walk(root, mat_identity())
    return result


def render_png(root, path, yaw_degrees, size=320):
    yaw = math.radians(yaw_degrees)
    c, s = math.cos(yaw), math.sin(yaw)
    eye_distance, focal = 600.0, size / (2 * math.tan(math.pi / 8))
    light = normalize([0.3, 0.5, -1.0])
    pixels = [[(255, 255, 255)] * size for _ in range(size)]
    depth = [[1e9] * size for _ in range(size)]
    for tri, colour in world_triangles(root):
        view = [[p[0] * c + p[2] * s, p[1], -p[0] * s + p[2] * c + eye_distance] for p in tri]
        n = normalize(cross(sub(view[1], view[0]), sub(view[2], view[0])))
        if dot(n, view[0]) >= 0:  # facing away from the camera
            continue
        shade = 0.3 + 0.7 * abs(dot(n, light))
        col = tuple(min(255, int(255 * ch * shade)) for ch in colour)
        pts = [(size / 2 + focal * v[0] / v[2], size / 2 - focal * v[1] / v[2], v[2]) for v in view]
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        x0, x1 = max(0, int(min(xs))), min(size - 1, int(max(xs)) + 1)
        y0, y1 = max(0, int(min(ys))), min(size - 1, int(max(ys)) + 1)
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = pts
        area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
        if abs(area) < 1e-9:
            continue
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px, py = x + 0.5, y + 0.5
                w0 = ((bx - px) * (cy - py) - (by - py) * (cx - px)) / area
                w1 = ((cx - px) * (ay - py) - (cy - py) * (ax - px)) / area
                w2 = 1 - w0 - w1
                if w0 < 0 or w1 < 0 or w2 < 0:
                    continue
                z = w0 * az + w1 * bz + w2 * cz
                if z < depth[y][x]:
                    depth[y][x] = z
                    pixels[y][x] = col
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(os.path.dirname(here), "data", "Robot files")
    preview = None
    args = list(argv)
    if "--preview" in args:
        i = args.index("--preview")
        preview = args[i + 1]
        del args[i:i + 2]
    if args:
        folder = args[0]
    os.makedirs(folder, exist_ok=True)
    models = [
        ("humanoid.x", "The 18-joint humanoid", build_humanoid(), "default.rbt", HUMANOID_JOINTS,
         [(0, 100, "Sensor module")]),
        ("arm.x", "The 4-joint arm", build_arm(), "arm.rbt", ARM_JOINTS,
         [(0, 100, "Distance sensor"), (1, 101, "Touch sensor")]),
    ]
    for model_file, title, root, profile, joints, sensors in models:
        with open(os.path.join(folder, model_file), "w", newline="\n") as f:
            f.write(model_text(root, title))
        with open(os.path.join(folder, profile), "w", newline="") as f:
            f.write(profile_text(model_file, joints, sensors))
        if preview:
            os.makedirs(preview, exist_ok=True)
            stem = os.path.splitext(model_file)[0]
            render_png(root, os.path.join(preview, stem + "-front.png"), 0)
            render_png(root, os.path.join(preview, stem + "-side.png"), 35)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
