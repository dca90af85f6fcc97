"""Python values as template values and back: the wrap rules and capability
sets, numbers, strings, dates and zones, lookups, keys, sequences, calls,
the identity cache, PyObjectWrapper, TemplateModelAdapter and thread binding.

Templates cannot evaluate expressions yet, so most cases go through the
module's private test hooks (tovarn._tovarn._wrap_info and friends)."""
import datetime as dt
import enum
import gc
import threading
import unittest
import weakref

from tovarn import TovConfiguration, TovarnError
from tovarn import _tovarn as native
from tovarn._tovarn import PyObjectWrapper, TemplateModelAdapter

UNSENDABLE = "is unsendable, but sent to another thread"
PLUS2 = dt.timezone(dt.timedelta(hours=2))


def epoch(*args):
    """Seconds since 1970-01-01T00:00Z of a UTC wall time."""
    return int((dt.datetime(*args, tzinfo=dt.timezone.utc) - dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc))
               .total_seconds())


class Plain:
    pass


class Both:
    """Has an attribute x and an item x."""
    x = "attribute"
    nothing = None

    def __getitem__(self, key):
        if key == "x":
            return "item"
        if key == "only_item":
            return "item only"
        raise KeyError(key)


class Falsy:
    def __bool__(self):
        return False

    def __len__(self):
        return 0


class CallableDict(dict):
    def __call__(self, *args):
        return len(args)


class Color(enum.IntEnum):
    RED = 1


class StrIsWord(int):
    def __str__(self):
        return "word"


class NoOffset(dt.tzinfo):
    def utcoffset(self, d):
        return None


class BrokenZone(dt.tzinfo):
    def utcoffset(self, d):
        raise ValueError("no offset here")


def run_in_thread(fn):
    """Runs fn on another thread; returns the exception it raised, if any."""
    box = []

    def target():
        try:
            fn()
        except BaseException as e:  # handed back to the test thread
            box.append(e)
    t = threading.Thread(target=target)
    t.start()
    t.join()
    return box[0] if box else None


class WrapRulesTest(unittest.TestCase):
    def test_kind_and_capabilities_by_python_type(self):
        func = len
        cases = [
            (True, ("boolean", "Boolean", ["boolean"])),
            (False, ("boolean", "Boolean", ["boolean"])),
            # Numbers are numbers only: no string capability.
            (1, ("number", "Number", ["boolean", "number"])),
            (2 ** 70, ("number", "Number", ["boolean", "number"])),
            (1.5, ("number", "Number", ["boolean", "number"])),
            (Color.RED, ("number", "Number", ["boolean", "number"])),
            ("héllo", ("string", "String", ["scalar"])),
            ({"a": 1}, ("extended_hash", "Hash", ["boolean", "hash", "hash_ex"])),
            (CallableDict(), ("extended_hash", "Hash", ["boolean", "hash", "hash_ex", "method"])),
            ([1, 2], ("sequence", "Sequence", ["boolean", "collection", "sequence"])),
            ((1, 2), ("sequence", "Sequence", ["boolean", "collection", "sequence"])),
            (Plain(), ("python_object", "PythonObject", ["boolean", "hash", "scalar"])),
            (func, ("python_object", "PythonObject", ["boolean", "hash", "method", "scalar"])),
            (Plain, ("python_object", "PythonObject", ["boolean", "hash", "method", "scalar"])),
            (dt.date(2024, 5, 1), ("date", "Date", ["date"])),
            (dt.time(13, 5), ("date", "Date", ["date"])),
            (dt.datetime(2024, 5, 1, 12), ("date", "Date", ["date"])),
        ]
        for obj, expected in cases:
            with self.subTest(obj=obj):
                self.assertEqual(expected, native._wrap_info(obj))

    def test_none_is_no_value_but_null_where_a_value_must_exist(self):
        self.assertIsNone(native._wrap_info(None))
        self.assertIsNone(native._lookup({"a": None}, "a"))
        self.assertEqual([1, None], native._iterate([1, None]))
        self.assertIsNone(native._call(lambda: None))

    def test_unwrap_gives_back_the_identical_object(self):
        for obj in [{"a": 1}, [1], (1,), Plain(), len, 2 ** 70, 1.5, Color.RED, "text"]:
            with self.subTest(obj=obj):
                self.assertIs(obj, native._roundtrip(obj))

    def test_unwrap_of_converted_values(self):
        class S(str):
            pass
        cases = [
            (True, True),
            (S("sub"), "sub"),
            (None, None),
            (native._decimal("2.50"), 2.5),
            (native._decimal("2.00"), 2),
            (native._decimal("-7"), -7),
            (native._decimal("1E+3"), 1000),
            (native._decimal("0.1"), 0.1),
            (native._adapter({"a": 1, "b": [1, "x"]}), {"a": 1, "b": [1, "x"]}),
            (native._adapter([1, "x", None]), [1, "x", None]),
        ]
        for obj, expected in cases:
            with self.subTest(obj=obj):
                got = native._roundtrip(obj)
                self.assertEqual(expected, got)
                self.assertIs(type(expected), type(got))

    def test_adapter_values_come_back_as_themselves(self):
        hash_adapter = native._adapter({"k": "v"})
        self.assertEqual(("extended_hash", "Hash", ["hash", "hash_ex"]), native._wrap_info(hash_adapter))
        self.assertEqual(("BigDecimal", "2.50"), native._read(native._decimal("2.50"), "number"))


class NumberTest(unittest.TestCase):
    def test_host_width_is_kept(self):
        cases = [
            (1, ("Int", "1")),
            (-2 ** 31, ("Int", "-2147483648")),
            (2 ** 31 - 1, ("Int", "2147483647")),
            (2 ** 31, ("Long", "2147483648")),
            (2 ** 40, ("Long", "1099511627776")),
            (-2 ** 63, ("Long", "-9223372036854775808")),
            (2 ** 63, ("BigInteger", "9223372036854775808")),
            (2 ** 70, ("BigInteger", "1180591620717411303424")),
            (-2 ** 70, ("BigInteger", "-1180591620717411303424")),
            (1.5, ("Double", "1.5")),
            (1e20, ("Double", "100000000000000000000")),
            (Color.RED, ("Int", "1")),
            # An int subclass with its own str() is read by its value.
            (StrIsWord(2 ** 70), ("BigInteger", "1180591620717411303424")),
        ]
        for obj, expected in cases:
            with self.subTest(obj=obj):
                self.assertEqual(expected, native._read(obj, "number"))

    def test_numbers_and_containers_have_no_string(self):
        for obj in [1, 1.5, {"a": 1}, [1]]:
            with self.subTest(obj=obj), self.assertRaises(TovarnError):
                native._read(obj, "string")

    def test_truth_values(self):
        cases = [(0, False), (2, True), (0.0, False), ({}, False), ({"a": 0}, True), ([], False),
                 ([0], True), (Plain(), True), (Falsy(), False)]
        for obj, expected in cases:
            with self.subTest(obj=obj):
                self.assertIs(expected, native._read(obj, "boolean"))


class StringTest(unittest.TestCase):
    def test_text_is_read_as_utf8(self):
        for text in ["", "plain", "héllo wörld", "中文 ✓ 😀"]:
            with self.subTest(text=text):
                self.assertEqual(text, native._read(text, "string"))

    def test_str_of_objects_is_decoded_leniently(self):
        class Lone:
            def __str__(self):
                return "a\udc80b"

        class Named:
            def __str__(self):
                return "named ✓"
        self.assertEqual("a\ufffdb", native._read(Lone(), "string"))
        self.assertEqual("named ✓", native._read(Named(), "string"))

    def test_unencodable_str_fails_to_wrap(self):
        with self.assertRaises(UnicodeEncodeError):
            native._wrap_info("bad \ud800")

    def test_str_raising_becomes_an_error(self):
        class Boom:
            def __str__(self):
                raise ValueError("no text")
        with self.assertRaisesRegex(TovarnError, "ValueError: no text"):
            native._read(Boom(), "string")


class DateTest(unittest.TestCase):
    def test_conversion_in_both_directions(self):
        aware = dt.datetime(2024, 1, 1, 12, 0, tzinfo=PLUS2)
        cases = [
            # (value, time zone, (instant, nanos, offset, kind), back in Python)
            (dt.date(2024, 5, 1), None, (epoch(2024, 5, 1), 0, 0, "Date"), dt.date(2024, 5, 1)),
            (dt.date(2024, 5, 1), "GMT+02:00", (epoch(2024, 4, 30, 22), 0, 7200, "Date"), dt.date(2024, 5, 1)),
            (dt.date(1969, 12, 31), None, (-86400, 0, 0, "Date"), dt.date(1969, 12, 31)),
            (dt.time(13, 5), "Europe/Paris", (12 * 3600 + 5 * 60, 0, 3600, "Time"), dt.time(13, 5)),
            (dt.time(13, 5, 7, 123456), None, (13 * 3600 + 5 * 60 + 7, 123456000, 0, "Time"),
             dt.time(13, 5, 7, 123456)),
            (aware, None, (epoch(2024, 1, 1, 10), 0, 7200, "DateTime"), aware),
            (aware, "America/New_York", (epoch(2024, 1, 1, 10), 0, 7200, "DateTime"), aware),
            (dt.datetime(2024, 7, 1, 12), "Europe/Paris", (epoch(2024, 7, 1, 10), 0, 7200, "DateTime"),
             dt.datetime(2024, 7, 1, 12, tzinfo=PLUS2)),
            (dt.datetime(2024, 7, 1, 12, 0, 0, 5), None, (epoch(2024, 7, 1, 12), 5000, 0, "DateTime"),
             dt.datetime(2024, 7, 1, 12, 0, 0, 5, tzinfo=dt.timezone.utc)),
            (dt.datetime(2024, 7, 1, 12, tzinfo=NoOffset()), "GMT+01:00",
             (epoch(2024, 7, 1, 11), 0, 3600, "DateTime"),
             dt.datetime(2024, 7, 1, 12, tzinfo=dt.timezone(dt.timedelta(hours=1)))),
        ]
        for value, zone, stored, back in cases:
            with self.subTest(value=value, zone=zone):
                kw = {"time_zone": zone} if zone else {}
                self.assertEqual(stored, native._read(value, "date", **kw))
                got = native._roundtrip(value, **kw)
                self.assertEqual(back, got)
                self.assertIs(type(back), type(got))
                if isinstance(back, dt.datetime):
                    self.assertEqual(back.utcoffset(), got.utcoffset())

    def test_a_failing_utcoffset_is_the_error(self):
        with self.assertRaisesRegex(ValueError, "no offset here"):
            native._wrap_info(dt.datetime(2024, 1, 1, tzinfo=BrokenZone()))


class LookupTest(unittest.TestCase):
    def test_attribute_and_item_order(self):
        on, off = PyObjectWrapper(), PyObjectWrapper(attributes_shadow_items=False)
        cases = [
            (Both(), "x", on, "attribute"),
            (Both(), "x", off, "item"),
            (Both(), "only_item", on, "item only"),
            (Both(), "nothing", off, None),  # found None reads as missing
            (Both(), "absent", on, None),
            (Both(), "absent", off, None),
            # Mappings answer with their items only.
            ({"keys": 1}, "keys", on, 1),
            ({"a": 1}, "keys", on, None),
            ({"a": None}, "a", on, None),
            ({"nested": {"b": [1]}}, "nested", on, {"b": [1]}),
        ]
        for obj, key, wrapper, expected in cases:
            with self.subTest(obj=obj, key=key, shadow=wrapper.attributes_shadow_items):
                self.assertEqual(expected, native._lookup(obj, key, wrapper=wrapper))

    def test_only_key_and_attribute_errors_are_misses(self):
        class Picky(dict):
            def __getitem__(self, key):
                raise IndexError("picky")
        off = PyObjectWrapper(attributes_shadow_items=False)
        cases = [
            # A plain object cannot be subscripted: the TypeError fails the lookup.
            (Plain(), off, "TypeError: 'Plain' object is not subscriptable"),
            (Plain(), PyObjectWrapper(), "TypeError: 'Plain' object is not subscriptable"),
            (Picky(), off, "IndexError: picky"),
        ]
        for obj, wrapper, message in cases:
            with self.subTest(obj=obj), self.assertRaises(TovarnError) as cm:
                native._lookup(obj, "name", wrapper=wrapper)
            self.assertTrue(str(cm.exception).startswith(message), str(cm.exception))

    def test_many_distinct_keys_through_one_wrapper(self):
        wrapper = PyObjectWrapper()
        data = {f"k{i}": i for i in range(5000)}
        for _ in range(2):
            for i in range(5000):
                self.assertEqual(i, native._lookup(data, f"k{i}", wrapper=wrapper))

    def test_keys(self):
        class KeySetOnly(dict):
            @property
            def keys(self):
                raise AttributeError("keys")

            def keySet(self):
                return ["from keySet"]

        class NoKeys(dict):
            @property
            def keys(self):
                raise AttributeError("keys")

        class NumericKeys(dict):
            def keys(self):
                return iter([1, 2.5, None])
        self.assertEqual(["b", "a", "é"], native._keys({"b": 1, "a": 2, "é": 3}))
        self.assertEqual(["from keySet"], native._keys(KeySetOnly()))
        self.assertEqual(["1", "2.5", "None"], native._keys(NumericKeys()))
        with self.assertRaises(TovarnError) as cm:
            native._keys(NoKeys())
        self.assertEqual("AttributeError: '?keys' is not supported as there is no 'keys' nor 'keySet' "
                         "attribute on an instance of NoKeys", str(cm.exception))


class SequenceTest(unittest.TestCase):
    def test_items_size_and_null_items(self):
        cases = [
            ([1, None, "z"], 3, [1, None, "z"]),
            ((), 0, []),
            (("a", ("b",)), 2, ["a", ("b",)]),
        ]
        for seq, size, items in cases:
            with self.subTest(seq=seq):
                self.assertEqual(size, native._read(seq, "size"))
                self.assertEqual(items, native._iterate(seq))

    def test_get_past_the_end_and_none_items_are_null(self):
        adapter = native._adapter([10, None], native=False)
        self.assertEqual(10, adapter[0])
        self.assertIsNone(adapter[1])
        self.assertIsNone(adapter[7])

    def test_failing_item_is_an_error(self):
        class Bad(list):
            def __getitem__(self, i):
                raise RuntimeError("bad item")
        with self.assertRaisesRegex(TovarnError, "RuntimeError: bad item"):
            native._iterate(Bad([1]))


class CallTest(unittest.TestCase):
    def test_arguments_and_results(self):
        same = [1, 2]

        def echo(*args):
            return args
        cases = [
            (echo, (1, "x", None), (1, "x", None)),
            (echo, (native._decimal("2.50"), native._decimal("2.00")), (2.5, 2)),
            (echo, (native._adapter({"a": [1]}),), ({"a": [1]},)),
            (lambda x: x is same, (same,), True),
            (lambda: None, (), None),
            (len, ("abc",), 3),
            (CallableDict(), (1, 2), 2),
        ]
        for fn, args, expected in cases:
            with self.subTest(fn=fn, args=args):
                got = native._call(fn, *args)
                self.assertEqual(expected, got)
                self.assertEqual([type(v) for v in expected] if isinstance(expected, tuple) else type(expected),
                                 [type(v) for v in got] if isinstance(got, tuple) else type(got))

    def test_python_exception_becomes_an_error_with_traceback(self):
        def failing():
            raise ValueError("bad")
        with self.assertRaises(TovarnError) as cm:
            native._call(failing)
        message = str(cm.exception)
        self.assertTrue(message.startswith("ValueError: bad\n"), message)
        self.assertIn("in failing", message)
        self.assertIn('raise ValueError("bad")', message)

    def test_only_callables_have_a_method(self):
        for obj in [1, "s", {"a": 1}, [1], Plain()]:
            with self.subTest(obj=obj), self.assertRaises(TovarnError):
                native._call(obj)


class CacheTest(unittest.TestCase):
    def test_identity_cache(self):
        cached, uncached = PyObjectWrapper(use_cache=True), PyObjectWrapper()
        nested = {"inner": {"x": 1}}
        cases = [
            (nested, {}, cached, True),
            (nested, {}, uncached, False),
            (Plain(), {}, cached, True),
            (nested, {"key": "inner"}, cached, True),
            (nested, {"key": "inner"}, uncached, False),
        ]
        for obj, kw, wrapper, same in cases:
            with self.subTest(obj=obj, use_cache=wrapper.use_cache, **kw):
                self.assertIs(same, native._same_wrap(obj, wrapper=wrapper, **kw))

    def test_flag_changes_apply_to_later_wraps(self):
        wrapper = PyObjectWrapper()
        obj = {"a": 1}
        self.assertFalse(native._same_wrap(obj, wrapper=wrapper))
        wrapper.use_cache = True
        self.assertTrue(native._same_wrap(obj, wrapper=wrapper))

    def test_cache_lets_go_of_objects_with_its_last_owner(self):
        wrapper = PyObjectWrapper(use_cache=True)
        obj = Plain()
        ref = weakref.ref(obj)
        native._same_wrap(obj, wrapper=wrapper)
        del obj
        gc.collect()
        self.assertIsNotNone(ref(), "the cache keeps the object alive while the wrapper lives")
        del wrapper
        gc.collect()
        self.assertIsNone(ref())

    def test_configuration_releases_its_shared_variables(self):
        cfg = TovConfiguration()
        cfg.set_object_wrapper(PyObjectWrapper(use_cache=True))
        obj = Plain()
        ref = weakref.ref(obj)
        cfg.set_shared_variable("o", obj)
        cfg.set_shared_variable("o2", obj)
        del obj
        gc.collect()
        self.assertIsNotNone(ref())
        del cfg
        gc.collect()
        self.assertIsNone(ref())


class AdapterTest(unittest.TestCase):
    def test_protocol(self):
        hash_adapter = native._adapter({"x": 1, "s": "t", "none": None})
        seq_adapter = native._adapter([1, "two", None])
        py_hash = native._adapter({"k": [1]}, native=False)
        number = native._decimal("2.50")
        fn = native._adapter(lambda *a, **kw: list(a), native=False)
        cases = [
            # (adapter, len, bool, type name)
            (hash_adapter, 3, True, "extended_hash"),
            (native._adapter({}), 0, False, "extended_hash"),
            (seq_adapter, 3, True, "sequence"),
            (native._adapter([]), 0, False, "sequence"),
            (py_hash, 1, True, "extended_hash"),
            (native._adapter({}, native=False), 0, False, "extended_hash"),
            (number, 0, False, "number"),
            (fn, 0, True, "python_object"),
        ]
        for adapter, length, truth, name in cases:
            with self.subTest(name=name, length=length):
                self.assertIsInstance(adapter, TemplateModelAdapter)
                self.assertEqual(length, len(adapter))
                self.assertIs(truth, bool(adapter))
                self.assertEqual(name, adapter.template_model)

    def test_getitem(self):
        hash_adapter = native._adapter({"x": 1, "s": "t", "seq": [1]})
        seq_adapter = native._adapter([1, "two", None])
        number = native._decimal("2.50")
        values = [
            (hash_adapter, "x", 1),
            (hash_adapter, "s", "t"),
            (hash_adapter, "seq", [1]),
            (hash_adapter, "missing", None),
            (seq_adapter, 1, "two"),
            (seq_adapter, 2, None),
        ]
        for adapter, key, expected in values:
            with self.subTest(key=key):
                self.assertEqual(expected, adapter[key])
        refusals = [
            (seq_adapter, -1, TypeError, "index must be non-negative, got -1"),
            (seq_adapter, -2 ** 80, TypeError, f"index must be non-negative, got {-2 ** 80}"),
            (hash_adapter, 0, TypeError, "item lookup on non-sequence model (extended_hash)"),
            (seq_adapter, "k", TypeError, "item lookup on non-hash model (sequence)"),
            (number, 0, TypeError, "item lookup on non-sequence model (number)"),
            (number, "k", TypeError, "item lookup on non-hash model (number)"),
            (seq_adapter, 3, TovarnError, "Sequence index out of bounds: 3"),
        ]
        for adapter, key, error, message in refusals:
            with self.subTest(key=key, message=message), self.assertRaises(error) as cm:
                adapter[key]
            self.assertEqual(message, str(cm.exception))
        # bool keys are not indexes; other keys go through str().
        self.assertEqual("yes", native._adapter({"True": "yes"})[True])
        self.assertEqual("one", native._adapter({"1.5": "one"})[1.5])

    def test_call(self):
        seen = []

        def record(*args):
            seen.append(args)
            return {"n": len(args)}
        fn = native._adapter(record, native=False)
        self.assertEqual({"n": 2}, fn(1, None, ignored="kw"))
        self.assertEqual([(1, None)], seen)
        with self.assertRaises(TypeError) as cm:
            native._decimal("1")()
        self.assertEqual("call of non-method model (number)", str(cm.exception))

        def failing():
            raise ValueError("bad")
        with self.assertRaisesRegex(TovarnError, "^ValueError: bad"):
            native._adapter(failing, native=False)()

    def test_not_constructible(self):
        with self.assertRaises(TypeError):
            TemplateModelAdapter()


class PyObjectWrapperTest(unittest.TestCase):
    def test_construction(self):
        cases = [
            ((), {}, (True, False)),
            ((False,), {}, (False, False)),
            ((False, True), {}, (False, True)),
            ((), {"use_cache": True}, (True, True)),
            ((True,), {"use_cache": True}, (True, True)),
        ]
        for args, kwargs, expected in cases:
            with self.subTest(args=args, kwargs=kwargs):
                w = PyObjectWrapper(*args, **kwargs)
                self.assertEqual(expected, (w.attributes_shadow_items, w.use_cache))

    def test_argument_errors(self):
        cases = [
            ((1,), {}, "attributes_shadow_items"),
            ((), {"use_cache": "yes"}, "use_cache"),
            ((True, False, True), {}, "at most 2"),
            ((), {"other": True}, "other"),
            ((True,), {"attributes_shadow_items": True}, "multiple values"),
        ]
        for args, kwargs, text in cases:
            with self.subTest(args=args, kwargs=kwargs), self.assertRaisesRegex(TypeError, text):
                PyObjectWrapper(*args, **kwargs)

    def test_properties(self):
        w = PyObjectWrapper()
        w.attributes_shadow_items = False
        w.use_cache = True
        self.assertEqual((False, True), (w.attributes_shadow_items, w.use_cache))
        with self.assertRaisesRegex(TypeError, "use_cache"):
            w.use_cache = 1
        with self.assertRaises(TypeError):
            del w.attributes_shadow_items
        self.assertEqual((False, True), (w.attributes_shadow_items, w.use_cache))


class ConfigurationTest(unittest.TestCase):
    def test_module_order_and_docstrings(self):
        names = [n for n in vars(native) if not n.startswith("_")]
        self.assertEqual(["TovConfiguration", "TovTemplate", "PyObjectWrapper", "TemplateModelAdapter",
                          "TovarnError"], names)
        cases = [
            (TovConfiguration.set_object_wrapper, "(self, wrapper)"),
            (TovConfiguration.set_shared_variable, "(self, name, obj)"),
        ]
        for method, sig in cases:
            with self.subTest(method=method.__name__):
                self.assertEqual(sig, method.__text_signature__.replace("$", ""))

    def test_setters_accept_and_refuse(self):
        cfg = TovConfiguration()
        self.assertIsNone(cfg.set_object_wrapper(PyObjectWrapper(False, True)))
        self.assertIsNone(cfg.set_object_wrapper(wrapper=PyObjectWrapper()))
        self.assertIsNone(cfg.set_shared_variable("x", {"a": 1}))
        self.assertIsNone(cfg.set_shared_variable(name="none", obj=None))
        with self.assertRaisesRegex(TypeError, "wrapper"):
            cfg.set_object_wrapper({"attributes_shadow_items": True})
        with self.assertRaisesRegex(TypeError, "name"):
            cfg.set_shared_variable(1, "x")
        with self.assertRaises(UnicodeEncodeError):
            cfg.set_shared_variable("bad", "\ud800")

    def test_root_must_be_a_mapping_or_an_object(self):
        cfg = TovConfiguration()
        cfg.put_template("t", "static")
        template = cfg.get_template("t")
        for root in [None, 3, 1.5, True, "s", [1], (1,), dt.date(2024, 1, 1)]:
            with self.subTest(root=root), self.assertRaises(TovarnError) as cm:
                template.process(root)
            self.assertIn("The data model must be a hash", str(cm.exception))
        for root in [{}, Plain()]:
            with self.subTest(root=root):
                self.assertEqual("static", template.process(root))

    def test_wrapping_errors_propagate_unchanged(self):
        cfg = TovConfiguration()
        cfg.put_template("t", "static")
        with self.assertRaises(UnicodeEncodeError):
            cfg.get_template("t").process("\ud800")


class ThreadBindingTest(unittest.TestCase):
    def test_foreign_threads_are_refused(self):
        wrapper = PyObjectWrapper()
        adapter = native._adapter({"a": [1]})
        fn = native._adapter(len, native=False)
        cfg = TovConfiguration()

        def set_flag():
            wrapper.use_cache = True
        uses = {
            "wrapper get": lambda: wrapper.use_cache,
            "wrapper set": set_flag,
            "wrapper handed over": lambda: native._lookup({}, "a", wrapper=wrapper),
            "adapter len": lambda: len(adapter),
            "adapter bool": lambda: bool(adapter),
            "adapter getitem": lambda: adapter["a"],
            "adapter call": lambda: fn("x"),
            "adapter template_model": lambda: adapter.template_model,
        }
        for name, use in uses.items():
            with self.subTest(use=name):
                error = run_in_thread(use)
                self.assertIsInstance(error, RuntimeError)
                self.assertIn(UNSENDABLE, str(error))
        self.assertIsNone(run_in_thread(lambda: PyObjectWrapper().use_cache))
        self.assertFalse(wrapper.use_cache)
        error = run_in_thread(lambda: cfg.set_object_wrapper(wrapper))
        self.assertIn(UNSENDABLE, str(error))


if __name__ == "__main__":
    unittest.main()
