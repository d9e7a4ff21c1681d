# The R package: built from this checkout's engine, installed into a
# scratch library, then its checks against the command line on the bundled
# example. Run in the plain build only: the package is compiled by R with
# R's own flags, whatever the CMake build.
. "$(dirname "$0")/check_lib.sh"
command -v R > /dev/null || skip "R is not installed"
Rscript -e 'library(Rcpp)' > /dev/null 2>&1 || skip "R's Rcpp is not installed"
grep -q '^NOISECLUST_SANITIZE:BOOL=ON' "$(dirname "$program")/CMakeCache.txt" 2>/dev/null &&
    skip "the R package is checked in the build without sanitizers"
tarball=$(bash "$source/bindings/r/build-package.sh" "$work" 2> "$work/build.log") ||
    { cat "$work/build.log"; fail "R CMD build"; }
mkdir -p "$work/library"
MAKEFLAGS=-j2 R CMD INSTALL --no-test-load -l "$work/library" "$tarball" > "$work/install.log" 2>&1 ||
    { tail -30 "$work/install.log"; fail "R CMD INSTALL"; }
cd "$work" && R_LIBS="$work/library" NOISECLUST_BINARY="$program" NOISECLUST_SOURCE="$source" \
    Rscript "$source/tests/bindings/r_package_check.R" || fail "the R package's checks"
