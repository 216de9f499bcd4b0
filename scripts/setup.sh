# Shared set-up of scripts/run and scripts/test: install what is missing from
# Debian's packages, then configure and build a preset incrementally.
# Sourced, not run.

TESSEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The package list lives in scripts/packages.txt, where the Setup test reads
# it through this file: "#" starts a comment.
TESSEL_PACKAGES=()
while read -r -a _tessel_words || [ ${#_tessel_words[@]} -gt 0 ]; do
    for _tessel_word in "${_tessel_words[@]}"; do
        case "$_tessel_word" in "#"*) break ;; esac
        TESSEL_PACKAGES+=("$_tessel_word")
    done
done <"$TESSEL_ROOT/scripts/packages.txt"
unset _tessel_words _tessel_word

tessel_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

tessel_install_packages() {
    local missing=()
    local p
    for p in "${TESSEL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    tessel_as_root apt-get update -qq
    tessel_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# tessel_build PRESET [TARGET...]
tessel_build() {
    local preset="$1"; shift
    local dir
    case "$preset" in
        relwithdebinfo) dir=build ;;
        release) dir=build-release ;;
        asan-ubsan) dir=build-asan ;;
        tsan) dir=build-tsan ;;
        *) echo "unknown preset $preset" >&2; return 1 ;;
    esac
    (cd "$TESSEL_ROOT" && cmake --preset "$preset" >/dev/null)
    if [ $# -gt 0 ]; then
        cmake --build "$TESSEL_ROOT/$dir" --target "$@"
    else
        cmake --build "$TESSEL_ROOT/$dir"
    fi
}
