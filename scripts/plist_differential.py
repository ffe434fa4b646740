#!/usr/bin/env python3
"""Sets what the store reads beside what Python's plistlib reads, over
generated property lists of every kind, and prints counts by category.

    scripts/plist_differential.py [--count N] [--keep DIR] [PLIST_REREAD]

PLIST_REREAD is the fuzz preset's build/fuzz/fuzz/plist_reread (the store's
readers, writing what they read back in binary form). The files: plistlib's
binary and XML forms of random values (shared containers and deep nesting
among them), the XML transcoded into other encodings, and each of those
with a few bytes changed, as a fuzzer changes them. A file both read must
read the same; where one reads and the other refuses, the file's features
(found by a copy of plistlib's own parser that notes what it meets) say why.
"""
import argparse
import collections
import datetime
import io
import math
import pathlib
import plistlib
import random
import re
import struct
import subprocess
import sys
import tempfile

MAX_DEPTH = 512  # the store's limit, the top container counted


def same(a, b, met=None):
    """Equality that holds types apart (True from 1, 1 from 1.0) and tells
    -0.0 from 0.0; each pair of containers is compared once, so shared ones
    cost what they hold, not the paths to them."""
    met = set() if met is None else met
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return (math.isnan(a) and math.isnan(b)) or (
            a == b and math.copysign(1, a) == math.copysign(1, b))
    if not isinstance(a, (dict, list)):
        return a == b
    if (id(a), id(b)) in met:
        return True
    met.add((id(a), id(b)))
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k], met) for k in a)
    return len(a) == len(b) and all(same(x, y, met) for x, y in zip(a, b))


# ---- Values and files ----

def random_text(rng):
    alphabet = "abc \u00e9\u20ac\U0001F600<&>\t\n" + ("\x00" if rng.random() < 0.2 else "")
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(0, 20)))


def random_leaf(rng, xml):
    kind = rng.randrange(7)
    if kind == 0:
        text = random_text(rng)
        return text.replace("\x00", "") if xml else text
    if kind == 1:
        return rng.choice([True, False])
    if kind == 2:
        return rng.choice([0, 1, 255, 256, 65535, 65536, 2**32 - 1, 2**32, 2**63 - 1, -1,
                           -2**63, 2**64 - 1, rng.randrange(-2**63, 2**64)])
    if kind == 3:
        return rng.choice([0.5, -0.0, float("inf"), float("-inf"), 1e-300, rng.random()])
    if kind == 4:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(0, 40)))
    if kind == 5:
        micro = 0 if xml else rng.choice([0, 250000])
        return datetime.datetime(rng.randrange(1, 10000), rng.randrange(1, 13),
                                 rng.randrange(1, 29), rng.randrange(24), rng.randrange(60),
                                 rng.randrange(60), micro)
    return rng.random() * 1e6


def random_value(rng, xml, depth=0, pool=None):
    """A random value; in binary form, some containers are met again, which
    the file holds once (XML has no sharing: plistlib writes each path)."""
    pool = [] if pool is None else pool
    roll = rng.random()
    if not xml and depth > 0 and pool and roll < 0.15:
        return rng.choice(pool)
    if depth < 6 and roll < 0.55:
        if rng.random() < 0.5:
            value = [random_value(rng, xml, depth + 1, pool) for _ in range(rng.randrange(0, 18))]
        else:
            value = {random_text(rng).replace("\x00", "" if xml else "\x00"):
                     random_value(rng, xml, depth + 1, pool) for _ in range(rng.randrange(0, 18))}
        pool.append(value)
        return value
    return random_leaf(rng, xml)


def deep(levels, shared_at=None):
    """`levels` arrays around an integer; with `shared_at`, a dictionary
    whose 'a' holds a chain of `shared_at` arrays and whose 'b' holds it
    again below the rest."""
    if shared_at is None:
        value = 1
        for _ in range(levels):
            value = [value]
        return value
    chain = deep(shared_at)
    below = chain
    for _ in range(levels - shared_at):
        below = [below]
    return {"a": chain, "b": below}


# Python's codec, the byte-order mark written before the text (None when the
# codec writes its own or there is none), and the name the declaration gives.
ENCODINGS = [("utf-16-le", b"\xff\xfe", "UTF-16"), ("utf-16-be", b"\xfe\xff", "UTF-16"),
             ("utf-32-le", b"\xff\xfe\x00\x00", "UTF-32"),
             ("utf-32-be", b"\x00\x00\xfe\xff", "UTF-32"), ("utf-8", b"\xef\xbb\xbf", "UTF-8"),
             ("iso-8859-1", None, "ISO-8859-1"), ("cp1252", None, "windows-1252"),
             ("iso-8859-15", None, "ISO-8859-15"), ("utf-16", None, "UTF-16")]


def in_encoding(data, rng):
    text = data.decode()
    name, mark, declared = rng.choice(ENCODINGS)
    text = text.replace('encoding="UTF-8"', f'encoding="{declared}"')
    try:
        encoded = text.encode(name)
    except UnicodeEncodeError:
        return None, None
    return (mark or b"") + encoded, name


def mutated(data, rng):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 4)):
        where = rng.randrange(len(data))
        choice = rng.random()
        if choice < 0.6:
            data[where] = rng.randrange(256)
        elif choice < 0.8:
            data[where] ^= 1 << rng.randrange(8)
        else:
            data[where] = rng.choice([0x00, 0x0F, 0x08, 0x09, 0x10, 0x14, 0x15, 0x80, 0xA1,
                                      0xC1, 0xD1, 0xFF])
    return bytes(data)


def generate(count, rng):
    """(kind, bytes) for files of every kind."""
    for _ in range(count):
        value = random_value(rng, xml=False)
        yield "binary", plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False)
        yield "binary changed", mutated(plistlib.dumps(value, fmt=plistlib.FMT_BINARY), rng)
        yield "binary changed", mutated(plistlib.dumps(value, fmt=plistlib.FMT_BINARY), rng)
        xml = plistlib.dumps(random_value(rng, xml=True), fmt=plistlib.FMT_XML)
        yield "xml", xml
        yield "xml changed", mutated(xml, rng)
        encoded, name = in_encoding(xml, rng)
        if encoded is not None:
            yield f"xml in {name}", encoded
            yield "xml in another encoding, changed", mutated(encoded, rng)
    for levels in (MAX_DEPTH - 1, MAX_DEPTH, MAX_DEPTH + 1):
        yield "deep", plistlib.dumps(deep(levels), fmt=plistlib.FMT_BINARY)
        yield "deep, shared", plistlib.dumps(deep(levels, shared_at=levels // 2),
                                             fmt=plistlib.FMT_BINARY)


# ---- What plistlib meets in a binary file ----

class NotingParser(plistlib._BinaryPlistParser):
    """plistlib's binary parser, noting the features of what it reads."""

    def __init__(self):
        super().__init__(dict_type=dict)
        self.features = set()
        self.depth = 0
        self.max_depth = 0
        self.reading = set()

    def parse(self, fp):
        data = fp.getvalue()
        offset_size, _, num_objects, _, table = struct.unpack(">6xBBQQQ", data[-32:])
        self.table, self.trailer = table, len(data) - 32
        if table + offset_size * num_objects > self.trailer:
            self.features.add("offset table runs into the trailer")
        return super().parse(fp)

    def _get_size(self, tokenL):
        if tokenL == 0xF:
            marker = self._fp.read(1)[0]
            self._fp.seek(-1, 1)
            if marker >> 4 != 1 or marker & 0xF > 3:
                self.features.add("a count whose marker is not an integer of 1 to 8 bytes")
        return super()._get_size(tokenL)

    def _read_object(self, ref):
        if ref in self.reading:
            self.features.add("a container holding itself")
        offset = self._object_offsets[ref]
        self._fp.seek(offset)
        token = self._fp.read(1)[0]
        names = {0x00: "null", 0x0F: "fill byte read as data"}
        if token in names:
            self.features.add(names[token])
        elif token >> 4 == 0x8:
            self.features.add("UID")
        elif token >> 4 == 0x1 and token & 0xF not in (0, 1, 2, 3, 4):
            self.features.add("integer of another width than 1, 2, 4, 8 or 16 bytes")
        if offset < 8 or offset >= self.table:
            self.features.add("object outside the object area")
        self.reading.add(ref)
        self.depth += 1
        self.max_depth = max(self.max_depth, self.depth)
        try:
            result = super()._read_object(ref)
        finally:
            self.depth -= 1
            self.reading.discard(ref)
        if self._fp.tell() > self.table:
            self.features.add("object running into the offset table")
        if isinstance(result, dict) and any(not isinstance(k, str) for k in result):
            self.features.add("a key that is not a string")
        if isinstance(result, int) and not -2**63 <= result < 2**64:
            self.features.add("integer past 64 bits")
        return result


def nesting(value, heights=None):
    """Levels of containers along the deepest path, counting shared ones on
    every path they are met on; each container is measured once."""
    heights = {} if heights is None else heights
    if not isinstance(value, (list, dict)):
        return 0
    if id(value) not in heights:
        members = value.values() if isinstance(value, dict) else value
        heights[id(value)] = 1 + max((nesting(m, heights) for m in members), default=0)
    return heights[id(value)]


def binary_features(data):
    parser = NotingParser()
    try:
        value = parser.parse(io.BytesIO(data))
    except Exception:
        return parser.features
    if "a container holding itself" not in parser.features and nesting(value) > MAX_DEPTH:
        parser.features.add(f"nested past {MAX_DEPTH} levels (shared containers counted per path)")
    return parser.features


# ---- What plistlib passes over in an XML file ----

XML_KINDS = {"plist", "dict", "array", "key", "string", "integer", "real", "true", "false",
             "date", "data"}


def xml_features(data):
    text = None
    for mark, codec in ((b"\xef\xbb\xbf", "utf-8-sig"), (b"\xff\xfe\x00\x00", "utf-32"),
                        (b"\x00\x00\xfe\xff", "utf-32"), (b"\xff\xfe", "utf-16"),
                        (b"\xfe\xff", "utf-16")):
        if data.startswith(mark):
            text = data.decode(codec, "replace")
            break
    if text is None:
        declared = re.match(rb'<\?xml[^>]*encoding="([A-Za-z0-9._-]+)"', data)
        try:
            text = data.decode(declared.group(1).decode() if declared else "utf-8", "replace")
        except LookupError:
            return {"an encoding Python does not know"}
    features = set()
    if re.search(r"&(?!(lt|gt|amp|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);)", text):
        features.add("an undefined entity or a bare '&'")
    names = {m.group(1) for m in re.finditer(r"<([^\s/>!?]+)", text)}
    if names - XML_KINDS:
        features.add("an unknown element")
    body = re.sub(r"<(string|key|integer|real|date|data)>.*?</\1>", "", text, flags=re.S)
    body = re.sub(r"<\?.*?\?>|<!DOCTYPE[^>]*>|<!--.*?-->|<[^>]*>", "", body, flags=re.S)
    if body.strip():
        features.add("text between elements")
    for data_text in re.findall(r"<data>(.*?)</data>", text, flags=re.S):
        if re.search(r"[^A-Za-z0-9+/=\s]", data_text):
            features.add("data holding characters outside base64")
    return features


# ---- Reading ----

def plistlib_reads(data):
    try:
        return True, plistlib.loads(data)
    except RecursionError:
        return False, "RecursionError"
    except Exception as error:  # plistlib raises several kinds on bad files
        return False, type(error).__name__


def main():
    arguments = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    arguments.add_argument("tool", nargs="?", default="build/fuzz/fuzz/plist_reread")
    arguments.add_argument("--count", type=int, default=600, help="random values of each form")
    arguments.add_argument("--seed", type=int, default=1)
    arguments.add_argument("--keep", help="copy each disagreeing file into this folder")
    options = arguments.parse_args()
    sys.setrecursionlimit(10000)
    rng = random.Random(options.seed)
    counts = collections.Counter()
    reasons = collections.Counter()
    kept = pathlib.Path(options.keep) if options.keep else None
    if kept:
        kept.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        files = []
        for i, (kind, data) in enumerate(generate(options.count, rng)):
            path = pathlib.Path(folder) / f"{i}.plist"
            path.write_bytes(data)
            files.append((kind, path))
        for start in range(0, len(files), 500):
            batch = [str(path) for _, path in files[start:start + 500]]
            subprocess.run([options.tool, *batch], check=True, stdout=subprocess.DEVNULL)
        for kind, path in files:
            data = path.read_bytes()
            theirs_ok, theirs = plistlib_reads(data)
            reread = path.with_name(path.name + ".reread")
            ours_ok = reread.exists()
            if ours_ok and theirs_ok:
                ok, ours = plistlib_reads(reread.read_bytes())
                verdict = "both read, the same" if ok and same(ours, theirs) else \
                    "both read, DIFFERENT"
            elif ours_ok:
                verdict = "the store reads, plistlib refuses"
                reasons[(verdict, theirs)] += 1
            elif theirs_ok:
                verdict = "plistlib reads, the store refuses"
                features = binary_features(data) if data.startswith(b"bplist00") else \
                    xml_features(data)
                for feature in sorted(features) or ["(none of the noted features)"]:
                    reasons[(verdict, feature)] += 1
            else:
                verdict = "both refuse"
            counts[(kind, verdict)] += 1
            if kept and verdict not in ("both read, the same", "both refuse"):
                (kept / f"{verdict.split(',')[0].replace(' ', '-')}-{path.name}").write_bytes(data)
    kinds = sorted({kind for kind, _ in counts})
    verdicts = sorted({verdict for _, verdict in counts})
    print(f"{'files':40}" + "".join(f"{v[:26]:>28}" for v in verdicts))
    for kind in kinds:
        print(f"{kind:40}" + "".join(f"{counts[(kind, v)]:>28}" for v in verdicts))
    print(f"{'all':40}" + "".join(
        f"{sum(counts[(k, v)] for k in kinds):>28}" for v in verdicts))
    print("\nWhy, where one reads and the other refuses (a file may count under several):")
    for (verdict, reason), n in sorted(reasons.items()):
        print(f"  {verdict}: {reason}: {n}")
    different = sum(n for (_, v), n in counts.items() if "DIFFERENT" in v)
    return 1 if different else 0


if __name__ == "__main__":
    sys.exit(main())
