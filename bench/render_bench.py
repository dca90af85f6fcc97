"""Whole-render benchmark: tovarn against Jinja2 on the same pages.

Each scenario is rendered many times by both engines after one warm-up; the
table shows microseconds per render and the speed ratio. A scenario that
tovarn cannot render yet is reported as skipped.
"""
import time

import tovarn

try:
    import jinja2
except ImportError:  # the comparison is optional
    jinja2 = None

ROWS = [{"name": f"item {i}", "price": i * 1.25, "qty": i % 7} for i in range(50)]

SCENARIOS = [
    ("static text", "Hello, world!\n" * 50, "Hello, world!\n" * 50, {}),
    ("interpolations",
     "<p>${user} has ${count} messages</p>\n" * 20,
     "<p>{{ user }} has {{ count }} messages</p>\n" * 20,
     {"user": "Ada", "count": 12}),
    ("list of rows",
     "<table><#list rows as r><tr><td>${r.name}</td><td>${r.qty}</td></tr></#list></table>",
     "<table>{% for r in rows %}<tr><td>{{ r.name }}</td><td>{{ r.qty }}</td></tr>{% endfor %}</table>",
     {"rows": ROWS}),
]


def per_render_us(fn, n):
    fn()
    start = time.perf_counter()
    for _ in range(n):
        fn()
    return (time.perf_counter() - start) / n * 1e6


def main():
    print(f"{'scenario':<16} {'tovarn us':>10} {'jinja2 us':>10} {'ratio':>7}")
    for name, tvl, jinja_src, data in SCENARIOS:
        cfg = tovarn.TovConfiguration()
        cfg.put_template("t", tvl)
        try:
            tpl = cfg.get_template("t")
            tpl.process(data)
        except tovarn.TovarnError as e:
            print(f"{name:<16} skipped: {str(e).splitlines()[0][:60]}")
            continue
        n = 2000
        t_us = per_render_us(lambda: tpl.process(data), n)
        if jinja2 is None:
            print(f"{name:<16} {t_us:>10.2f} {'-':>10} {'-':>7}")
            continue
        jt = jinja2.Environment().from_string(jinja_src)
        j_us = per_render_us(lambda: jt.render(**data), n)
        print(f"{name:<16} {t_us:>10.2f} {j_us:>10.2f} {j_us / t_us:>6.1f}x")


if __name__ == "__main__":
    main()
