#!/usr/bin/env bash
# Installs a build into a temporary root as a user would, and checks that the programs find
# their files there.
#   package_test.sh install BUILD SOURCE PROBE GUI   cmake --install with DESTDIR
#   package_test.sh deb     BUILD SOURCE PROBE GUI   cpack -G DEB, then the package unpacked
# PROBE is program_folder_probe; GUI is ON when the build has the desktop program.
set -euo pipefail
mode=$1 build=$2 source=$3 probe=$4 gui=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() { echo "FAIL: $*" >&2; exit 1; }

case $mode in
install)
    DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
        { cat "$work/install.log"; fail "cmake --install"; }
    ;;
deb)
    (cd "$work" && cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake") \
        >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
    shopt -s nullglob
    packages=("$work"/package/tarnwick_*.deb)
    [ ${#packages[@]} -eq 1 ] || fail "expected one tarnwick_*.deb, found: ${packages[*]:-none}"
    deb=${packages[0]}
    [ "$(dpkg-deb -f "$deb" Package)" = tarnwick ] || fail "package name"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for needed in libchm1 qt6-qpa-plugins libqt6widgets6 libicu; do
        [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
    done
    dpkg-deb -x "$deb" "$root"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac

expected=(
    usr/bin/tarnwick-cli
    usr/share/tarnwick/Default_Exclude_List.txt
    usr/share/tarnwick/Tarnwick.chm
    usr/share/applications/tarnwick.desktop
    usr/share/mime/packages/tarnwick.xml
    usr/share/icons/hicolor/scalable/apps/tarnwick.svg
    usr/share/icons/hicolor/48x48/apps/tarnwick.png
    usr/share/icons/hicolor/128x128/apps/tarnwick.png
    usr/share/icons/hicolor/256x256/apps/tarnwick.png
)
[ "$gui" = ON ] && expected+=(usr/bin/tarnwick)
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
for program in usr/bin/tarnwick-cli usr/bin/tarnwick; do
    if [ -e "$root/$program" ] && [ ! -x "$root/$program" ]; then
        fail "$program is not executable"
    fi
done
# Nothing of the build's own leaks into the tree: no probe, no tests, no build paths.
[ -z "$(find "$root" -name '*test*' -o -name 'program_folder_probe')" ] || fail "test files installed"
grep -q '^Exec=tarnwick %f$' "$root/usr/share/applications/tarnwick.desktop" || fail "desktop Exec"
grep -q '^MimeType=application/x-hhp;$' "$root/usr/share/applications/tarnwick.desktop" ||
    fail "desktop MimeType"
grep -q '<glob pattern="\*.hhp"' "$root/usr/share/mime/packages/tarnwick.xml" || fail "mime glob"
grep -q '^Icon=tarnwick$' "$root/usr/share/applications/tarnwick.desktop" || fail "desktop Icon"

# The file manager offers Tarnwick for help projects: with the installed tree's MIME and desktop
# databases built as a package's triggers build them, a .hhp is application/x-hhp and Tarnwick
# is its default program. XDG_CURRENT_DESKTOP=GNOME makes xdg-mime ask gio, which reads the
# shared MIME database; the generic fallback guesses from the content with file(1).
share=$root/usr/share
update-mime-database "$share/mime" >/dev/null 2>&1 || fail "update-mime-database"
update-desktop-database "$share/applications" || fail "update-desktop-database"
printf '[OPTIONS]\r\nTitle=Sample\r\n' >"$work/Sample.hhp"
filetype=$(XDG_CURRENT_DESKTOP=GNOME XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$work/xdg \
    xdg-mime query filetype "$work/Sample.hhp")
[ "$filetype" = application/x-hhp ] || fail "a .hhp is $filetype, not application/x-hhp"
default=$(XDG_CURRENT_DESKTOP=GNOME XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$work/xdg \
    XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/config xdg-mime query default \
    application/x-hhp)
[ "$default" = tarnwick.desktop ] || fail "the default program for a .hhp is '$default'"

# The program folder as an installed program finds it, from beside the installed programs.
cp "$probe" "$root/usr/bin/"
"$root/usr/bin/$(basename "$probe")" || fail "the installed tree is not what the programs expect"
rm "$root/usr/bin/$(basename "$probe")"

# The installed command line tool parses with the installed default list: no list of the user's
# (an empty data folder), the default list on, so "the" must be left out.
cp -r "$source/examples/garden" "$work/garden"
XDG_DATA_HOME=$work/data "$root/usr/bin/tarnwick-cli" --quiet --title --body \
    --words "$work/words.txt" "$work/garden/Garden.hhp" || fail "installed tarnwick-cli"
grep -q -i '^garden' "$work/words.txt" || fail "no words parsed"
! grep -q -i -x $'the\r' "$work/words.txt" || fail "the installed default list was not used"
echo "PASS: $mode"
