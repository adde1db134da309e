# The build the scripts use when none is named: the CMake preset ci under CI
# (warnings are errors), else dev. Sourced by the other scripts.
default_preset() { if [ -n "${CI:-}" ]; then echo ci; else echo dev; fi; }
