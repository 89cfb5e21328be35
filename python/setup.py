"""Builds and installs the Python module korvana.

The extension korvana._korvana is built by the project's CMake build (the
target korvana_python over libkorvana.a) and copied into the package:

    pip install --no-build-isolation --no-deps ./python

reuses the build in KORVANA_BUILD_DIR when it is set (for example
build/release, as scripts/test-all.sh sets it), otherwise it configures
build/python beside the sources (Release, no tests) and builds there.
Needs cmake, ninja-build, g++ and pybind11-dev (scripts/install-dependencies.sh).
"""

import os
import pathlib
import shutil
import subprocess

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.environ.get("KORVANA_BUILD_DIR")
        if build:
            build = pathlib.Path(build).resolve()
        else:
            build = ROOT / "build" / "python"
            subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                                   "-DCMAKE_BUILD_TYPE=Release", "-DKORVANA_BUILD_TESTS=OFF"])
        subprocess.check_call(["cmake", "--build", str(build), "--target", "korvana_python"])
        built = next((build / "python" / "korvana").glob("_korvana*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    name="korvana",
    version="1.0.0",
    description="Hierarchical cluster analysis across permutations of the objects",
    packages=["korvana"],
    package_data={"korvana": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("korvana._korvana", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    python_requires=">=3.9",
)
