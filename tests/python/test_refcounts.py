"""Reference counts and memory stay where they were across many renders that
read Python dicts, lists and objects."""
import os
import sys
import unittest

from tovarn import TovConfiguration


class Item:
    def __init__(self, name):
        self.name = name


def rss_pages():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1])


class RefcountTest(unittest.TestCase):
    def test_renders_leave_reference_counts_and_memory_alone(self):
        cfg = TovConfiguration()
        cfg.put_template("t", "${d.k} ${xs[1]} ${o.name} ${d.missing!'-'} ${f(2)}")
        tpl = cfg.get_template("t")
        key_value = "value-" + "x" * 20
        d = {"k": key_value}
        xs = [10, 20, 30]
        o = Item("obj-name")
        f = lambda n: n * 2  # noqa: E731 - a callable in the data model
        data = {"d": d, "xs": xs, "o": o, "f": f}
        watched = [data, d, xs, o, f, key_value, o.name, xs[1]]

        self.assertEqual("value-xxxxxxxxxxxxxxxxxxxx 20 obj-name - 4", tpl.process(data))
        for _ in range(1000):  # warm-up: caches and allocator pools settle
            tpl.process(data)
        before = [sys.getrefcount(x) for x in watched]
        rss_before = rss_pages()
        for _ in range(20000):
            tpl.process(data)
        after = [sys.getrefcount(x) for x in watched]
        growth_kib = (rss_pages() - rss_before) * 4
        self.assertEqual(before, after)
        # The address sanitizer keeps freed memory in quarantine, so the
        # resident size only says something about leaks in a normal build.
        if not os.environ.get("TOVARN_SANITIZED"):
            self.assertLess(growth_kib, 1024, "memory grew while rendering the same template")


if __name__ == "__main__":
    unittest.main()
