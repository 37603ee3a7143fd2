#!/usr/bin/env bash
# Builds Quillory's Debian package and checks it:
#
#   scripts/package.sh     -> build-package/quillory_<version>-<revision>_amd64.deb
#
# A Release build without the tests in build-package/ (configured the first
# time only), CPack's DEB generator (the dependencies by Debian's own package
# names, from dpkg-shlibdeps), then lintian (no error allowed),
# desktop-file-validate and appstreamcli validate on the files as packaged.
# The package's path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=${QUILLORY_PACKAGE_DIR:-build-package}
if [ ! -f "$dir/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Debian's own build flags, with every hardening it offers.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DQUILLORY_BUILD_TESTS=OFF "${launcher[@]}" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
fi
cmake --build "$dir"
rm -f "$dir"/quillory_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
debs=("$dir"/quillory_*.deb)
deb=${debs[0]}

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

# The package's version is the changelog's newest.
changelog=$(dpkg-parsechangelog -l packaging/changelog -S Version)
version=$(dpkg-deb -f "$deb" Version)
[ "$changelog" = "$version" ] ||
    fail "the package is $version but packaging/changelog starts at $changelog"

# The files as the package holds them.
contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
for file in usr/bin/quillory usr/share/doc/quillory/guide.pdf usr/share/man/man1/quillory.1.gz \
    usr/bin/quillory-migrate usr/share/man/man1/quillory-migrate.1.gz \
    usr/share/doc/quillory/copyright usr/share/doc/quillory/changelog.Debian.gz; do
    [ -f "$contents/$file" ] || fail "$file is missing from the package"
done
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error --display-info "$deb"
echo "$deb"
