"""Error messages as Python sees them: locations, tips, the TVL stack trace,
the exception-handler modes and Python exceptions raised in callbacks."""
import unittest

from tovarn import TovConfiguration, TovarnError

TIP = ("If the failing expression is known to legally refer to something that's sometimes null or missing, "
       "either specify a default value like myOptionalVar!myDefault, or use "
       "<#if myOptionalVar??>when-present<#else>when-missing</#if>. (These only cover the last step of the "
       "expression; to cover the whole expression, use parenthesis: (myOptionalVar.foo)!myDefault, "
       "(myOptionalVar.foo)??")


def render(source, data=None, handler=None, name="t.tvl"):
    cfg = TovConfiguration()
    if handler is not None:
        cfg.set_template_exception_handler(handler)
    cfg.put_template(name, source)
    return cfg.get_template(name).process({} if data is None else data)


def error_of(source, data=None):
    try:
        render(source, data)
    except TovarnError as e:
        return str(e)
    raise AssertionError("no error")


class MessageTest(unittest.TestCase):
    def test_missing_variable(self):
        self.assertEqual(
            "The following has evaluated to null or missing:\n==> missing  [in template \"t.tvl\" at line 1, "
            "column 1]\n\n----\nTip: " + TIP + "\n----\n\n----\nTVL stack trace (\"~\" means nesting-related):\n"
            "\t- Failed at: ${missing}  [in template \"t.tvl\" at line 1, column 1]\n----",
            error_of("${missing}"))

    def test_member_of_missing_gets_the_dot_tip(self):
        msg = error_of("${user.name}", {"user": {}})
        self.assertTrue(msg.startswith("The following has evaluated to null or missing:\n==> user.name"), msg)
        self.assertIn("Tip: It's the step after the last dot that caused this error, not those before it.", msg)

    def test_if_condition_of_wrong_type(self):
        msg = error_of("<#if s>x</#if>", {"s": "text"})
        self.assertTrue(msg.startswith(
            "For \"#if\" condition: Expected a boolean, but this has evaluated to a string:\n==> s"), msg)

    def test_syntax_error(self):
        self.assertEqual("Syntax error in template \"t.tvl\" in line 2, column 3:\nUnclosed \"<#--\"",
                         error_of("x\n  <#-- open"))

    def test_python_exception_in_a_callback(self):
        def boom():
            raise ValueError("bad")
        msg = error_of("${f()}", {"f": boom})
        self.assertTrue(msg.startswith("ValueError: bad\n"), msg)
        self.assertIn("in boom", msg)  # the traceback follows
        self.assertIn("TVL stack trace", msg)

    def test_long_frame_descriptions_are_cut(self):
        msg = error_of("<#if aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa>x</#if>")
        self.assertIn("- Failed at: #if aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...  [in template", msg)


class HandlerTest(unittest.TestCase):
    def test_modes(self):
        message = error_of("a${missing}")
        debug = ("Tovarn template error (DEBUG mode; use RETHROW in production!):\n" + message +
                 "\n----\n(Java stack trace omitted)")
        html = (message.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                .replace('"', "&quot;").replace("'", "&#39;"))
        cases = [
            ("ignore", ""),
            ("IGNORE", ""),
            ("debug", debug),
            ("DEBUG", debug),
            ("html_debug", "Tovarn template error (DEBUG mode; use RETHROW in production!):\n" + html +
             "\n----\n(Java stack trace omitted)"),
        ]
        for handler, expected in cases:
            with self.subTest(handler=handler):
                self.assertEqual(expected, render("a${missing}", handler=handler))
        for handler in ("rethrow", "Rethrow"):
            with self.subTest(handler=handler), self.assertRaises(TovarnError) as cm:
                render("a${missing}", handler=handler)
            self.assertEqual(message, str(cm.exception))

    def test_handler_does_not_hide_syntax_errors(self):
        with self.assertRaises(TovarnError):
            render("<#-- open", handler="ignore")


if __name__ == "__main__":
    unittest.main()
