#!/usr/bin/env python3
# make_seeds.py — writes the template sources found in tests/cases (the
# "templates" of every JSON case and the stripping/*.tvl files) into
# fuzz/seeds/, one file per source, named by a hash of its content.
import hashlib
import json
import pathlib

root = pathlib.Path(__file__).resolve().parent.parent
out = root / "fuzz" / "seeds"
out.mkdir(exist_ok=True)

sources = []
for f in sorted((root / "tests" / "cases").glob("*.json")):
    for case in json.loads(f.read_text(encoding="utf-8")):
        sources.extend(case.get("templates", {}).values())
for f in sorted((root / "tests" / "cases").rglob("*.tvl")):
    sources.append(f.read_text(encoding="utf-8"))

for s in sources:
    data = s.encode("utf-8")
    if len(data) > 4096:
        continue
    (out / hashlib.sha1(data).hexdigest()[:16]).write_bytes(data)
print(len(list(out.iterdir())), "seeds in", out)
