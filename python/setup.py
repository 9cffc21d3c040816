# Builds the extension contmon._core from the library's sources in the checkout (../core, ../design,
# ../outputs, ../include), with the compiler settings the programs are built with, so that the module's
# figures are the programs' to the last digit. The version is the project's, read from ../CMakeLists.txt.
import os
import re
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pybind11
from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
CMAKE_LISTS = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
VERSION = re.search(r"project\(contmon VERSION ([0-9.]+)", CMAKE_LISTS).group(1)
# The library's sources, as its CMake target lists them.
LIBRARY = re.search(r"add_library\(contmon_library STATIC(.*?)\)", CMAKE_LISTS, re.S).group(1).split()
SOURCES = [str(HERE / "contmon" / "_core.cpp")] + [str(ROOT / source) for source in LIBRARY]
# No contraction into fused multiply-adds and no value-changing optimisation: the figures are compared
# digit for digit with the programs'.
FLAGS = ["-std=c++20", "-O3", "-ffp-contract=off", "-fno-fast-math", "-fvisibility=hidden",
         "-Wall", "-Wextra", "-Wpedantic"]
# Python's own flags that do not fit C++ or only slow the build down.
DROPPED = {"-g", "-Wstrict-prototypes"}


class BuildExtension(build_ext):
    """Writes version.h, then compiles the sources CONTMON_JOBS (default 2) at a time."""

    def build_extensions(self):
        generated = Path(self.build_temp).resolve() / "generated"
        header = generated / "contmon" / "version.h"
        header.parent.mkdir(parents=True, exist_ok=True)
        text = (ROOT / "include/contmon/version.h.in").read_text(encoding="utf-8").replace("@PROJECT_VERSION@", VERSION)
        if not header.exists() or header.read_text(encoding="utf-8") != text:
            header.write_text(text, encoding="utf-8")
        for extension in self.extensions:
            extension.include_dirs.insert(0, str(generated))
        for attribute in ("compiler_so", "compiler_cxx", "linker_so"):
            command = getattr(self.compiler, attribute, None)
            if command:
                setattr(self.compiler, attribute, [word for word in command if word not in DROPPED])

        jobs = max(1, int(os.environ.get("CONTMON_JOBS", "2")))
        compile_one = self.compiler.compile

        def compile_all(sources, output_dir=None, **options):
            for obj in self.compiler.object_filenames(sources, output_dir=output_dir):
                os.makedirs(os.path.dirname(obj) or ".", exist_ok=True)
            with ThreadPoolExecutor(jobs) as pool:
                groups = pool.map(lambda source: compile_one([source], output_dir=output_dir, **options), sources)
                return [obj for group in groups for obj in group]

        self.compiler.compile = compile_all
        super().build_extensions()


setup(
    name="contmon",
    version=VERSION,
    description="Design and evaluate continuous monitoring rules for a single-arm trial's binary outcome",
    license="See LICENSE in the project's checkout",
    packages=["contmon"],
    package_data={"contmon": ["py.typed", "*.pyi"]},
    ext_modules=[
        Extension(
            "contmon._core",
            sources=SOURCES,
            include_dirs=[str(ROOT), str(ROOT / "include"), pybind11.get_include()],
            extra_compile_args=FLAGS,
            extra_link_args=["-pthread"],
            language="c++",
        )
    ],
    cmdclass={"build_ext": BuildExtension},
    python_requires=">=3.9",
    zip_safe=False,
)
