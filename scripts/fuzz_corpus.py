#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/<target>/.

Property lists are written by Python's plistlib, as another tool or a host
leaves them; the other targets get a few inputs made by hand. The same files
every run: nothing here is random but for a fixed seed.
"""
import datetime
import pathlib
import plistlib
import random
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus"


def every_kind():
    return {
        "ascii": "plain text <&> longer than fifteen characters",
        "caf\u00e9 \U0001F600": "caf\u00e9 and an emoji \U0001F600",
        "a\x00b": "x\x00y",
        "yes": True, "no": False,
        "widths": [0, 255, 256, 65535, 65536, 2**32 - 1, 2**32, 2**63 - 1, -1, -2**63, 2**64 - 1],
        "reals": [0.1, -0.0, float("inf"), 1e308],
        "data": bytes(range(256)),
        "dates": [datetime.datetime(2025, 1, 1, 0, 0, 0, 250000), datetime.datetime(1, 1, 1),
                  datetime.datetime(9999, 12, 31, 23, 59, 59)],
        "nested": {"inner": {"k\x00": b"\x00\x01", "empty": [], "none": {}}},
    }


def shared_deeply(first, second):
    """A dictionary whose key 'a' holds a chain of `first` arrays and whose
    key 'b' reaches that same chain again below `second` arrays of its own."""
    chain = 1
    for _ in range(first):
        chain = [chain]
    below = chain
    for _ in range(second):
        below = [below]
    return {"a": chain, "b": below}


def binary(value):
    return plistlib.dumps(value, fmt=plistlib.FMT_BINARY, sort_keys=False)


def xml(value):
    return plistlib.dumps(value, fmt=plistlib.FMT_XML, sort_keys=False)


def xml_carriable():
    value = every_kind()
    del value["a\x00b"], value["nested"]
    value["dates"] = [datetime.datetime(1, 1, 1), datetime.datetime(9999, 12, 31, 23, 59, 59)]
    return value


def encoded(text, encoding, mark=b""):
    return mark + text.replace('encoding="UTF-8"', f'encoding="{encoding}"').encode(encoding)


def property_lists():
    """Binary and XML files of every kind, named by what they hold."""
    latin = xml({"caf\u00e9": "na\u00efve", "n": 1}).decode()
    files = {
        "every-kind.bplist": binary(every_kind()),
        "empty.bplist": binary({}),
        "many-objects.bplist": binary({"n": list(range(300))}),
        "shared-within-limit.bplist": binary(shared_deeply(250, 250)),
        "shared-past-limit.bplist": binary(shared_deeply(300, 300)),
        "every-kind.xml": xml(xml_carriable()),
        "utf16le-mark.xml": encoded(latin, "utf-16-le", b"\xff\xfe"),
        "utf16be-mark.xml": encoded(latin, "utf-16-be", b"\xfe\xff"),
        "utf32le-mark.xml": encoded(latin, "utf-32-le", b"\xff\xfe\x00\x00"),
        "utf8-mark.xml": b"\xef\xbb\xbf" + latin.encode(),
        "latin1-declared.xml": encoded(latin, "iso-8859-1"),
        "windows1252-declared.xml": encoded(latin.replace("na\u00efve", "\u20ac"), "cp1252"),
        "unknown-encoding.xml": latin.replace('encoding="UTF-8"', 'encoding="X-NO-SUCH"').encode(),
    }
    return files


def main():
    plists = property_lists()
    corpora = {
        "binary_property_list_fuzzer": {k: v for k, v in plists.items() if k.endswith(".bplist")},
        "xml_property_list_fuzzer": {k: v for k, v in plists.items() if k.endswith(".xml")},
        "user_defaults_fuzzer": dict(plists, **{"damaged.bplist": binary({"a": 1})[:-5]}),
        "notification_settings_fuzzer": {
            "opens.bin": b"\x00com.example.mail",
            "page-refused.bin": b"\x01com.example.My App",
            "all-refused.bin": b"\x07a&b=c?x:y@z/w#%",
            "not-utf8.bin": b"\x02com.example.\xff",
            "nul.bin": b"\x00a\x00b",
        },
    }
    rng = random.Random(20250101)
    corpora["titlebar_hit_test_fuzzer"] = {
        f"window-{i}.bin": bytes(rng.randrange(256) for _ in range(96)) for i in range(8)
    }
    corpora["titlebar_hit_test_fuzzer"]["wide-configured.bin"] = struct.pack(">64H", *range(64))
    for target, files in corpora.items():
        folder = ROOT / target
        folder.mkdir(parents=True, exist_ok=True)
        for old in folder.iterdir():
            old.unlink()
        for name, data in files.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
