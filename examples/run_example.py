"""Renders examples/hello.tvl with a small data model and prints the result."""
import os

import tovarn

HERE = os.path.dirname(os.path.abspath(__file__))

cfg = tovarn.TovConfiguration()
with open(os.path.join(HERE, "hello.tvl"), encoding="utf-8") as f:
    cfg.put_template("hello.tvl", f.read())
print(cfg.get_template("hello.tvl").process({"user": "World"}), end="")
