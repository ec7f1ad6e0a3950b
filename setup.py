"""Builds veldaris._core with the project's CMake build and puts it into the package."""

import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        source = os.path.dirname(os.path.abspath(__file__))
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        subprocess.run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        f"-DPython_EXECUTABLE={sys.executable}", "-DVELDARIS_BUILD_PYTHON=ON",
                        "-DVELDARIS_BUILD_GUI=OFF", "-DVELDARIS_BUILD_TESTS=OFF", "-DVELDARIS_BUILD_BENCHMARKS=OFF"],
                       check=True)
        subprocess.run(["cmake", "--build", build, "--target", "veldaris_python", "-j", "2"], check=True)
        (built,) = glob.glob(os.path.join(build, "python", "veldaris", "_core*.so"))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("veldaris._core", sources=[])], cmdclass={"build_ext": CMakeBuild})
