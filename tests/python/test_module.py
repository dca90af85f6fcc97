"""The module's front door: classes, the template store and cache, processing
of static text, error conversion and thread binding."""
import threading
import time
import unittest

import tovarn
from tovarn import TovConfiguration, TovarnError


def template(source, name="t.tvl"):
    cfg = TovConfiguration()
    cfg.put_template(name, source)
    return cfg.get_template(name)


class ModuleTest(unittest.TestCase):
    def test_exports_and_error_type(self):
        self.assertTrue(issubclass(TovarnError, RuntimeError))
        self.assertEqual("tovarn.TovarnError", f"{TovarnError.__module__}.{TovarnError.__qualname__}")
        self.assertIsNone(TovarnError.__doc__)
        self.assertIs(tovarn.TovTemplate, type(template("x")))
        with self.assertRaises(TypeError):
            tovarn.TovTemplate()

    def test_docstrings_begin_with_text_signature(self):
        cases = [
            (TovConfiguration.put_template, "(self, name, source)"),
            (TovConfiguration.get_template, "(self, name)"),
            (tovarn.TovTemplate.process, "(self, root)"),
        ]
        for method, sig in cases:
            with self.subTest(method=method.__name__):
                self.assertEqual(sig, method.__text_signature__.replace("$", ""))

    def test_arguments_by_keyword_and_type_errors(self):
        cfg = TovConfiguration()
        cfg.put_template(name="k.tvl", source="kw")
        self.assertEqual("kw", cfg.get_template(name="k.tvl").process(root={}))
        with self.assertRaisesRegex(TypeError, "name"):
            cfg.put_template(1, "x")
        with self.assertRaisesRegex(TypeError, "source"):
            cfg.put_template("x", b"bytes")
        with self.assertRaises(TypeError):
            cfg.get_template()


class TemplateStoreTest(unittest.TestCase):
    def test_cache_keeps_the_first_source(self):
        cfg = TovConfiguration()
        cfg.put_template("a", "x")
        self.assertEqual("x", cfg.get_template("a").process({}))
        cfg.put_template("a", "y")
        self.assertEqual("x", cfg.get_template("a").process({}))

    def test_not_found_then_found_after_the_update_delay(self):
        cfg = TovConfiguration()
        with self.assertRaises(TovarnError) as cm:
            cfg.get_template("late.tvl")
        self.assertEqual('Template not found for name "late.tvl".', str(cm.exception))
        cfg.put_template("late.tvl", "here")
        with self.assertRaises(TovarnError):  # the negative entry holds for a second
            cfg.get_template("late.tvl")
        time.sleep(1.1)
        self.assertEqual("here", cfg.get_template("late.tvl").process({}))

    def test_names_are_stored_exactly(self):
        cfg = TovConfiguration()
        cfg.put_template("/lead.tvl", "slash")
        with self.assertRaises(TovarnError):
            cfg.get_template("lead.tvl")
        # The lookup normalises "/lead.tvl" to "lead.tvl", which is not stored either.
        with self.assertRaises(TovarnError) as cm:
            cfg.get_template("/lead.tvl")
        self.assertEqual('Template not found for name "/lead.tvl".', str(cm.exception))
        cfg.put_template("plain.tvl", "p")
        t = cfg.get_template("/plain.tvl")
        self.assertEqual("plain.tvl", t.name)
        self.assertEqual("p", t.process({}))

    def test_name_normalisation_errors(self):
        cfg = TovConfiguration()
        with self.assertRaises(TovarnError) as cm:
            cfg.get_template("../x.tvl")
        self.assertIn("doesn't stay within the template root directory", str(cm.exception))

    def test_each_call_returns_a_new_template_object(self):
        cfg = TovConfiguration()
        cfg.put_template("a", "x")
        self.assertIsNot(cfg.get_template("a"), cfg.get_template("a"))

    def test_template_outlives_its_configuration(self):
        t = template("still here")
        self.assertEqual("still here", t.process({}))

    def test_byte_order_mark(self):
        self.assertEqual("Hi", template("\ufeffHi").process({}))


class ProcessTest(unittest.TestCase):
    def test_static_text(self):
        self.assertEqual("Hello\r\nworld", template("Hello\r\nworld").process({}))

    def test_root_must_be_a_hash(self):
        t = template("x")
        for root in (None, 3, [1], "s"):
            with self.subTest(root=root), self.assertRaises(TovarnError) as cm:
                t.process(root)
            self.assertEqual("The data model must be a hash", str(cm.exception))

    def test_error_is_caught_as_runtime_error(self):
        try:
            template("<#-- open").process({})
        except RuntimeError as e:
            self.assertIsInstance(e, TovarnError)
        else:
            self.fail("no error")


class ThreadBindingTest(unittest.TestCase):
    def call_in_thread(self, fn):
        box = {}

        def run():
            try:
                fn()
            except BaseException as e:  # noqa: BLE001 - handed back to the test
                box["error"] = e

        th = threading.Thread(target=run)
        th.start()
        th.join()
        return box.get("error")

    def test_calls_from_another_thread_are_refused(self):
        cfg = TovConfiguration()
        cfg.put_template("a", "x")
        t = cfg.get_template("a")
        for fn in (lambda: cfg.put_template("b", "y"), lambda: cfg.get_template("a"),
                   lambda: t.process({}), lambda: t.name):
            err = self.call_in_thread(fn)
            self.assertIsInstance(err, RuntimeError)
            self.assertIn("is unsendable, but sent to another thread", str(err))
        self.assertEqual("x", t.process({}))  # the owner thread still works


if __name__ == "__main__":
    unittest.main()
