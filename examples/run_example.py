"""Renders examples/hello.tvl with a small data model and prints the result."""
import datetime
import os

import tovarn

HERE = os.path.dirname(os.path.abspath(__file__))

cfg = tovarn.TovConfiguration()
cfg.set_date_format("yyyy-MM-dd")
with open(os.path.join(HERE, "hello.tvl"), encoding="utf-8") as f:
    cfg.put_template("hello.tvl", f.read())
data = {
    "user": {"name": "Ada", "level": "gold"},
    "today": datetime.date(2026, 12, 11),
    "balance": 1234.5,
    "orders": [{"item": "tea", "qty": 2}, {"item": "scones", "qty": 6}],
}
text = cfg.get_template("hello.tvl").process(data)
print(text, end="" if text.endswith("\n") else "\n")
