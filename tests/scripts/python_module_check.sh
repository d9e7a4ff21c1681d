# The Python module (built beside the program when pybind11 is installed):
# its pytest suite, against the command line on the bundled example.
. "$(dirname "$0")/check_lib.sh"
module=$(dirname "$program")/python
[ -d "$module/noiseclust" ] || skip "the Python module is not built (NOISECLUST_PYTHON is off)"
for m in numpy pandas scipy pytest; do need_python "$m"; done
cd "$work" && PYTHONPATH="$module" NOISECLUST_BINARY="$program" NOISECLUST_SOURCE="$source" \
    "$python" -m pytest -q -p no:cacheprovider "$source/tests/bindings/test_python_module.py"
