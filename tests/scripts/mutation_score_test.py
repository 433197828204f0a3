"""What scripts/mutation-score mutates, which mutants it picks, and that it leaves the sources as they were."""

import importlib.machinery
import importlib.util
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
    def test_leaves_comments_literals_preprocessor_and_non_operators_alone(self):
        source = "\n".join([
            "#include <vector>",
            "#define LIMIT (1 + 2 < 3)",
            "// if (a < b) x = 1;",
            "/* c == d",
            "   e = 4; */",
            'const char* t = "a < b + 1";',
            'auto r = R"(x == 2 - 1)";',
            "char c = '<';",
            "std::vector<std::pair<int, int>> v;",
            "out << value >> other;",
            "p->count++;",
            "auto n = static_cast<u32>(y);",
            "long big = 1'000;",
        ])
        # Only the constant, and the statement p->count++ dropped whole.
        self.assertEqual(mutated_lines(source), ["long big = 1001;", "{}"])

    def test_each_kind_of_mutant(self):
        cases = [
            # line, its mutants
            ("x = a + b;", ["x = a - b;", "{}"]),
            ("if (n >= limit) return;", ["if (!(n >= limit)) return;", "if (n > limit) return;"]),
            ("ok = static_cast<u32>(a) < b;", ["ok = static_cast<u32>(a) <= b;", "{}"]),
            ("total -= 0xFF;", ["total += 0xFF;", "total -= 0xFE;", "{}"]),
            ("mask = 0x00f;", ["mask = 0x010;", "{}"]),
            ("++count;", ["{}"]),
            ("if (p != nullptr) q = 7u;", ["if (!(p != nullptr)) q = 7u;", "if (p != nullptr) q = 8u;",
                                           "if (p == nullptr) q = 7u;"]),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                self.assertEqual(mutated_lines("void f() {\n" + line + "\n}"), sorted(expected))

    def test_declarations_are_not_dropped_nor_texts_subtracted(self):
        cases = [
            # line, kinds of mutant it must not give
            ("int x = y;", {"drop"}),
            ("const auto& r = z;", {"drop"}),
            ("T* p = q;", {"drop"}),
            ("std::vector<int> v = w;", {"drop", "flip"}),
            ("widget(const widget&) = delete;", {"drop"}),
            ('error = "bad " + name + "!";', {"arithmetic"}),
            ("if (std::ifstream file{path}) read(file);", {"negate"}),
        ]
        for line, forbidden in cases:
            with self.subTest(line=line):
                kinds = {m.kind for m in ms.find_mutants("m.cpp", "{\n" + line + "\n}")}
                self.assertFalse(kinds & forbidden, kinds)

    def test_platform_of_conditional_lines(self):
        source = "#ifdef _WIN32\nx = 1;\n#else\ny = 2;\n#endif\n#if 0\nz = 3;\n#endif\nw = 4;"
        found = {m.line: m.platform for m in ms.find_mutants("m.cpp", ";\n" + source)}
        self.assertEqual(found, {3: "win32", 5: "native", 10: ""})

    def test_a_table_row_gives_one_constant_and_a_guid_none(self):
        self.assertEqual(len(ms.find_mutants("m.cpp", "{\n  10, 20, 30, 40,\n")), 1)
        self.assertEqual(ms.find_mutants("m.cpp", "constexpr GUID g = {0x1, 0x2, 0x3, {0x4, 0x5}};"), [])
        split = ms.find_mutants("m.cpp", "constexpr GUID g = {\n    0x1, 0x2, {0x4, 0x5}};\nx = 1;")
        self.assertEqual({m.line for m in split}, {3})


class Sample(unittest.TestCase):
    def mutants(self, path, count):
        return [ms.Mutant(path, n + 1, 1, "flip", "", "m%d" % n, "", "") for n in range(count)]

    def test_spread_by_size_and_fixed_by_the_seed(self):
        files = {"a.cpp": self.mutants("a.cpp", 50), "b.cpp": self.mutants("b.cpp", 50),
                 "c.cpp": self.mutants("c.cpp", 1)}
        sizes = {"a.cpp": 300, "b.cpp": 150, "c.cpp": 50}
        chosen = ms.choose(files, sizes, 10, seed=1)
        per_file = {f: sum(1 for m in chosen if m.path == f) for f in files}
        self.assertEqual(per_file, {"a.cpp": 6, "b.cpp": 3, "c.cpp": 1})
        self.assertEqual(chosen, ms.choose(files, sizes, 10, seed=1))
        self.assertNotEqual(chosen, ms.choose(files, sizes, 10, seed=2))
        # Another file's edits leave this file's picks alone.
        files["b.cpp"] = self.mutants("b.cpp", 40)
        self.assertEqual([m for m in ms.choose(files, sizes, 10, seed=1) if m.path == "a.cpp"],
                         [m for m in chosen if m.path == "a.cpp"])


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

    def test_the_copy_follows_the_tree_and_keeps_unchanged_files(self):
        with tempfile.TemporaryDirectory() as source, tempfile.TemporaryDirectory() as copy:
            for name, text in (("keep.cpp", "k"), ("edit.cpp", "new")):
                with open(os.path.join(source, name), "w") as f:
                    f.write(text)
            os.makedirs(os.path.join(copy, "gone"))
            for name, text in (("keep.cpp", "k"), ("edit.cpp", "old"), ("gone/stale.cpp", "s")):
                with open(os.path.join(copy, name), "w") as f:
                    f.write(text)
            os.utime(os.path.join(copy, "keep.cpp"), ns=(1, 1))
            ms.sync_copy(source, copy, ["keep.cpp", "edit.cpp"])
            self.assertEqual(sorted(os.listdir(copy)), ["edit.cpp", "keep.cpp"])
            self.assertEqual(open(os.path.join(copy, "edit.cpp")).read(), "new")
            self.assertEqual(os.stat(os.path.join(copy, "keep.cpp")).st_mtime_ns, 1)
            self.assertEqual(open(os.path.join(source, "edit.cpp")).read(), "new")


if __name__ == "__main__":
    unittest.main()
