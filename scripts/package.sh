#!/usr/bin/env bash
# Builds the Debian package linktally (dpkg-buildpackage -us -uc -b, from a
# copy of this checkout) into build/package/ and checks it with lintian (no
# error, no warning) and appstreamcli. Installs the Debian packages the build
# needs first.
#   scripts/package.sh                  build and check the package
#   scripts/package.sh --install-test [DEB]   then, as root (CI), install it with
#       apt-get, check the installed files, the unit (systemd-analyze verify,
#       security exposure at most 2.9), --version and the manual pages; run
#       the installed ltsrvc as its user linktally in a private network
#       namespace with a veth pair, in the unit's environment and a sandbox
#       like the unit's (its system calls and sockets checked against the
#       unit's filters), read its live table and log as another unprivileged
#       user with the installed ltreport; boot this machine's systemd in a
#       container (systemd-nspawn) and check the real hardened service there
#       the same way; remove and purge the package and check that the
#       history stays. It refuses to run where linktally is installed or its
#       data folder exists, and removes what it made. With DEB it tests that
#       package instead of building one.
set -euo pipefail
self="$(realpath "$0")"
cd "$(dirname "$self")/.."
repo=$(pwd)

case "${1:-}" in
    -h|--help) sed -n '2,19p' "$self" | sed 's/^# \{0,1\}//'; exit 0 ;;
    ""|--install-test|--inside) ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
esac
mode=${1:-}
fail() { echo "package: $*" >&2; exit 1; }
step() { echo; echo "--- $*"; }
. scripts/waits.sh
# Waits for pid, killing it when it has not ended within seconds; its exit
# status. No stuck process holds CI up.
wait_within() {
    local pid=$1 tenths=$(($2 * 10)) i
    for ((i = 0; i < tenths; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    wait "$pid"
}
# Whether dpkg knows linktally in any state but purged (installed, or
# removed with its configuration files left).
package_known() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' linktally 2>/dev/null) || return 1
    case "$status" in
        u* | p* | "") return 1 ;;
        *) return 0 ;;
    esac
}
# lm0_sent_reaches MIN LTREPORT...: the live table, read by the ltreport
# command given (as another account), shows lm0 with at least MIN bytes sent.
lm0_sent_reaches() {
    local min=$1 sent
    shift
    sent=$("$@" live --format csv 2>/dev/null | awk -F, '$1 == "lm0" { print $3 }')
    [ -n "$sent" ] && [ "$sent" -ge "$min" ]
}

version=$(dpkg-parsechangelog -l debian/changelog -S Version 2>/dev/null || sed -n '1s/.*(\(.*\)).*/\1/p' debian/changelog)
upstream=${version%-*}
out=build/package
data="/var/lib/Tarnwick Software/Linktally/1.3.1"
unit_name=LinktallyService_v1_3_1.service

# --- The package ------------------------------------------------------------
build_package() {
    step "Building the package $version from a copy of $repo"
    rm -rf "$out"
    local source="$out/linktally-$upstream"
    mkdir -p "$source"
    # The sources only: no build trees, no results of an earlier in-place build.
    tar -C "$repo" --exclude=./build --exclude=./.git --exclude=./.cache --exclude='./obj-*' \
        --exclude=./debian/.debhelper --exclude=./debian/linktally --exclude=./debian/files \
        --exclude='./debian/*.substvars' --exclude='./debian/*.log' --exclude=./debian/debhelper-build-stamp \
        -cf - . | tar -C "$source" -xf -
    (cd "$source" && dpkg-buildpackage -us -uc -b -J"$(nproc)") >"$out/build.log" 2>&1 ||
        { tail -40 "$out/build.log" | cut -c1-300; fail "dpkg-buildpackage failed (whole log: $out/build.log)"; }
    rm -rf "$source"
    deb=$(ls "$out"/linktally_"$version"_*.deb)
    echo "Built $deb"
    dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

    step "lintian (informational tags shown; an error or a warning fails)"
    lintian --info --display-info --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
    echo "lintian: no error, no warning"

    step "AppStream and desktop entry"
    local tree
    tree=$(mktemp -d)
    dpkg-deb -x "$deb" "$tree"
    appstreamcli validate --no-net --pedantic "$tree"/usr/share/metainfo/*.metainfo.xml || fail "AppStream metadata not valid"
    desktop-file-validate "$tree"/usr/share/applications/linktally-monitor.desktop || fail "desktop entry not valid"
    rm -rf "$tree"
}

# --- Installed --------------------------------------------------------------
check() { "$@" || fail "check failed: $*"; }

expect_file() {
    [ -f "$1" ] || fail "missing after installation: $1"
}

check_installed_files() {
    step "Installed files"
    local f
    for f in /usr/bin/ltsrvc /usr/bin/ltmonitor /usr/bin/ltreport \
        /usr/lib/linktally/libiphlpapi.so /usr/lib/linktally/libsplash.so \
        "$unit" /usr/lib/sysusers.d/linktally.conf /usr/lib/tmpfiles.d/linktally.conf \
        /usr/share/applications/linktally-monitor.desktop /usr/share/metainfo/com.tarnwick.linktally.metainfo.xml \
        /usr/share/icons/hicolor/scalable/apps/linktally.svg \
        /usr/share/man/man1/ltmonitor.1.gz /usr/share/man/man1/ltreport.1.gz /usr/share/man/man8/ltsrvc.8.gz \
        /usr/share/doc/linktally/README.md /usr/share/doc/linktally/copyright \
        "${unit%/*}/linktally-metrics.service" "${unit%/*}/linktally-metrics.timer" /usr/lib/linktally/linktally-metrics \
        /usr/lib/tmpfiles.d/linktally-metrics.conf /usr/share/doc/linktally/prometheus/linktally.rules.yml; do
        expect_file "$f"
    done
    for f in 16 22 24 32 48 64 128 256; do
        expect_file "/usr/share/icons/hicolor/${f}x$f/apps/linktally.png"
    done
    for f in ltsrvc ltmonitor ltreport; do
        readelf -d "/usr/bin/$f" | grep -q 'RUNPATH.*\[\$ORIGIN/../lib/linktally\]' ||
            fail "/usr/bin/$f has no RUNPATH \$ORIGIN/../lib/linktally: $(readelf -d "/usr/bin/$f" | grep -E 'RPATH|RUNPATH')"
        ! ldd "/usr/bin/$f" | grep -q "not found" || fail "/usr/bin/$f lacks libraries: $(ldd "/usr/bin/$f" | grep 'not found')"
    done
    if dpkg -L linktally | grep -E '/lib(iphlpapi|splash)\.so$' | grep -v '^/usr/lib/linktally/'; then
        fail "a private library landed in a public library folder"
    fi
    [ -L "/etc/systemd/system/multi-user.target.wants/$unit_name" ] || fail "$unit_name is not enabled"
    [ -L /etc/systemd/system/timers.target.wants/linktally-metrics.timer ] || fail "linktally-metrics.timer is not enabled"
    grep -q "deb-systemd-invoke stop '$unit_name'" /var/lib/dpkg/info/linktally.prerm ||
        fail "removing the package would not stop the service"
    getent passwd linktally >/dev/null || fail "no system user linktally"
    [ "$(stat -c '%U:%G %a' "$data")" = "root:linktally 775" ] ||
        fail "$data is $(stat -c '%U:%G %a' "$data"), not root:linktally 775"
    [ "$(stat -c '%U %a' "$data/cn.log")" = "linktally 644" ] || fail "root's cn.log was not handed over to linktally"
    [ "$(stat -c '%U %a' "/var/lib/Tarnwick Software")" = "root 755" ] || fail "/var/lib/Tarnwick Software is not root's"
    echo "Programs, private libraries (RUNPATH \$ORIGIN/../lib/linktally), unit (enabled), account, data folder, desktop entry,"
    echo "icons, AppStream data, manual pages and README are in place; group linktally writes to $data"
    echo "and owns the cn.log that root's service left there."
}

check_unit() {
    local file limit report overall score
    for file in "$unit" "${unit%/*}/linktally-metrics.service" "${unit%/*}/linktally-metrics.timer"; do
        step "systemd-analyze verify $file"
        report=$(systemd-analyze verify "$file" 2>&1) || fail "systemd-analyze verify: $report"
        [ -z "$report" ] || fail "systemd-analyze verify: $report"
        echo "no complaint"
    done
    for file in "$unit:2.9" "${unit%/*}/linktally-metrics.service:2.0"; do
        limit=${file##*:}
        file=${file%:*}
        step "systemd-analyze security ${file##*/}"
        report=$(systemd-analyze security --offline=true --no-pager "$file" 2>&1) || true
        grep -E '^✗' <<<"$report" || true
        overall=$(grep -E 'Overall exposure level' <<<"$report") || fail "no exposure level: $report"
        echo "$overall"
        score=$(sed -E 's/.*: ([0-9.]+) .*/\1/' <<<"$overall")
        awk -v s="$score" -v l="$limit" 'BEGIN { exit !(s <= l) }' || fail "exposure $score is above $limit"
    done
}

check_programs() {
    step "--version of the installed programs"
    local program text
    for program in ltsrvc ltreport ltmonitor; do
        text=$(env -u DISPLAY -u WAYLAND_DISPLAY "/usr/bin/$program" --version 2>&1) ||
            fail "$program --version failed: $text"
        [ "$text" = "$program (Linktally) $upstream" ] || fail "$program --version says '$text'"
        echo "$text"
    done

    step "ltsrvc --install and --uninstall leave the package's service alone"
    local action folder status
    folder=$(mktemp -d)
    for action in --install --uninstall; do
        # Pointed at a folder and a systemctl of no consequence, in case it
        # went ahead.
        status=0
        text=$(LINKTALLY_SYSTEMD_DIR="$folder" LINKTALLY_SYSTEMCTL=true /usr/bin/ltsrvc "$action" 2>&1) || status=$?
        [ "$status" -eq 1 ] && grep -q "package manages the service" <<<"$text" && [ -z "$(ls -A "$folder")" ] ||
            fail "ltsrvc $action with the package installed: status $status, '$text'"
        echo "ltsrvc $action: $text (status $status)"
    done
    rm -rf "$folder"

    step "man on each installed page"
    local page warnings
    for page in ltsrvc ltreport ltmonitor; do
        [ "$(man -w "$page")" = "$(ls /usr/share/man/man*/"$page".*.gz)" ] || fail "man does not find $page"
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$(man -w "$page")" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man warns about $page: $warnings"
        echo "$(man -w "$page"): $(LC_ALL=C.UTF-8 man -l "$(man -w "$page")" 2>/dev/null | col -b | sed -n '4p' | sed 's/^ *//')"
    done
}

# The unit's value of a setting (the last one given), or the default.
unit_setting() {
    local value
    value=$(sed -n "s/^$1=//p" "$unit" | tail -1)
    echo "${value:-$2}"
}

# The system calls the unit's SystemCallFilter= lines allow, one a line:
# its allow-list groups expanded, less its ~deny-list groups.
unit_syscalls() {
    local allow deny
    allow=$(sed -n 's/^SystemCallFilter=\([^~]\)/\1/p' "$unit" | tr '\n' ' ')
    deny=$(sed -n 's/^SystemCallFilter=~//p' "$unit" | tr '\n' ' ')
    systemd-analyze syscall-filter --no-pager 2>/dev/null | awk -v allow="$allow" -v deny="$deny" '
        function expand(name, set,    n, parts, i) {
            if (name !~ /^@/) { set[name] = 1; return }
            n = split(members[name], parts, " ")
            for (i = 1; i <= n; i++) expand(parts[i], set)
        }
        /^@/ { group = $1; next }
        group != "" && NF && $1 !~ /^#/ { members[group] = members[group] " " $1 }
        END {
            n = split(allow, names, " "); for (i = 1; i <= n; i++) expand(names[i], allowed)
            n = split(deny, names, " "); for (i = 1; i <= n; i++) expand(names[i], denied)
            for (call in allowed) if (!(call in denied)) print call
        }' | sort -u
}

# What the service did under strace, from its start on, against the unit's
# SystemCallFilter= and RestrictAddressFamilies= (which need systemd to
# enforce them).
check_filters() {
    local calls families allowed outside
    calls=$(sed -n '/execve("\/usr\/bin\/ltsrvc"/,$p' "$1" |
        sed -nE 's/^[0-9]+ +(<\.\.\. )?([a-z0-9_]+)[( ].*/\2/p' | sort -u)
    [ -n "$calls" ] || fail "strace recorded nothing of ltsrvc"
    allowed=$(unit_syscalls)
    outside=$(comm -23 <(echo "$calls") <(echo "$allowed") | tr '\n' ' ')
    [ -z "$outside" ] || fail "ltsrvc made system calls its unit forbids: $outside"
    families=$(sed -n '/execve("\/usr\/bin\/ltsrvc"/,$p' "$1" | grep -oE 'socket\(AF_[A-Z0-9]+' | cut -d'(' -f2 | sort -u)
    for family in $families; do
        grep -qE "^RestrictAddressFamilies=.*\b$family\b" "$unit" || fail "ltsrvc opened an $family socket, which its unit forbids"
    done
    echo "System calls of ltsrvc: $(wc -w <<<"$calls"), all within its unit's SystemCallFilter=; socket families: $(echo $families), all in RestrictAddressFamilies=."
}

# Runs inside a private network and mount namespace (unshare): a veth pair
# with made-up traffic, a fresh /run/linktally and a sysfs of this network.
service_run_inside() {
    local reader=$1
    mount -t sysfs sysfs /sys
    . scripts/testlink.sh
    make_test_link

    local user group groups umask_value home shell environment=()
    user=$(unit_setting User root)
    group=$(unit_setting Group "$user")
    # The IPC folder, as the package's tmpfiles.d entry makes it at boot:
    # the service's account's, no other account may write.
    mkdir -p /run/linktally
    mount -t tmpfs -o mode=0755 tmpfs /run/linktally
    chown "$user:$group" /run/linktally
    ! runuser -u "$reader" -- sh -c ': >/run/linktally/squatter' 2>/dev/null ||
        fail "$reader could create a file in /run/linktally"
    groups=$(unit_setting SupplementaryGroups "" | tr ' ' ',')
    umask_value=$(unit_setting UMask 0022)
    home=$(getent passwd "$user" | cut -d: -f6)
    shell=$(getent passwd "$user" | cut -d: -f7)
    local line
    while IFS= read -r line; do
        environment+=("$line")
    done < <(sed -n 's/^Environment=//p' "$unit" | tr ' ' '\n' | sed 's/^"//; s/"$//')
    local log
    # Written by the service's account, read by root; removed at the end.
    work=$(mktemp -d /tmp/linktally-service-XXXXXX)
    chmod 755 "$work"
    log=$work/ltsrvc.log
    : >"$log"
    chmod 644 "$log"
    echo "ltsrvc as $user:$group (groups ${groups:-none}), umask $umask_value, no new privileges, no capabilities,"
    echo "read-only system but its data folder and /run/linktally, private /tmp, no /home; environment: HOME=$home ${environment[*]}"
    local credentials=(--reuid="$user" --regid="$group" --clear-groups)
    [ -n "$groups" ] && credentials=(--reuid="$user" --regid="$group" --groups="$groups")
    # What the unit's sandbox does to the file system (ProtectSystem=strict,
    # ReadWritePaths=, PrivateTmp=, ProtectHome=, ProtectKernelTunables=),
    # in a mount namespace of the service's own. Its system call filter and
    # address family restriction need systemd and are not applied here.
    # strace (as root, outside the sandbox) records the service's system
    # calls and socket families for the unit's filters, checked below.
    local trace
    trace=$work/ltsrvc.trace
    strace -f -qq -o "$trace" unshare --mount bash -c '
        set -e
        data=$1; shift
        mount --bind "$data" "$data"
        findmnt -rn -o TARGET | while read -r target; do
            target=$(printf "%b" "$target")
            case "$target" in /proc|/proc/*|/sys|/sys/*|/dev|/dev/*|/run/linktally|"$data") continue ;; esac
            mount -o remount,bind,ro "$target" 2>/dev/null || true
        done
        mount -o remount,bind,ro /sys
        mount --bind /proc/sys /proc/sys && mount -o remount,bind,ro /proc/sys
        for folder in /tmp /var/tmp; do mount -t tmpfs -o mode=1777 tmpfs "$folder"; done
        for folder in /home /root /run/user; do [ -d "$folder" ] && mount -t tmpfs -o ro,mode=755 tmpfs "$folder"; done
        cd /
        exec "$@"
    ' service "$data" \
        setpriv "${credentials[@]}" --no-new-privs --inh-caps=-all --bounding-set=-all -- \
        sh -c 'umask "$0"; exec "$@"' "$umask_value" \
        env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" USER="$user" \
        LOGNAME="$user" SHELL="$shell" "${environment[@]}" /usr/bin/ltsrvc >"$log" 2>&1 &
    launcher=$!
    trap 'kill -KILL ${launcher:-} ${service:-} 2>/dev/null || true; rm -rf "$work"' EXIT
    for _ in $(seq 50); do
        service=$(pgrep -u "$user" -x ltsrvc || true)
        [ -n "$service" ] && break
        sleep 0.1
    done
    [ -n "$service" ] || { cat "$log"; fail "ltsrvc did not start"; }

    as_reader() { runuser -u "$reader" -- env -i HOME="/home/$reader" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
    local live=""
    wait_for 5 service_active as_reader ltreport ||
        { cat "$log"; fail "the service did not come up: $(as_reader ltreport live 2>&1)"; }
    echo "Service up: $(head -1 "$log")"
    [ "$(awk '$5 == "/" { split($6, o, ","); print o[1] }' "/proc/$service/mountinfo")" = ro ] ||
        fail "the service's file system is not read-only"
    [ "$(stat -c %U "/proc/$service")" = "$user" ] || fail "the service does not run as $user"
    grep -q ' /usr/lib/linktally/libiphlpapi.so$' "/proc/$service/maps" ||
        fail "the service did not load /usr/lib/linktally/libiphlpapi.so"

    # The monitor of that account, off screen for three seconds: it opens its
    # private libraries (the splash picture's only while it reads it).
    local monitor_trace library
    monitor_trace=$work/ltmonitor.trace
    strace -f -qq -e trace=openat -o "$monitor_trace" \
        runuser -u "$reader" -- env -i HOME="/home/$reader" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        timeout -s TERM 3 ltmonitor >/dev/null 2>&1 || true
    for library in libsplash.so libiphlpapi.so; do
        grep -qE "openat\(.*\"/usr/(bin/\.\./)?lib/linktally/$library\".* = [0-9]+\$" "$monitor_trace" ||
            fail "ltmonitor did not open /usr/lib/linktally/$library"
    done
    echo "ltsrvc loaded /usr/lib/linktally/libiphlpapi.so; ltmonitor, of $reader, libsplash.so and libiphlpapi.so."

    # Three megabytes out of lm0, a megabyte a second.
    send_through_lm0 3000000 || fail "the kernel did not send 3,000,000 bytes on lm0"
    wait_for 10 lm0_sent_reaches 3000000 as_reader ltreport || true
    live=$(as_reader ltreport live --format csv)
    echo "ltreport live, as $reader:"
    sed 's/^/    /' <<<"$live"
    local sent
    sent=$(awk -F, '$1 == "lm0" { print $3 }' <<<"$live")
    [ -n "$sent" ] && [ "$sent" -ge 3000000 ] || fail "the live table shows ${sent:-no} bytes sent on lm0"
    as_reader ltreport --connection lm0 today

    kill -TERM "$service"
    local status=0
    wait_within "$launcher" 30 || status=$?
    launcher=""
    service=""
    [ "$status" -eq 0 ] || { cat "$log"; fail "ltsrvc exited with $status after SIGTERM"; }
    check_filters "$trace"
    [ ! -e /run/linktally/LINKTALLY_1.3.1_STATISTICS ] || fail "the stopped service left its live table behind"
    [ "$(stat -c '%U %a' "$data/cn.log")" = "$user 644" ] || fail "cn.log is $(stat -c '%U %a' "$data/cn.log")"
    local records
    records=$(as_reader ltreport --connection lm0 --format csv log)
    echo "ltreport log, as $reader, after the stop:"
    sed 's/^/    /' <<<"$records"
    [ "$(wc -l <<<"$records")" -ge 2 ] || fail "no record of lm0 in cn.log"
    as_reader ltreport check >/dev/null || fail "ltreport check finds cn.log damaged"
}

run_service() {
    step "The installed ltsrvc as its unit runs it, read by another account"
    if [ -d /run/systemd/system ]; then
        # A running systemd started it on the host's network: let it go, so
        # that the namespace's service is the only writer of cn.log.
        systemctl is-active --quiet "$unit_name" || fail "systemd did not start $unit_name"
        echo "systemd runs $unit_name: $(systemctl show -p ActiveState -p User --value "$unit_name" | tr '\n' ' ')"
        systemctl stop "$unit_name"
    else
        echo "No systemd runs here: the service is started the way its unit would start it."
    fi
    reader="ltpkg$(od -An -N3 -tu4 /dev/urandom | tr -d ' ')"
    useradd -m -s /bin/bash "$reader"
    unshare --net --mount bash "$self" --inside "$reader"
    userdel -f -r "$reader" 2>/dev/null || true
    reader=""
}

# The installed service under a real systemd: a container (systemd-nspawn)
# booted from this machine's /usr, read-only, and a copy of its /etc, so with
# the package installed and its unit enabled, on a network of its own.
run_under_systemd() {
    step "The installed service under systemd, in a container booted from this machine's /usr"
    container_root=$(mktemp -d /tmp/linktally-root-XXXXXX)
    chmod 755 "$container_root" # the container's /, which every account walks through
    local folder
    for folder in usr var dev proc sys run tmp home root; do mkdir -p "$container_root/$folder"; done
    mount --bind /usr "$container_root/usr"
    mount -o remount,bind,ro "$container_root/usr"
    for folder in bin sbin lib lib64; do
        if [ -L "/$folder" ]; then
            ln -s "$(readlink "/$folder")" "$container_root/$folder"
        elif [ -d "/$folder" ]; then
            mkdir "$container_root/$folder"
            mount --bind "/$folder" "$container_root/$folder"
            mount -o remount,bind,ro "$container_root/$folder"
        fi
    done
    cp -a /etc "$container_root/etc"
    systemd-nspawn -D "$container_root" --private-network --register=no --keep-unit --console=read-only \
        --machine=linktally-test --boot >"$out/container.log" 2>&1 &
    container=$!
    local init="" state=""
    for _ in $(seq 100); do
        init=$(pgrep -P "$container" -x systemd || true)
        [ -n "$init" ] && break
        sleep 0.1
    done
    if [ -z "$init" ]; then
        # A machine without the cgroups or rights to boot a container: the
        # unit's settings were checked above without systemd; say so.
        cat "$out/container.log"
        echo "NOTICE: systemd-nspawn could not boot a container here; the service was run only the way its unit would run it (above)."
        stop_container
        return 0
    fi
    inside() { nsenter -t "$init" -a "$@"; }
    as_nobody() { inside runuser -u nobody -- env -i PATH=/usr/bin:/bin "$@"; }
    for _ in $(seq 120); do
        state=$(inside systemctl is-active "$unit_name" 2>/dev/null || true)
        [ "$state" = active ] || [ "$state" = failed ] && break
        sleep 0.5
    done
    show() { inside systemctl status --no-pager "$unit_name" || true; inside journalctl --no-pager -u "$unit_name" || true; }
    [ "$state" = active ] || { show; fail "systemd did not start $unit_name at boot: $state"; }
    [ "$(inside systemctl is-enabled "$unit_name")" = enabled ] || fail "$unit_name is not enabled"
    # Active from the fork on: wait until systemd has set up the sandbox and
    # started the program.
    local pid
    pid=$(inside systemctl show -p MainPID --value "$unit_name")
    for _ in $(seq 50); do
        [ "$(inside cat "/proc/$pid/comm" 2>/dev/null)" = ltsrvc ] && break
        sleep 0.1
    done
    inside grep -E '^(Uid|Groups|NoNewPrivs|Seccomp|CapEff|CapBnd):' "/proc/$pid/status" | tr '\t' ' ' | sed 's/^/    /'
    [ "$(inside stat -c %U "/proc/$pid")" = linktally ] || fail "the service does not run as linktally"
    inside grep -q '^Seccomp:.*2$' "/proc/$pid/status" || fail "no system call filter on the service"
    inside grep -q '^CapBnd:.*0000000000000000$' "/proc/$pid/status" || fail "the service keeps capabilities"
    echo "Enabled and started at boot as linktally, with a system call filter and no capabilities."

    # The checkout is not inside the container: the function's text goes in.
    . scripts/testlink.sh
    inside bash -c "set -e; $(declare -f make_test_link); make_test_link"
    # Traffic before the service's first sample of a link is not its to count.
    wait_for 10 lm0_sent_reaches 0 as_nobody ltreport || { show; fail "the service does not meter lm0"; }
    inside bash -c "$(declare -f send_through_lm0); send_through_lm0 2000000" || fail "the kernel did not send 2,000,000 bytes on lm0"
    wait_for 10 lm0_sent_reaches 2000000 as_nobody ltreport || true
    local live sent
    live=$(as_nobody ltreport live --format csv)
    echo "ltreport live, as nobody:"
    sed 's/^/    /' <<<"$live"
    sent=$(awk -F, '$1 == "lm0" { print $3 }' <<<"$live")
    [ -n "$sent" ] && [ "$sent" -ge 2000000 ] || { show; fail "the live table shows ${sent:-no} bytes sent on lm0"; }
    inside systemd-analyze security --no-pager "$unit_name" | tail -1

    check_metrics_timer

    # The live table lives in /run/linktally, the service's account's: no
    # other account can make its names first. The service starts again on
    # its own lock and takes its own table over.
    [ "$(inside stat -c '%U %a' /run/linktally)" = "linktally 755" ] ||
        fail "/run/linktally is $(inside stat -c '%U %a' /run/linktally)"
    [ "$(inside stat -c %U /run/linktally/LINKTALLY_1.3.1_STATISTICS)" = linktally ] || fail "the live table is not in /run/linktally"
    ! inside runuser -u nobody -- sh -c ': >/run/linktally/squatter' 2>/dev/null || fail "nobody could create a file in /run/linktally"
    inside systemctl stop "$unit_name"
    [ "$(inside systemctl show -p ExecMainStatus --value "$unit_name")" = 0 ] || { show; fail "the service did not stop cleanly"; }
    inside systemctl start "$unit_name"
    wait_for 10 service_active as_nobody ltreport || { show; fail "the service does not publish its table again"; }
    [ "$(inside systemctl is-active "$unit_name")" = active ] || { show; fail "the service does not start again"; }
    # The service's lock is its account's alone, so no other account can
    # stall it; what nobody holds on the table of a service that was killed
    # keeps none out when systemd starts it again.
    local lock=/run/linktally/LINKTALLY_1.3.1_STATISTICS_MUTEX
    [ "$(inside stat -c '%U %a' $lock)" = "linktally 600" ] || fail "the service's lock is $(inside stat -c '%U %a' $lock)"
    ! inside runuser -u nobody -- flock -n $lock true 2>/dev/null || fail "nobody could take the service's lock"
    # nobody locks the table every way a read-only descriptor allows: flock
    # at once, and a read lock of its open file description (F_OFD_SETLKW,
    # 38) as soon as the service's write lock is gone.
    inside runuser -u nobody -- perl -e 'use Fcntl qw(:flock F_RDLCK SEEK_SET);
        open(my $table, "<", $ARGV[0]) or die "open: $!"; flock($table, LOCK_EX) or die "flock: $!";
        my $lock = pack("s s x4 q q i x4", F_RDLCK, SEEK_SET, 0, 0, 0); fcntl($table, 38, $lock) or die "read lock: $!";
        open(my $held, ">", "/tmp/held") or die; close($held); sleep 120' /run/linktally/LINKTALLY_1.3.1_STATISTICS &
    local squatter=$! killed
    killed=$(inside systemctl show -p MainPID --value "$unit_name")
    inside systemctl kill -s KILL "$unit_name"
    wait_for 10 inside test -e /tmp/held || fail "nobody did not lock the killed service's table"
    restarted() { local pid; pid=$(inside systemctl show -p MainPID --value "$unit_name"); [ "$pid" != 0 ] && [ "$pid" != "$killed" ]; }
    wait_for 20 restarted || { show; fail "the service killed was not started again"; }
    wait_for 10 service_active as_nobody ltreport || { show; fail "the service started again does not publish while nobody holds its old table"; }
    kill "$squatter" 2>/dev/null || true
    local health
    health=$(as_nobody ltreport check) || { echo "$health"; fail "ltreport check failed"; }
    grep -q '^Whole records: *[1-9]' <<<"$health" || { echo "$health"; fail "no records in cn.log"; }
    echo "Its live table in /run/linktally (linktally's, 0755; nobody cannot create a file there nor take its lock);"
    echo "stopped cleanly with its records in cn.log ($(grep '^Whole records' <<<"$health" | tr -s ' ')), started again,"
    echo "killed and started again by systemd while nobody locked its old table; its journal:"
    inside journalctl --no-pager -o cat -u "$unit_name" | sed 's/^/    /'
    stop_container
}

# The metrics' timer in the booted container: enabled and waiting; its
# service skipped while node_exporter's folder is missing, and writing the
# machine's figures there (root's folder, mode 0755, as the package makes it)
# once it is there.
check_metrics_timer() {
    local prom=/var/lib/prometheus/node-exporter
    [ "$(inside systemctl is-enabled linktally-metrics.timer)" = enabled ] || fail "linktally-metrics.timer is not enabled"
    [ "$(inside systemctl is-active linktally-metrics.timer)" = active ] || fail "linktally-metrics.timer is not active"
    inside rm -rf /var/lib/prometheus
    inside systemctl start linktally-metrics.service
    [ "$(inside systemctl show -p ConditionResult --value linktally-metrics.service)" = no ] ||
        fail "linktally-metrics.service ran without $prom"
    inside install -d -m 0755 "$prom"
    inside systemctl start linktally-metrics.service ||
        { inside journalctl --no-pager -u linktally-metrics.service; fail "linktally-metrics.service failed"; }
    # The live table too, through the unit's sandbox.
    local line
    for line in '^linktally_sent_bytes_total{connection="lm0",type="lan"} [1-9]' '^linktally_service_up 1$' \
        '^linktally_connection_up{connection="lm0",type="lan"} 1$'; do
        inside grep -q "$line" "$prom/linktally.prom" || fail "no $line in $prom/linktally.prom: $(inside cat "$prom/linktally.prom")"
    done
    [ "$(inside stat -c '%U %a' "$prom/linktally.prom")" = "linktally 644" ] ||
        fail "$prom/linktally.prom is $(inside stat -c '%U %a' "$prom/linktally.prom")"
    echo "linktally-metrics.timer enabled and waiting; its service skipped without $prom, and with it wrote:"
    inside grep -E '^linktally_(sent_bytes_total|connection_up|service_up|log_records)' "$prom/linktally.prom" | sed 's/^/    /'
    inside systemd-analyze security --no-pager linktally-metrics.service | tail -1
    inside rm -rf /var/lib/prometheus
}

stop_container() {
    if [ -n "${container:-}" ]; then
        kill -TERM "$container" 2>/dev/null || true
        wait_within "$container" 60 2>/dev/null || true
    fi
    container=""
    if [ -n "${container_root:-}" ]; then
        local folder
        for folder in usr bin sbin lib lib64; do
            if mountpoint -q "$container_root/$folder"; then umount "$container_root/$folder" || true; fi
        done
        rm -rf --one-file-system "$container_root"
        container_root=""
    fi
    return 0
}

remove_and_purge() {
    step "apt-get remove linktally"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq linktally >/dev/null
    [ ! -e /usr/bin/ltsrvc ] && [ ! -e "$unit" ] && [ ! -e /usr/lib/linktally ] || fail "remove left the programs behind"
    [ -f "$data/cn.log" ] || fail "remove took the history"
    echo "Programs, libraries and unit gone; $data/cn.log stays ($(stat -c %s "$data/cn.log") bytes)."

    step "apt-get purge linktally"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq linktally >/dev/null
    ! package_known || fail "purge left the package installed"
    [ -f "$data/cn.log" ] || fail "purge took the history"
    [ ! -e /usr/share/doc/linktally ] && [ ! -e /usr/lib/sysusers.d/linktally.conf ] &&
        [ ! -e "/etc/systemd/system/multi-user.target.wants/$unit_name" ] || fail "purge left files behind"
    echo "Package gone; $data with cn.log stays, and so does the account linktally."
}

install_test() {
    [ "$(id -u)" -eq 0 ] || fail "--install-test needs root (it installs the package and adds users)"
    ! package_known ||
        fail "linktally is installed on this machine: the test would remove it (apt-get purge linktally first)"
    [ ! -e "$data" ] || fail "$data exists: the test would write into that history (move it aside first)"
    # What the package keeps on purpose is removed afterwards, as far as
    # this test made it.
    made=("$data")
    for folder in "/var/lib/Tarnwick Software/Linktally" "/var/lib/Tarnwick Software"; do
        [ -e "$folder" ] || made+=("$folder")
    done
    made_account=0
    getent passwd linktally >/dev/null || made_account=1
    unit=""
    cleanup() {
        # Every step, whatever the one before did.
        set +e
        stop_container
        [ -n "${reader:-}" ] && userdel -f -r "$reader" 2>/dev/null
        if package_known; then
            DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq linktally >/dev/null 2>&1 || true
        fi
        rm -rf "${made[0]}"
        rmdir "${made[@]:1}" 2>/dev/null || true
        if [ "$made_account" -eq 1 ]; then
            rm -rf /run/linktally # the package's, made at installation
            userdel linktally 2>/dev/null || true
            groupdel linktally 2>/dev/null || true
        fi
    }
    trap cleanup EXIT

    # A history that a service running as root (ltsrvc --install of a source
    # build) left behind is handed over to the package's service.
    mkdir -p "$data"
    chmod 755 "/var/lib/Tarnwick Software" "/var/lib/Tarnwick Software/Linktally" "$data"
    : >"$data/cn.log"
    chmod 644 "$data/cn.log"

    step "apt-get install ./$deb"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >"$out/install.log" 2>&1 ||
        { cat "$out/install.log"; fail "apt-get install failed"; }
    grep -i "warn\|error" "$out/install.log" || true
    unit=$(dpkg -L linktally | grep "/systemd/system/$unit_name\$")
    check_installed_files
    check_unit
    check_programs
    run_service
    run_under_systemd
    remove_and_purge
}

if [ "${1:-}" = "--inside" ]; then
    unit=$(dpkg -L linktally | grep "/systemd/system/$unit_name\$")
    service_run_inside "$2"
    exit 0
fi

. scripts/deps.sh
ensure_packages "${PACKAGE_PACKAGES[@]}"
if [ "$mode" = "--install-test" ] && [ -n "${2:-}" ]; then
    deb=$(realpath --relative-to=. "$2")
    [ -f "$deb" ] || fail "no package $2"
else
    build_package
fi
[ "$mode" = "--install-test" ] && install_test
echo
echo "Package: $deb"
