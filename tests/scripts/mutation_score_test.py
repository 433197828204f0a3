"""What scripts/mutation-score mutates, which mutants it picks, how it scores them, and that it leaves the
sources as they were."""

import contextlib
import importlib.machinery
import importlib.util
import io
import os
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_loader = importlib.machinery.SourceFileLoader("mutation_score", os.path.join(ROOT, "scripts", "mutation-score"))
_spec = importlib.util.spec_from_loader("mutation_score", _loader)
ms = importlib.util.module_from_spec(_spec)
_loader.exec_module(ms)


def mutated_lines(source):
    return sorted(m.mutated.strip() for m in ms.find_mutants("module/x.cpp", source))


class SiteFinder(unittest.TestCase):
    def test_leaves_comments_literals_preprocessor_and_declarations_alone(self):
        source = "\n".join([
            "#define LIMIT (1 + 2 < 3)",
            "// if (a < b) x = 1;",
            "/* c == d */",
            'const char* t = "a < b + 1";',
            "std::vector<std::pair<int, int>> v;",
            "int x = y;",
            "p->count++;",
            "long big = 1'000;",
        ])
        # Only the constant, and the statement p->count++ dropped whole.
        self.assertEqual(mutated_lines(source), ["long big = 1001;", "{}"])

    def test_each_kind_of_mutant(self):
        cases = [
            ("x = a + b;", ["x = a - b;", "{}"]),
            ("if (n >= limit) return;", ["if (!(n >= limit)) return;", "if (n > limit) return;"]),
            ("total -= 0xFF;", ["total += 0xFF;", "total -= 0xFE;", "{}"]),
            ("if (p != nullptr) q = 7u;", ["if (!(p != nullptr)) q = 7u;", "if (p != nullptr) q = 8u;",
                                           "if (p == nullptr) q = 7u;"]),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                self.assertEqual(mutated_lines("void f() {\n" + line + "\n}"), sorted(expected))

    def test_platform_of_conditional_lines(self):
        source = "#ifdef _WIN32\nx = 1;\n#else\ny = 2;\n#endif\n#if 0\nz = 3;\n#endif\nw = 4;"
        found = {m.line: m.platform for m in ms.find_mutants("m.cpp", ";\n" + source)}
        self.assertEqual(found, {3: "win32", 5: "native", 10: ""})


class Sample(unittest.TestCase):
    def test_spread_by_size_and_fixed_by_the_seed(self):
        def mutants(path, count):
            return [ms.Mutant(path, n + 1, 1, "flip", "", "m%d" % n, "", "") for n in range(count)]

        files = {"a.cpp": mutants("a.cpp", 50), "b.cpp": mutants("b.cpp", 50), "c.cpp": mutants("c.cpp", 1)}
        sizes = {"a.cpp": 300, "b.cpp": 150, "c.cpp": 50}
        chosen = ms.choose(files, sizes, 10, seed=1)
        per_file = {f: sum(1 for m in chosen if m.path == f) for f in files}
        self.assertEqual(per_file, {"a.cpp": 6, "b.cpp": 3, "c.cpp": 1})
        self.assertEqual(chosen, ms.choose(files, sizes, 10, seed=1))
        self.assertNotEqual(chosen, ms.choose(files, sizes, 10, seed=2))

    def test_score_counts_timeouts_as_killed_and_leaves_uncompiled_out(self):
        mutant = ms.Mutant("module/x.cpp", 1, 1, "flip", "", "m", "", "")
        results = ["killed", "timed out", "survived", "survived", "not compiled"]
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            ms.report([ms.Outcome(mutant, r, 1.0) for r in results], 61, "header")
        self.assertRegex(out.getvalue(), r"module\s+4\s+1\s+2\s+1\s+50%\s+1 not compiled")

    def test_recheck_takes_the_caught_mutants_of_an_earlier_output(self):
        output = [
            "mutation-score: seed 1, 150 of 8318 mutants; building the unmutated trees under build/mutation\n",
            "[1/150] component/input_ambrel.cpp:145 negate `if (extension == nullptr)`: killed (4 s)\n",
            "[2/150] component/input_ambrel.h:63 `0` -> `1`: survived (11 s)\n",
            "[3/150] sample/x_win32.cpp:98 `a ? b : c` `<` -> `<=`: timed out (240 s)\n",
            "[4/150] module/xm.cpp:12 drop `x = 1;`: not compiled (9 s)\n",
        ]
        self.assertEqual(ms.caught_mutants(output), {
            ("component/input_ambrel.cpp:145", "negate `if (extension == nullptr)`"),
            ("sample/x_win32.cpp:98", "`a ? b : c` `<` -> `<=`"),
        })


class Sources(unittest.TestCase):
    def test_a_mutant_is_put_back_even_when_its_run_fails(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "x.cpp")
            with open(path, "w") as f:
                f.write("int f() {\n    return a < b;\n}\n")
            mutant = next(m for m in ms.find_mutants("x.cpp", open(path).read()) if m.kind == "flip")
            with self.assertRaises(RuntimeError):
                with ms.MutatedFile(path, mutant):
                    self.assertIn("a <= b", open(path).read())
                    raise RuntimeError("build broke")
            self.assertEqual(open(path).read(), "int f() {\n    return a < b;\n}\n")


if __name__ == "__main__":
    unittest.main()
