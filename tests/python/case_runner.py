"""Data-driven template cases.

A case is a dict:
    name       what the case shows
    templates  {template name: source}; the first one is processed unless
               "main" names another
    data       the data model (default {})
    settings   {setter method name: argument}, applied in order, e.g.
               {"set_output_encoding": "UTF-8"}
    expect     the exact output, or
    error      the exact TovarnError message, or
    error_starts / error_contains   a prefix / a part of that message

Files tests/cases/*.json hold lists of such cases; Python test modules may
also build cases in code (for data JSON cannot express) and call run_case.
"""
import glob
import json
import os

import tovarn

CASES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cases")


def load_case_files():
    """Yields (file name, list of cases) for every tests/cases/*.json file."""
    for path in sorted(glob.glob(os.path.join(CASES_DIR, "*.json"))):
        with open(path, encoding="utf-8") as f:
            yield os.path.basename(path), json.load(f)


def render(case):
    """Processes the case's main template; returns ("ok", text) or ("error", message)."""
    cfg = tovarn.TovConfiguration()
    for method, arg in case.get("settings", {}).items():
        getattr(cfg, method)(*(arg if isinstance(arg, list) else [arg]))
    templates = case["templates"]
    for name, source in templates.items():
        cfg.put_template(name, source)
    main = case.get("main", next(iter(templates)))
    try:
        return "ok", cfg.get_template(main).process(case.get("data", {}))
    except tovarn.TovarnError as e:
        return "error", str(e)


def run_case(test, case):
    """Checks one case inside `test` (a unittest.TestCase)."""
    kind, text = render(case)
    name = case.get("name", "")
    if "expect" in case:
        test.assertEqual(("ok", case["expect"]), (kind, text), name)
        return
    test.assertEqual("error", kind, f"{name}: expected an error, got output {text!r}")
    if "error" in case:
        test.assertEqual(case["error"], text, name)
    if "error_starts" in case:
        test.assertTrue(text.startswith(case["error_starts"]), f"{name}: {text!r}")
    if "error_contains" in case:
        test.assertIn(case["error_contains"], text, name)
