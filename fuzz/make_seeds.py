#!/usr/bin/env python3
"""Writes the hand-made and cut-down seed inputs of fuzz/corpus/<target>/seed-*.

    fuzz/make_seeds.py BUILD_DIR

BUILD_DIR holds ovltool and the default data tivrel.ovl. Seeds are small pieces of
our own default data (short streams, small archives packed by ovltool, meshes cut
down to a dozen vertices) and hand-made edge cases. The same build gives the same
files. Inputs that libFuzzer adds later (tools/fuzz.sh long) are named by their hash
and are left alone.
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(ROOT, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


# ---- Streams and archives ----

def pack_archive(ovltool, files):
    """An archive of {name: bytes} packed by ovltool."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in")
        os.mkdir(src)
        for name, data in files.items():
            with open(os.path.join(src, name), "wb") as f:
                f.write(data)
        out = os.path.join(tmp, "out.ovl")
        subprocess.run([ovltool, "pack", src, "-o", out], check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as f:
            return f.read()


def directory(archive):
    """[(name, offset, packed, unpacked)] and archiveStart of an archive."""
    start = len(archive) - struct.unpack_from("<I", archive, len(archive) - 4)[0]
    count = archive[start + 15]
    rows = []
    for i in range(count):
        raw = archive[start + 16 + 32 * i:start + 48 + 32 * i]
        name = raw[:12].rstrip(b"\0").decode("latin-1")
        rows.append((name,) + struct.unpack_from("<III", raw, 12))
    return rows, start


def streams(archive):
    rows, start = directory(archive)
    return {name: archive[start + off:start + off + packed] for name, off, packed, _ in rows}


def rename(archive, index, raw_name):
    """The archive with entry `index` renamed to the 12 raw bytes given (zero-padded)."""
    _, start = directory(archive)
    at = start + 16 + 32 * index
    return archive[:at] + raw_name.ljust(12, b"\0")[:12] + archive[at + 12:]


# Streams from the format's definition (hexadecimal).
HAND_STREAMS = {
    "abc": "17 00 61 62 63 00 00 00",
    "run-of-five": "49 00 61 FF 00 00 00",
    "shortest": "02 00 00 00 00",
    "no-op-token": "15 00 61 00 00 01 00 00 00",          # literal, no-op, end
    "long-9-from-1": "15 00 61 ff ff 00 00 00",           # literal, copy 9 from -1
    "extended-256": "15 00 61 ff f8 ff 00 00 00",         # literal, e = 255: copy 256 from -1
    "far-reach": "0a 00 00 01 00 00 00",                  # copy from -8,192 with nothing written
    "no-end-token": "ff ff 61 62 63",
    "sixteen-literals": "ff ff " + "41 " * 15 + "02 00 42 00 00 00",
    # 13 literals, then a short match whose length bits straddle two control words.
    "straddle": "ff 9f " + "41 " * 13 + "04 00 ff 00 00 00",
}


def stream_seeds(ovltool, entries):
    pieces = {
        "thx-head": entries["thx.scx"][:64],
        "lyrics-pix": entries["lyrics.scx"][778:1078],
        "movement": entries["movement.dat"][:200],
        "angrad1": entries["angrad1.dat"][:500],
        "music-head": entries["music.s3m"][:150],
        "stucco1": entries["stucco1.3ds"],
        "zeros": bytes(1000),
    }
    archive = pack_archive(ovltool, pieces)
    for name, stream in streams(archive).items():
        write("decoder", name, stream)
    for name, text in HAND_STREAMS.items():
        write("decoder", name, bytes.fromhex(text))

    rng = random.Random(1)
    noise = bytes(rng.randrange(256) for _ in range(8192))
    for name, data in pieces.items():
        if name in ("movement", "stucco1", "zeros", "thx-head"):
            write("pack_roundtrip", name, data)
    write("pack_roundtrip", "empty", b"")
    write("pack_roundtrip", "one-byte", b"\x5a")
    write("pack_roundtrip", "window-edge", noise + noise[:300])          # repeats from 8,192 back
    write("pack_roundtrip", "past-window", noise + b"\x00" + noise[:300])   # repeats from 8,193 back
    write("pack_roundtrip", "short-reach", bytes(rng.randrange(4) for _ in range(600)))

    small = pack_archive(ovltool, {"name1.scx": entries["name1.scx"][:800], "stucco1.3ds": entries["stucco1.3ds"],
                                   "empty.dat": b""})
    one = pack_archive(ovltool, {"abcdefgh.ijk": b"twelve chars" * 20})   # 12-character name
    two = pack_archive(ovltool, {"a.dat": b"first" * 10, "b.dat": b"second" * 10})
    for target in ("archive", "ovltool_unpack"):
        write(target, "small", small)
        write(target, "twelve-char-name", one)
        write(target, "two", two)
        write(target, "twin-names", rename(two, 1, b"a.dat"))
        write(target, "dot-dot", rename(two, 0, b".."))
        write(target, "slash", rename(two, 1, b"../x"))
    write("archive", "leading-bytes", b"leading bytes before the header" + small)
    write("archive", "truncated", small[:-40])
    write("archive", "no-entries", bytes(16) + struct.pack("<I", 20))


# ---- Meshes ----

def chunk(ident, payload):
    return struct.pack("<HI", ident, 6 + len(payload)) + payload


def children(data):
    at = 0
    while at + 6 <= len(data):
        ident, length = struct.unpack_from("<HI", data, at)
        yield ident, data[at + 6:at + length]
        at += length


def first_mesh(data):
    """(vertices, mapping, faces) of the first triangle mesh of a 3DS file."""
    def walk(body):
        for ident, payload in children(body):
            if ident in (0x3D3D, 0x4100):
                yield from walk(payload)
            elif ident == 0x4000:
                yield from walk(payload[payload.index(b"\0") + 1:])
            elif ident in (0x4110, 0x4120, 0x4140):
                yield ident, payload
    found = {}
    for ident, payload in walk(next(children(data))[1]):
        if ident not in found:
            found[ident] = payload
        if 0x4120 in found:
            break
    verts = [struct.unpack_from("<3f", found[0x4110], 2 + 12 * i) for i in range(struct.unpack_from("<H", found[0x4110])[0])]
    uv = found.get(0x4140)
    mapping = [struct.unpack_from("<2f", uv, 2 + 8 * i) for i in range(struct.unpack_from("<H", uv)[0])] if uv else None
    faces = [struct.unpack_from("<4H", found[0x4120], 2 + 8 * i) for i in range(struct.unpack_from("<H", found[0x4120])[0])]
    return verts, mapping, faces


def mesh_file(objects, extra=b""):
    """A 3DS file of [(name, vertices, mapping or None, faces)], `extra` chunks in the editor."""
    body = b""
    for name, verts, mapping, faces in objects:
        mesh = chunk(0x4110, struct.pack("<H", len(verts)) + b"".join(struct.pack("<3f", *v) for v in verts))
        if mapping is not None:
            mesh += chunk(0x4140, struct.pack("<H", len(mapping)) + b"".join(struct.pack("<2f", *m) for m in mapping))
        mesh += chunk(0x4120, struct.pack("<H", len(faces)) + b"".join(struct.pack("<4H", *f) for f in faces))
        body += chunk(0x4000, name + b"\0" + chunk(0x4100, mesh))
    return chunk(0x4D4D, chunk(0x3D3D, extra + body))


def cut(verts, mapping, faces, keep, max_faces):
    kept = [f for f in faces if max(f[:3]) < keep][:max_faces]
    return verts[:keep], (mapping[:keep] if mapping else None), kept


TETRA = ([(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)], [(0, 0), (1, 0), (0, 1), (0.5, 0.5)],
         [(0, 2, 1, 0), (0, 1, 3, 0), (0, 3, 2, 0), (1, 2, 3, 0)])


def mesh_seeds(entries):
    write("mesh", "stucco1", entries["stucco1.3ds"])
    for name in ("jo2", "jo6", "new4", "part5", "star"):
        verts, mapping, faces = first_mesh(entries[name + ".3ds"])
        write("mesh", name + "-cut", mesh_file([(name.encode(), *cut(verts, mapping, faces, 12, 16))]))
    light = chunk(0x4000, b"lamp\0" + chunk(0x4600, struct.pack("<3f", 10, 20, 30)))
    camera = chunk(0x4000, b"eye\0" + chunk(0x4700, bytes(32)))
    write("mesh", "two-objects", mesh_file([(b"one", *TETRA), (b"two", *TETRA)]))
    write("mesh", "empty-name", mesh_file([(b"", *TETRA)]))
    write("mesh", "no-mapping", mesh_file([(b"bare", TETRA[0], None, TETRA[2])]))
    write("mesh", "light-camera", mesh_file([(b"t", *TETRA)], light + camera) + chunk(0xB000, bytes(20)))
    write("mesh", "degenerate", mesh_file([(b"flat", [(0, 0, 0), (1, 1, 1), (2, 2, 2)], None, [(0, 1, 2, 0), (0, 0, 0, 0)])]))
    write("mesh", "scaled", mesh_file([(b"big", [(400 * x, 400 * y, 400 * z) for x, y, z in TETRA[0]], TETRA[1], TETRA[2])]))
    write("mesh", "empty-container", chunk(0x4D4D, chunk(0x3D3D, b"")) + mesh_file([(b"t", *TETRA)]))
    # Editor containers inside each other around the object: 6 fit the reader's levels, 7 do not.
    for depth in (6, 7):
        body = mesh_file([(b"t", *TETRA)])[12:]
        for _ in range(depth):
            body = chunk(0x3D3D, body)
        write("mesh", "nested-%d" % depth, chunk(0x4D4D, body))
    write("mesh", "not-3ds", b"MZ" + bytes(30))


# ---- Command lines ----

ARGUMENTS = [
    ["--windowed", "--no-dialog"],
    ["--mode", "640x480x32", "--fullscreen", "--nosound"],
    ["--mode=320x200x16", "--aspect=4:3", "--vsync"],
    ["--scene", "11", "--data", "build/tivrel.ovl"],
    ["--scene=17", "--aspect", "stretch", "--list-scenes"],
    ["--capture", "out", "--frames", "0:99,500,1200:1210", "--video", "demo.mp4", "--video-size", "1280x800"],
    ["--frames", "0:99"],
    ["--help"],
    ["-h", "--help=yes"],
    ["--scene", "0"],
    ["--scene", "99999"],
    ["--mode", "640x480"],
    ["--capture", "out", "--frames", "5:1"],
    ["--capture", "out", "--frames", "1,,2"],
    ["--capture", "out", "--frames", "4294967295:4294967296"],
    ["--data"],
    ["--unknown"],
]


def option_seeds():
    for i, words in enumerate(ARGUMENTS):
        write("options", "args-%02d" % i, b"\0".join(w.encode() for w in words))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    ovltool = os.path.join(build, "ovltool")
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([ovltool, "unpack", os.path.join(build, "tivrel.ovl"), tmp], check=True)
        entries = {}
        for name in os.listdir(tmp):
            with open(os.path.join(tmp, name), "rb") as f:
                entries[name] = f.read()
    stream_seeds(ovltool, entries)
    mesh_seeds(entries)
    option_seeds()


if __name__ == "__main__":
    main()
