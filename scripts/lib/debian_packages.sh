# shellcheck shell=bash
# Installing the Debian packages a script needs, only those that are missing, as root or through
# sudo: shared by scripts/build-qt-windows and scripts/test-windows. Source this file; it defines
# functions only.

# install_missing_packages WHO PACKAGE...: installs those of PACKAGE (name or name:architecture)
# that are not installed, first adding an architecture dpkg does not know yet (wine32:i386 on an
# amd64 machine). WHO starts the messages. Returns 1 when something could not be installed.
install_missing_packages()
{
    local who=$1 p arch
    shift
    local missing=() sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "$who: installing ${missing[*]}"
    for p in "${missing[@]}"; do
        [[ $p == *:* ]] || continue
        arch=${p##*:}
        [[ $arch == "$(dpkg --print-architecture)" ]] && continue
        dpkg --print-foreign-architectures | grep -qx "$arch" ||
            "${sudo[@]}" dpkg --add-architecture "$arch" || return 1
    done
    # dpkg's progress goes to a log, shown only when something fails.
    local log status
    log=$(mktemp)
    { "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"; } >"$log" 2>&1
    status=$?
    ((status == 0)) || tail -n 20 "$log" >&2
    rm -f "$log"
    return "$status"
}
