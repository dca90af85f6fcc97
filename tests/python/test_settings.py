"""The setter methods and read-only attributes of TovConfiguration."""
import unittest

from tovarn import TovConfiguration


class SetterTest(unittest.TestCase):
    def test_defaults(self):
        cfg = TovConfiguration()
        self.assertEqual(("en_US", "number", "UTF-8"), (cfg.locale, cfg.number_format, cfg.output_encoding))

    def test_read_only_attributes(self):
        cfg = TovConfiguration()
        with self.assertRaises(AttributeError):
            cfg.locale = "de_DE"

    def test_accepted_and_refused_values(self):
        # (method, value, the ValueError message or None when accepted)
        cases = [
            ("set_locale", "de_DE", None),
            ("set_number_format", "0.00", None),
            ("set_date_format", "yyyy-MM-dd", None),
            ("set_time_format", "HH:mm", None),
            ("set_date_time_format", "iso", None),
            ("set_boolean_format", "yes,no", None),
            ("set_input_encoding", "ISO-8859-2", None),
            ("set_output_encoding", "UTF-16", None),
            ("set_url_escaping_charset", "UTF-8", None),
            ("set_time_zone", "gmt+2", None),
            ("set_time_zone", "Europe/Paris", None),
            ("set_time_zone", "UTC", None),
            ("set_time_zone", "Mars/Base", "Invalid time zone: Mars/Base"),
            ("set_time_zone", "GMT+24", "Invalid time zone: GMT+24"),
            ("set_c_format", "JSON", None),
            ("set_c_format", "JavaScript or JSON", None),
            ("set_c_format", "XS", None),
            ("set_c_format", "json", "Unknown C format: json"),
            ("set_output_format", "html", None),
            ("set_output_format", "HTML", None),
            ("set_output_format", "JS", None),
            ("set_output_format", "plainText", None),
            ("set_output_format", "Html", "Unknown output format: Html"),
            ("set_auto_escaping", "OFF", None),
            ("set_auto_escaping", "Default", None),
            ("set_auto_escaping", "sometimes", "Invalid auto escaping policy: sometimes"),
            ("set_template_exception_handler", "DEBUG", None),
            ("set_template_exception_handler", "html_debug", None),
            ("set_template_exception_handler", "loud", "Invalid template exception handler: loud"),
            ("set_lookup_strategy", "DEFAULT", None),
            ("set_lookup_strategy", "other", "Unknown lookup strategy: other"),
        ]
        for method, value, message in cases:
            with self.subTest(method=method, value=value):
                cfg = TovConfiguration()
                if message is None:
                    self.assertIsNone(getattr(cfg, method)(value))
                else:
                    with self.assertRaises(ValueError) as cm:
                        getattr(cfg, method)(value)
                    self.assertEqual(message, str(cm.exception))

    def test_stored_values_are_read_back(self):
        cfg = TovConfiguration()
        cfg.set_locale("de_DE")
        cfg.set_number_format("0.##")
        cfg.set_output_encoding("ISO-8859-1")
        self.assertEqual(("de_DE", "0.##", "ISO-8859-1"), (cfg.locale, cfg.number_format, cfg.output_encoding))

    def test_refused_value_leaves_setting_unchanged(self):
        cfg = TovConfiguration()
        cfg.set_output_encoding("UTF-16")
        with self.assertRaises(ValueError):
            cfg.set_c_format("json")
        self.assertEqual("UTF-16", cfg.output_encoding)

    def test_flag_setters(self):
        cfg = TovConfiguration()
        for method in ("set_strict_syntax", "set_whitespace_stripping", "set_classic_compatible",
                       "set_localized_lookup", "set_lazy_imports", "set_fallback_on_null_loop_variable"):
            with self.subTest(method=method):
                self.assertIsNone(getattr(cfg, method)(True))
                self.assertIsNone(getattr(cfg, method)(False))
                with self.assertRaises(TypeError):
                    getattr(cfg, method)("yes")
        self.assertIsNone(cfg.set_lazy_auto_imports(None))
        self.assertIsNone(cfg.set_lazy_auto_imports(True))
        with self.assertRaises(TypeError):
            cfg.set_lazy_auto_imports(1)

    def test_delay(self):
        cfg = TovConfiguration()
        self.assertIsNone(cfg.set_delay(5))
        self.assertIsNone(cfg.set_delay(delay=0))
        for bad, error in ((-1, OverflowError), (1.5, TypeError), (True, TypeError)):
            with self.subTest(value=bad), self.assertRaises(error):
                cfg.set_delay(bad)

    def test_argument_types_and_keywords(self):
        cfg = TovConfiguration()
        cfg.set_locale(locale="fr_FR")
        self.assertEqual("fr_FR", cfg.locale)
        with self.assertRaisesRegex(TypeError, "tz"):
            cfg.set_time_zone(3)
        with self.assertRaises(TypeError):
            cfg.set_locale(locale="x", extra=1)
        cfg.set_auto_import(namespace_var_name="lib", template_name="lib.tvl")
        cfg.set_auto_include("header.tvl")

    def test_strict_syntax_reaches_parsing(self):
        for strict, expected in ((True, "<if x>y</if>"), (False, None)):
            with self.subTest(strict=strict):
                cfg = TovConfiguration()
                cfg.set_strict_syntax(strict)
                cfg.put_template("t", "<if x>y</if>")
                if expected is not None:
                    self.assertEqual(expected, cfg.get_template("t").process({}))
                else:  # a legacy #if tag, not text
                    with self.assertRaises(RuntimeError):
                        cfg.get_template("t").process({})

    def test_output_encoding_reaches_processing(self):
        cfg = TovConfiguration()
        cfg.set_output_encoding("UTF-16")
        cfg.put_template("t", "hi")
        with self.assertRaises(RuntimeError) as cm:
            cfg.get_template("t").process({})
        self.assertEqual("template output is not valid UTF-8: invalid utf-8 sequence of 1 bytes from index 0",
                         str(cm.exception))
        cfg2 = TovConfiguration()
        cfg2.set_output_encoding("ISO-8859-1")
        cfg2.put_template("t", "é€")
        # é is one byte 0xE9 in ISO-8859-1, which is not valid UTF-8 either.
        with self.assertRaises(RuntimeError):
            cfg2.get_template("t").process({})
        cfg3 = TovConfiguration()
        cfg3.set_output_encoding("US-ASCII")
        cfg3.put_template("t", "a中")  # the label means windows-1252, which lacks 中
        self.assertEqual("a&#20013;", cfg3.get_template("t").process({}))

    def test_template_keeps_its_snapshot(self):
        cfg = TovConfiguration()
        cfg.put_template("t", "<if x>y</if>")
        cfg.set_strict_syntax(True)
        t = cfg.get_template("t")
        cfg.set_strict_syntax(False)
        self.assertEqual("<if x>y</if>", t.process({}))


if __name__ == "__main__":
    unittest.main()
