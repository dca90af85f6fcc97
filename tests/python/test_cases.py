"""Runs every data-driven case of tests/cases/*.json through the real module."""
import unittest

from case_runner import load_case_files, run_case


class TemplateCases(unittest.TestCase):
    def test_case_files(self):
        count = 0
        for file_name, cases in load_case_files():
            for case in cases:
                with self.subTest(file=file_name, case=case.get("name")):
                    run_case(self, case)
                count += 1
        self.assertGreater(count, 0, "no case files found")


if __name__ == "__main__":
    unittest.main()
