#!/bin/sh
# What `cmake --install` and `cpack -G DEB` ship.
#   install_test.sh install|files|desktop|unit|deb BUILD_DIR WORK_DIR VERSION
# `install` stages an install with prefix /usr in WORK_DIR/stage, which files, desktop and
# unit then check; `deb` builds the package in WORK_DIR/deb and checks it.
set -eu
check=$1 build=$2 work=$3 version=$4
stage=$work/stage

# Every file installed, relative to the root.
expected_files() {
    cat <<EOF
usr/bin/skyfill
usr/bin/skyfill-monitor
usr/bin/skyfill-remote
usr/lib/systemd/user/skyfill@.service
usr/share/applications/uk.KovaCo.Skyfill.desktop
usr/share/icons/hicolor/scalable/apps/uk.KovaCo.Skyfill.svg
usr/share/man/man1/skyfill-monitor.1.gz
usr/share/man/man1/skyfill-remote.1.gz
usr/share/man/man1/skyfill.1.gz
EOF
}

fail() {
    echo "$check: $*" >&2
    exit 1
}

# The file list on stdin must be the expected one; a diff shows what differs.
same_files() {
    sort >"$work/$check-actual.txt"
    expected_files | sort >"$work/$check-expected.txt"
    diff -u "$work/$check-expected.txt" "$work/$check-actual.txt" >&2 ||
        fail "files differ from the expected list (- missing, + not expected)"
}

# Each man page must be its own program's at this version (help2man takes the title line
# from --version), and must not show where it was built.
check_man_pages() {
    for program in skyfill skyfill-monitor skyfill-remote; do
        title=$(gzip -dc "$1/usr/share/man/man1/$program.1.gz" | grep '^\.TH ') ||
            fail "$program.1.gz has no title line"
        case $title in
        *"\"$program $version\""*) ;;
        *) fail "$program.1.gz is not $program $version: $title" ;;
        esac
        ! gzip -dc "$1/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g' | grep -F "$build" ||
            fail "$program.1.gz names the build folder"
    done
}

# Verifies the instance a user would start, as the user manager loads it, with ExecStart
# moved under the root: systemd checks that the program exists, and in a user unit it would
# otherwise look on this machine. systemd itself need not run.
verify_unit() {
    units=$work/$check-units
    rm -rf "$units" && mkdir -p "$units" && mkdir -m 700 "$units/runtime"
    sed "s|^ExecStart=/|ExecStart=$1/|" "$1/usr/lib/systemd/user/skyfill@.service" \
        >"$units/skyfill@.service"
    out=$(XDG_RUNTIME_DIR=$units/runtime SYSTEMD_UNIT_PATH=$units: \
        systemd-analyze --user verify --man=no skyfill@studio-a.service 2>&1) ||
        fail "systemd-analyze verify: $out"
    # Settings it cannot read are warnings, with exit status 0.
    [ -z "$out" ] || fail "systemd-analyze verify: $out"
}

case $check in
install)
    rm -rf "$stage"
    DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
        fail "install failed: $(cat "$work/install.log")"
    ;;
files)
    (cd "$stage" && find . ! -type d | sed 's|^\./||') | same_files
    check_man_pages "$stage"
    ;;
desktop)
    desktop-file-validate "$stage/usr/share/applications/uk.KovaCo.Skyfill.desktop" >&2 ||
        fail "desktop-file-validate failed"
    ;;
unit)
    verify_unit "$stage"
    ;;
deb)
    rm -rf "$work/deb"
    cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
        fail "cpack failed: $(cat "$work/cpack.log")"
    deb=$(echo "$work"/deb/skyfill_*.deb)
    [ -f "$deb" ] || fail "no package in $work/deb"
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | same_files
    depends=$(dpkg-deb -f "$deb" Depends)
    for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6; do
        echo ", $depends," | grep -q ", ${package}[ ,]" ||
            fail "Depends lacks $package: $depends"
    done
    dpkg-deb -x "$deb" "$work/deb/root"
    check_man_pages "$work/deb/root"
    verify_unit "$work/deb/root"
    ;;
*)
    fail "unknown check"
    ;;
esac
echo "$check: ok"
