#!/usr/bin/env bash
# PackageTest.sh SOURCE_DIR VERSION APP_ID BUILD_DIR
# Packages the programs of the build tree the test runs in, checks the package's control fields
# and file list, unpacks it into a temporary root and runs what it holds there.
set -euo pipefail
src=$1 version=$2 appid=$3 build=$4
arch=$(dpkg --print-architecture)
deb=$build/package/sonaro_${version}_${arch}.deb
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$src/scripts/package.sh" --from "$build"
[ -f "$deb" ] || { echo "FAIL: $deb was not written" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

# Control fields (lintian checks the rest: no errors, its warnings printed for the reader).
for pair in Package=sonaro Version="$version" Architecture="$arch" Section=sound; do
    [ "$(dpkg-deb -f "$deb" "${pair%%=*}")" = "${pair#*=}" ] || fail "${pair%%=*} is not ${pair#*=}"
done
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for dep in libqt6widgets6 libqt6network6 libqt6sql6 libqt6sql6-sqlite libstdc++6 libc6; do
    grep -qxF "$dep" <<<"$depends" || fail "Depends lacks $dep"
done
# Here-strings, not pipes into grep -q: with pipefail, a writer cut off by grep's early exit
# would fail the check.
grep -q md5sums <<<"$(dpkg-deb -I "$deb")" || fail "no md5sums in the control archive"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in /usr/bin/{sonaro,sonaroctl,sonaro-unit,sonaro-server} \
    /usr/share/man/man1/{sonaro,sonaroctl,sonaro-unit,sonaro-server}.1.gz \
    /usr/share/applications/$appid.desktop /usr/share/metainfo/$appid.metainfo.xml \
    /usr/share/icons/hicolor/{scalable/apps/$appid.svg,48x48/apps/$appid.png,256x256/apps/$appid.png} \
    /usr/share/bash-completion/completions/sonaroctl \
    /usr/share/doc/sonaro/{copyright,changelog.gz,examples/server.conf,api.md} \
    /usr/lib/systemd/system/sonaro-server.service /usr/lib/sysusers.d/sonaro-server.conf; do
    grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done
grep -Eq 'sonaro_tests|sonaro-soak|sonaro-figures|/include/|\.a$' <<<"$files" &&
    fail "the package holds build or test files"

dpkg -x "$deb" "$root"
bin=$root/usr/bin
for program in sonaroctl sonaro-unit sonaro-server; do
    [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$program --version"
done
[ "$(QT_QPA_PLATFORM=offscreen "$bin/sonaro" --version)" = "Sonaro $version" ] ||
    fail "sonaro --version"
grep -q 'not stripped' <<<"$(file "$bin/sonaroctl")" && fail "sonaroctl is not stripped"

# The service: its unit names its own user and the sandbox, the maintainer scripts make both.
unit=$root/usr/lib/systemd/system/sonaro-server.service
for line in User=sonaro-server ProtectSystem=strict NoNewPrivileges=yes StateDirectory=sonaro-server; do
    grep -qx "$line" "$unit" || fail "sonaro-server.service lacks $line"
done
grep -qx './postinst' <<<"$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)" || fail "no postinst for the service"

# The service's program, run as its unit file runs it (--config with the example the package
# installs), logs in to a virtual unit on loopback, reports the link on /health, never logs the
# unit's password and ends cleanly on SIGTERM.
service=$root/service
mkdir -m 700 "$service"
unitport=$((20000 + RANDOM % 20000))
"$bin/sonaro-unit" --address 127.0.0.2 --port "$unitport" >"$service/unit.log" 2>&1 &
unitpid=$!
sed -e "/^\[unit\]/,/^\[/{s/^address=.*/address=127.0.0.2/;s/^port=.*/port=$unitport/;s/^password=.*/password=888888/;s/^bind=.*/bind=127.0.0.1/}" \
    -e "s|/var/lib/sonaro-server|$service|" "$root/usr/share/doc/sonaro/examples/server.conf" \
    >"$service/server.conf"
chmod 600 "$service/server.conf"
"$bin/sonaro-server" --config "$service/server.conf" --listen 127.0.0.1:0 >"$service/out" \
    2>"$service/err" &
serverpid=$! health=
for _ in $(seq 1 100); do
    url=$(sed -n 's|^sonaro-server: listening on \(http://[^ ]*\)/$|\1|p' "$service/out")
    [ -n "$url" ] && health=$(curl -s --noproxy '*' --max-time 2 "$url/health" || true)
    grep -q '"connection":"connected"' <<<"$health" && break
    sleep 0.1
done
grep -q '"connection":"connected"' <<<"$health" ||
    fail "the packaged sonaro-server did not log in to a unit on loopback: $health $(cat "$service/err")"
kill -TERM "$serverpid" 2>/dev/null || true
wait "$serverpid" || fail "sonaro-server did not end cleanly on SIGTERM: $(cat "$service/err")"
{ kill "$unitpid" && wait "$unitpid"; } 2>/dev/null || true
grep -q 888888 "$service/out" "$service/err" && fail "sonaro-server logged the unit's password"
[ -f "$service/data/Halvex.db" ] || fail "the service kept no database in its data directory"

# An installed program keeps its files in the per-user data directory, never beside itself (the
# unpacked bin/ is writable here, as /usr/bin is for root). No address file: the link sends
# nothing, and is bound to loopback all the same.
before=$(ls -A "$bin")
home=$root/home
mkdir -p "$home" && mkdir -m 700 "$home/run"
env -u SONARO_DATA_DIR HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
    QT_QPA_PLATFORM=offscreen "$bin/sonaro" --bind 127.0.0.1 >"$root/sonaro.log" 2>&1 &
pid=$!
database=$home/data/Sonaro/Sonaro/Halvex.db
for _ in $(seq 1 300); do
    [ -f "$database" ] || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null || fail "the unpacked sonaro did not keep running: $(cat "$root/sonaro.log")"
{ kill "$pid" && wait "$pid"; } 2>/dev/null || true
[ -f "$database" ] || fail "no database in the per-user data directory"
[ "$(ls -A "$bin")" = "$before" ] || fail "the program wrote beside its executable"

desktop=$root/usr/share/applications/$appid.desktop metainfo=$root/usr/share/metainfo/$appid.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop entry"
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "no Chinese name in the desktop entry"
appstreamcli validate --no-net "$metainfo" || fail "metainfo"
grep -q "release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 \
        >"$root/page.txt") || fail "$(basename "$page") does not render"
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    grep -q "$version" "$root/page.txt" || fail "$(basename "$page") does not name $version"
done

# The completion offers commands, settings and values after options and their values.
complete_words() {
    bash -c 'source /usr/share/bash-completion/bash_completion && source "$0" &&
        COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
        _sonaroctl && echo "${COMPREPLY[*]}"' \
        "$root/usr/share/bash-completion/completions/sonaroctl" "$@"
}
[ "$(complete_words sonaroctl --bind 127.0.0.1 se)" = set ] || fail "completion of a command"
[ "$(complete_words sonaroctl set max)" = max-open ] || fail "completion of a setting"
[ "$(complete_words sonaroctl --port 5100 set route 1 2 '')" = "on off" ] || fail "completion of a switch"
[ "$(complete_words sonaroctl preset '')" = "save load show" ] || fail "completion of preset"

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "package $(basename "$deb"): all checks passed"
