#!/bin/sh
# What `cmake --install` and `cpack -G DEB` ship.
#   install_test.sh CHECK BUILD_DIR WORK_DIR VERSION
# `install` stages an install with prefix /usr in WORK_DIR/stage, which files, desktop,
# metainfo, completion, unit and security then check; `deb` builds the package in
# WORK_DIR/deb and checks it, and `lintian` checks that package. Exit status 77: skipped,
# for the reason printed.
set -eu
check=$1 build=$2 work=$3 version=$4
stage=$work/stage

# Every file installed, relative to the root.
expected_files() {
    cat <<EOF
usr/bin/skyfill
usr/bin/skyfill-control
usr/bin/skyfill-monitor
usr/bin/skyfill-remote
usr/lib/systemd/user/skyfill-control.service
usr/lib/systemd/user/skyfill@.service
usr/share/applications/uk.KovaCo.Skyfill.desktop
usr/share/bash-completion/completions/skyfill
usr/share/bash-completion/completions/skyfill-control
usr/share/bash-completion/completions/skyfill-monitor
usr/share/bash-completion/completions/skyfill-remote
usr/share/doc/skyfill/changelog.gz
usr/share/doc/skyfill/copyright
usr/share/icons/hicolor/scalable/apps/uk.KovaCo.Skyfill.svg
usr/share/man/man1/skyfill-control.1.gz
usr/share/man/man1/skyfill-monitor.1.gz
usr/share/man/man1/skyfill-remote.1.gz
usr/share/man/man1/skyfill.1.gz
usr/share/metainfo/uk.kovaco.Skyfill.metainfo.xml
EOF
}

fail() {
    echo "$check: $*" >&2
    exit 1
}

skip() {
    echo "$check: skipped: $*"
    exit 77
}

# The file list on stdin must be the expected one; a diff shows what differs.
same_files() {
    sort >"$work/$check-actual.txt"
    expected_files | sort >"$work/$check-expected.txt"
    diff -u "$work/$check-expected.txt" "$work/$check-actual.txt" >&2 ||
        fail "files differ from the expected list (- missing, + not expected)"
}

# Each man page must be its own program's at this version with its copyright and licence
# (help2man takes them from --version), and must not show where it was built.
check_man_pages() {
    for program in skyfill skyfill-monitor skyfill-remote skyfill-control; do
        page=$1/usr/share/man/man1/$program.1.gz
        title=$(gzip -dc "$page" | grep '^\.TH ') || fail "$program.1.gz has no title line"
        case $title in
        *"\"$program $version\""*) ;;
        *) fail "$program.1.gz is not $program $version: $title" ;;
        esac
        for line in 'Copyright \(co 2026 the Skyfill developers' 'License: MIT'; do
            gzip -dc "$page" | sed -n '/^\.SH COPYRIGHT/,$p' | grep -qxF "$line" ||
                fail "$program.1.gz lacks \"$line\" under COPYRIGHT"
        done
        ! gzip -dc "$page" | sed 's/\\-/-/g' | grep -F "$build" ||
            fail "$program.1.gz names the build folder"
    done
}

# Verifies the instance a user would start, as the user manager loads it, with ExecStart
# moved under the root: systemd checks that the program exists, and in a user unit it would
# otherwise look on this machine. systemd itself need not run.
verify_unit() {
    units=$work/$check-units
    rm -rf "$units" && mkdir -p "$units" && mkdir -m 700 "$units/runtime"
    for unit in skyfill@.service skyfill-control.service; do
        sed "s|^ExecStart=/|ExecStart=$1/|" "$1/usr/lib/systemd/user/$unit" >"$units/$unit"
    done
    out=$(XDG_RUNTIME_DIR=$units/runtime SYSTEMD_UNIT_PATH=$units: \
        systemd-analyze --user verify --man=no skyfill@studio-a.service \
        skyfill-control.service 2>&1) ||
        fail "systemd-analyze verify: $out"
    # Settings it cannot read are warnings, with exit status 0.
    [ -z "$out" ] || fail "systemd-analyze verify: $out"
}

# The words bash completion offers, one a line, for the command line given as arguments
# (the last is the word being completed), from the completion script the stage installs.
completions() {
    # shellcheck disable=SC2016 # bash expands these, not this shell.
    bash -c '. "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        function=$(complete -p "$1" | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
        "$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' \
        "$stage/usr/share/bash-completion/completions/$1" "$@" | sort -u
}

# Every option a program's --help names, one a line.
help_options() {
    "$stage/usr/bin/$1" --help | grep -o -- '--[a-z][a-z-]*' | sort -u
}

# The commands its --help lists under "Commands:", one a line.
help_commands() {
    "$stage/usr/bin/$1" --help | awk '
        /^Commands:/ { inside = 1; next }
        /^[^ ]/ { inside = 0 }
        inside && /^  [a-z]/ {
            line = substr($0, 3); sub(/  .*/, "", line); gsub(/,/, "", line)
            n = split(line, words, " ")
            for (i = 1; i <= n; i++) if (words[i] ~ /^[a-z]+$/) print words[i]
        }' | sort -u
}

# The completion of $1 must offer exactly the words $2, and offers $3.
same_words() {
    echo "$2" >"$work/$check-expected.txt"
    echo "$3" >"$work/$check-actual.txt"
    diff -u "$work/$check-expected.txt" "$work/$check-actual.txt" >&2 ||
        fail "$1: the completion differs from --help (- not offered, + not in --help)"
}

# The class of the windows the installed program shows on a virtual X display, which the
# desktop entry's StartupWMClass must name; empty when no window showed. On a bus and a
# stand-in scope of its own, so that no other test's copies are in the way, and in a folder
# of its own for the presets it saves.
window_class() {
    rm -rf "$work/window" && mkdir "$work/window" && cd "$work/window"
    # shellcheck disable=SC2016 # the inner shell expands these.
    SKYFILL_STANDIN_SCOPE=test$$ dbus-run-session -- xvfb-run -a sh -c '
        QT_QPA_PLATFORM=xcb "$0" >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do
            class=$(for id in $(xwininfo -root -children | awk "/^ +0x/ { print \$1 }"); do
                xprop -id "$id" WM_CLASS
            done | sed -n "s/^WM_CLASS(STRING) = .*, \"\(.*\)\"$/\1/p" | sort -u)
            [ -n "$class" ] && break
            sleep 0.3
        done
        kill "$pid"
        wait "$pid" || true
        echo "$class"' "$stage/usr/bin/skyfill" 2>/dev/null
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
    entry=$stage/usr/share/applications/uk.KovaCo.Skyfill.desktop
    desktop-file-validate "$entry" >&2 || fail "desktop-file-validate failed"
    xvfb-run -a true 2>/dev/null || skip "no X display: xvfb-run cannot start Xvfb"
    wanted=$(sed -n 's/^StartupWMClass=//p' "$entry")
    class=$(window_class)
    [ -n "$class" ] || fail "skyfill showed no window with a WM_CLASS"
    [ "$class" = "$wanted" ] || fail "the window's class is '$class', StartupWMClass '$wanted'"
    ;;
metainfo)
    # The tree rather than the file alone: it also finds the launchable's desktop entry.
    appstreamcli validate-tree --no-net "$stage" >&2 || fail "appstreamcli validate-tree failed"
    ;;
completion)
    for program in skyfill skyfill-remote skyfill-monitor skyfill-control; do
        same_words "$program options" "$(help_options "$program")" \
            "$(completions "$program" --)"
    done
    for program in skyfill-remote skyfill-monitor; do
        same_words "$program commands" "$(help_commands "$program")" \
            "$(completions "$program" '')"
    done
    sizes=$("$stage/usr/bin/skyfill" --help | grep -o '[0-9]\+x[0-9]\+' | sort -u)
    rates=$("$stage/usr/bin/skyfill" --help | sed -n 's/.*Frame rate, one of \([^(]*\).*/\1/p' |
        tr -s ', ' '\n' | sed '/^$/d' | sort -u)
    same_words "skyfill --size" "$sizes" "$(completions skyfill --size '')"
    same_words "skyfill --rate" "$rates" "$(completions skyfill --rate '')"
    same_words "skyfill-remote output" "$sizes" "$(completions skyfill-remote output '')"
    same_words "skyfill-remote output WxH" "$rates" \
        "$(completions skyfill-remote --copy 2 output 1920x1080 '')"
    ;;
unit)
    verify_unit "$stage"
    ;;
security)
    for unit in skyfill@.service skyfill-control.service; do
        out=$(systemd-analyze security --offline=yes "$stage/usr/lib/systemd/user/$unit" 2>&1) || {
            case $out in
            *"unrecognized option"*) skip "systemd-analyze cannot analyse a unit file offline" ;;
            *) fail "systemd-analyze security $unit: $out" ;;
            esac
        }
        score=$(echo "$out" | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
        [ -n "$score" ] || fail "no exposure level for $unit in: $out"
        awk -v score="$score" 'BEGIN { exit !(score <= 4.5) }' ||
            fail "$unit: exposure level $score is above 4.5: $out"
        echo "$check: $unit: exposure level $score"
    done
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
    # A new version needs its changelog entry.
    gzip -dc "$work/deb/root/usr/share/doc/skyfill/changelog.gz" >"$work/deb/changelog"
    latest=$(dpkg-parsechangelog -l "$work/deb/changelog" -S Version)
    [ "$latest" = "$version" ] || fail "the changelog's latest entry is $latest, not $version"
    ;;
lintian)
    deb=$(echo "$work"/deb/skyfill_*.deb)
    [ -f "$deb" ] || fail "no package in $work/deb"
    lintian --fail-on error,warning --tag-display-limit 0 "$deb" >&2 ||
        fail "lintian found errors or warnings (above)"
    ;;
*)
    fail "unknown check"
    ;;
esac
echo "$check: ok"
