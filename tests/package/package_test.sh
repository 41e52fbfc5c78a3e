#!/usr/bin/env bash
# The Debian packages as a user gets them: made with CPack from the build
# folder, listed, checked, installed with dpkg into a scratch root (never the
# real system), run from there, and removed again. It needs no root: dpkg is
# told so. The programs' package is checked closely; the library's three are
# used as other builds use them. lintian finds no error or warning in any.
#
# package_test.sh BUILD_FOLDER VERSION WITH_DIALOG(ON|OFF) SOURCE_FOLDER
set -euo pipefail

build=$1 version=$2 dialog=$3 source_folder=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected=(
  usr/bin/exqrv
  usr/bin/qrvtool
  usr/share/man/man1/exqrv.1.gz
  usr/share/man/man1/qrvtool.1.gz
  usr/share/doc/exqrv/copyright
  usr/share/doc/exqrv/changelog.gz
  usr/share/applications/exqrv.desktop
  usr/share/metainfo/org.example.exqrv.metainfo.xml
  usr/share/file/exqrv
  usr/share/icons/hicolor/32x32/apps/exqrv.png
  usr/share/icons/hicolor/64x64/apps/exqrv.png
  usr/share/mime/packages/exqrv.xml
  usr/share/bash-completion/completions/qrvtool
  usr/share/bash-completion/completions/exqrv
  usr/share/exqrv/recoll/mimemap
  usr/share/exqrv/recoll/mimeconf
)
[ "$dialog" = ON ] && expected+=("usr/lib/$multiarch/exqrv/exqrv-dialog.so")

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack did not make the package"; }
packages=(exqrv libexqrv1 libexqrv-dev python3-exqrv)
for package in "${packages[@]}"; do
  [ -f "$scratch/out/${package}_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "no package $package among: $(ls "$scratch/out")"
done
[ "$(ls "$scratch"/out/*.deb | wc -l)" -eq ${#packages[@]} ] || fail "more packages than expected: $(ls "$scratch/out")"
debs=("$scratch"/out/*.deb)
deb=$(ls "$scratch"/out/exqrv_*.deb)

echo "== lintian"
lintian --pedantic --display-info "${debs[@]}" 2>/dev/null | tee "$scratch/lintian" || true
! grep -E '^[EW]: ' "$scratch/lintian" || fail "lintian reports the errors and warnings above"

echo "== dpkg-deb --info"
dpkg-deb --info "$deb"
echo "== dpkg-deb --contents"
for each in "${debs[@]}"; do dpkg-deb --contents "$each"; done | tee "$scratch/contents"

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = exqrv ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Recommends)" = bash-completion ] || fail "Recommends is '$(field Recommends)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(for each in "${debs[@]}"; do dpkg-deb --field "$each" Depends; done | paste -sd,)
# dpkg-shlibdeps writes versioned dependencies on the libraries' packages.
IFS=, read -ra dependencies <<<"$depends"
dependencies=("${dependencies[@]# }")
# The system's packages, once each: not the library's own.
mapfile -t system_packages < <(printf '%s\n' "${dependencies[@]%% *}" | grep -v '^libexqrv1$' | sort -u)
depends_on() {
  local entry
  for entry in "${dependencies[@]}"; do
    [[ $entry == "$1 (>= "*")" ]] && return 0
  done
  return 1
}
needed=(libc6 libstdc++6)
# Only the dialog module links Qt: its dependencies show that it was read.
[ "$dialog" = ON ] && needed+=(libqt6widgets6 libqt6core6)
for package in "${needed[@]}"; do
  depends_on "$package" || fail "Depends lacks a versioned $package: $depends"
done
! grep -Eq "lib(asan|ubsan)" <<<"$depends" || fail "Depends names a sanitizer: $depends"

for file in "${expected[@]}"; do
  grep -Eq " \./$file\$" "$scratch/contents" || fail "the package does not hold /$file"
done
# The library's packages depend on one another as they must.
[[ $(dpkg-deb --field "$scratch/out/libexqrv-dev_"*.deb Depends) == *"libexqrv1 (= $version)"* ]] ||
  fail "libexqrv-dev does not depend on libexqrv1 (= $version)"
[[ $(dpkg-deb --field "$scratch/out/python3-exqrv_"*.deb Depends) == *"libexqrv1 (= $version), python3 (>= "* ]] ||
  fail "python3-exqrv does not depend on libexqrv1 and python3"

# Nothing that `make install` installs is left out.
DESTDIR=$scratch/stage cmake --install "$build" --prefix /usr >/dev/null
(cd "$scratch/stage" && find . ! -type d | sort) >"$scratch/installed"
awk '$1 !~ /^d/ { sub(/ -> .*$/, ""); print $NF }' "$scratch/contents" | sort >"$scratch/packaged"
diff "$scratch/installed" "$scratch/packaged" || fail "the package differs from what make install installs"

# Install into the scratch root. Its package database holds this system's
# entries for the packages the package depends on, so dpkg checks the
# dependencies as it would here.
root=$scratch/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
dpkg-query --status "${system_packages[@]}" >"$admin/status" ||
  fail "a dependency is not installed on this system: $depends"
# Their file lists are of no concern here: empty ones keep dpkg quiet.
dpkg-query --show --showformat='${binary:Package}\n' "${system_packages[@]}" |
  while read -r installed; do : >"$admin/info/$installed.list"; done
# The library's maintainer scripts do nothing (its trigger refreshes the
# linker's cache), and a scratch root has no shell to run them in: they run
# outside it.
dpkg --root="$root" --log=/dev/null --force-not-root --force-script-chrootless -i "${debs[@]}" ||
  fail "dpkg -i failed"
[ "$(dpkg-query --admindir="$admin" -W -f='${Status}' exqrv)" = "install ok installed" ] ||
  fail "dpkg does not list exqrv as installed"
dpkg-query --admindir="$admin" -L exqrv >"$scratch/listed"
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "/$file was not installed"
  grep -qx "/$file" "$scratch/listed" || fail "dpkg -L does not list /$file"
done
for program in exqrv qrvtool; do
  [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done

# The installed programs run from their installed place.
mkdir "$scratch/work"
printf 'installed text' >"$scratch/work/page.txt"
"$root/usr/bin/qrvtool" make --compress --out "$scratch/work/BOOK.QRV" "$scratch/work/page.txt"
(cd "$scratch/work" && "$root/usr/bin/exqrv" BOOK.QRV)
[ "$(cat "$scratch/work/BOOK.TXT")" = "installed text" ] || fail "the installed exqrv wrote the wrong text"
if [ "$dialog" = ON ]; then
  # With no display, only a dialog module that loaded can say so.
  status=0
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/exqrv" 2>&1 </dev/null) || status=$?
  [ $status -eq 2 ] && [[ $said == *"no display"* ]] || fail "the installed dialog module did not load: $said"
fi

# Other builds find the library where the packages put it, and Debian's
# Python imports the module.
"$(dirname "$0")/../library/installed_library_check.sh" "$source_folder" "$root/usr/bin/qrvtool" "$root/usr" ||
  fail "the installed library does not serve its users"
(cd / && LD_LIBRARY_PATH="$root/usr/lib/$multiarch" PYTHONPATH="$root/usr/lib/python3/dist-packages" \
  /usr/bin/python3 -c 'import exqrv') || fail "python3 -c 'import exqrv' failed against the packages"

# And it goes away whole.
dpkg --root="$root" --log=/dev/null --force-not-root --force-script-chrootless --purge "${packages[@]}" || fail "dpkg --purge failed"
for file in "${expected[@]}"; do
  [ ! -e "$root/$file" ] || fail "/$file is left after purge"
done
echo "the packages install, run and purge"
