#!/usr/bin/env bash
# Fails when a program the build, the tests or scripts/run start would be
# missing on a fresh Debian machine after scripts/setup.sh, naming the program
# and the package it needs. A build machine that happens to have a tool
# installed otherwise hides exactly that, so this looks at who owns each
# program rather than whether it runs here.
#
#   check_packages.sh SOURCE_DIR [CMAKE_CACHE [PROGRAM_PATH...]]
#
# A package counts as installed by the set-up when scripts/packages.txt lists
# it, when a listed package needs it (Depends and Pre-Depends, first
# alternative, the way apt resolves them for a machine that has none; the
# set-up does not install recommends), or when it belongs to Debian's base
# system (Essential or Priority: required).
#
# Programs come from tests/setup/programs.txt, from CMake's cache (the
# toolchain, and every variable a find_program of the sources fills), from
# PROGRAM_PATH (tools CMake knows only as targets, such as moc) and from the
# shell commands in the tests' sources. Whatever of those is missing from
# programs.txt fails too, so that the list cannot fall behind the code.
set -uo pipefail

root=$1
cache=${2:-}
shift $(($# < 2 ? $# : 2))
extra_paths=("$@")

programs_file=$root/tests/setup/programs.txt

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The list exactly as the set-up reads it.
# shellcheck source=/dev/null
. "$root/scripts/setup.sh" || { echo "FAIL: cannot read scripts/setup.sh"; exit 1; }
declare -A listed=()
for p in "${TESSEL_PACKAGES[@]}"; do listed[$p]=1; done

# --- What dpkg knows: installed packages, their dependencies and provides.
declare -A installed=() base=() depends=() providers=()
while IFS='^' read -r status name essential priority predeps deps provides; do
    [[ $status == ii* ]] || continue
    installed[$name]=1
    [[ $essential == yes || $priority == required ]] && base[$name]=1
    depends[$name]+=", $predeps, $deps"
    IFS=',' read -ra virtuals <<<"$provides"
    for v in "${virtuals[@]}"; do
        v=${v%%(*}
        v=${v//[[:space:]]/}
        [[ -n $v ]] && providers[$v]+=" $name"
    done
done < <(dpkg-query -W -f='${db:Status-Abbrev}^${Package}^${Essential}^${Priority}^${Pre-Depends}^${Depends}^${Provides}\n')
if [ ${#installed[@]} -eq 0 ]; then
    echo "FAIL: dpkg-query lists no installed package"
    exit 1
fi

declare -A covered=()
not_installed=()
queue=()
for p in "${TESSEL_PACKAGES[@]}"; do
    if [[ -n ${installed[$p]:-} ]]; then queue+=("$p"); else not_installed+=("$p"); fi
done
while [ ${#queue[@]} -gt 0 ]; do
    p=${queue[-1]}
    unset 'queue[-1]'
    [[ -n ${covered[$p]:-} ]] && continue
    covered[$p]=1
    IFS=',' read -ra groups <<<"${depends[$p]:-}"
    for g in "${groups[@]}"; do
        d=${g%%|*}
        d=${d%%(*}
        d=${d%%:*}
        d=${d//[[:space:]]/}
        [[ -z $d ]] && continue
        if [[ -n ${installed[$d]:-} ]]; then
            queue+=("$d")
        else
            # shellcheck disable=SC2206
            queue+=(${providers[$d]:-})
        fi
    done
done

is_covered() { [[ -n ${base[$1]:-} || -n ${covered[$1]:-} ]]; }

# Owners of a program's file: the path itself and where its links lead (an
# alternative such as c++ is owned only at its end), each also under the
# other side of the /usr merge, since dpkg records some files as /bin/...
owners_of() {
    local path=$1 candidates=() c real
    real=$(readlink -f "$path")
    for c in "$path" "$real"; do
        candidates+=("$c")
        case "$c" in
            /usr/bin/* | /usr/sbin/* | /usr/lib/*) candidates+=("${c#/usr}") ;;
            /bin/* | /sbin/* | /lib/*) candidates+=("/usr$c") ;;
        esac
    done
    dpkg-query -S "${candidates[@]}" 2>/dev/null | while IFS= read -r line; do
        case "$line" in "diversion by "*) continue ;; esac
        local file=${line##*: } owners=${line%: *}
        for c in "${candidates[@]}"; do
            if [[ $file == "$c" ]]; then
                IFS=', ' read -ra names <<<"$owners"
                for n in "${names[@]}"; do [[ -n $n ]] && echo "${n%%:*}"; done
                break
            fi
        done
    done | sort -u
}

# check_path LABEL PATH [EXPECTED_PACKAGE]
check_path() {
    local label=$1 path=$2 expected=${3:-} owners=() o bad=0
    mapfile -t owners < <(owners_of "$path")
    if [ ${#owners[@]} -eq 0 ]; then
        # A copy installed by hand (under /usr/local, say) hides whether the
        # packaged one is there; a fresh machine would run the packaged one.
        local packaged
        packaged=$(PATH=/usr/bin:/usr/sbin:/bin:/sbin command -v "$(basename "$path")")
        if [[ $packaged == /* ]]; then
            mapfile -t owners < <(owners_of "$packaged")
        fi
        if [ ${#owners[@]} -eq 0 ]; then
            fail "$label ($path) comes from no Debian package${expected:+; install it from package $expected}"
            return
        fi
        echo "note: $label at $path is from no package; checking $packaged instead"
        path=$packaged
    fi
    for o in "${owners[@]}"; do
        if ! is_covered "$o"; then
            fail "$label ($path) comes from package $o, which scripts/setup.sh does not install: add $o to scripts/packages.txt"
            bad=1
        fi
    done
    [ $bad -eq 0 ] && echo "ok: $label ($path) from ${owners[*]}"
}

# --- programs.txt: each entry's package must be listed, and the program
# there and owned by what the set-up installs.
declare -A declared=()
while read -r prog pkg _; do
    [[ -z $prog || $prog == \#* ]] && continue
    if [[ -z $pkg || $pkg == \#* ]]; then
        fail "tests/setup/programs.txt: $prog names no package"
        continue
    fi
    declared[$prog]=$pkg
    if [[ -z ${listed[$pkg]:-} ]]; then
        fail "$prog needs package $pkg, which scripts/packages.txt does not list"
        continue
    fi
    path=$(command -v "$prog")
    if [[ $path != /* ]]; then
        fail "$prog is not installed (package $pkg): scripts/setup.sh installs it"
        continue
    fi
    check_path "$prog" "$path" "$pkg"
done <"$programs_file"

# --- find_program in the CMake sources: every program looked for needs its
# line in programs.txt, so the build cannot need a tool the list misses even
# where its folder is not configured (res/ without the UI).
find_program_vars=()
cmake_sources=()
while IFS= read -r -d '' f; do cmake_sources+=("$f"); done < <(
    find "$root" \( -name .git -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \
        -o \( -name CMakeLists.txt -o -name '*.cmake' \) -type f -print0)
while IFS= read -r -d '' call; do
    read -ra words <<<"$(tr '\n\t' '  ' <<<"${call#*(}")"
    [ ${#words[@]} -ge 2 ] || continue
    find_program_vars+=("${words[0]}")
    names=()
    if [[ ${words[1]} == NAMES ]]; then
        for w in "${words[@]:2}"; do
            [[ $w =~ ^[A-Z_]+$ ]] && break
            names+=("$w")
        done
    else
        names=("${words[1]}")
    fi
    for n in "${names[@]}"; do
        n=${n//\"/}
        [[ $n == *'$'* ]] && continue
        [[ -n ${declared[$n]:-} ]] ||
            fail "the CMake sources look for $n with find_program, and tests/setup/programs.txt does not say which package brings it"
    done
done < <(grep -hzoE '(^|[^A-Za-z_])find_program\([^)]*' "${cmake_sources[@]}" /dev/null)

# --- The configured build: toolchain and find_program results as CMake
# found them (a compiler given as CXX=... shows up here, not in programs.txt).
if [[ -n $cache ]]; then
    vars=(CMAKE_COMMAND CMAKE_CTEST_COMMAND CMAKE_MAKE_PROGRAM CMAKE_C_COMPILER CMAKE_CXX_COMPILER
        CMAKE_AR CMAKE_RANLIB CMAKE_LINKER PKG_CONFIG_EXECUTABLE "${find_program_vars[@]}")
    for v in "${vars[@]}"; do
        value=$(sed -nE "s/^$v:[A-Z]+=(.*)$/\1/p" "$cache" | head -n1)
        [[ -z $value || $value == *-NOTFOUND ]] && continue
        [[ $value == /* ]] || value=$(command -v "$value")
        check_path "$v" "$value"
    done
fi
for path in "${extra_paths[@]}"; do
    [ -x "$path" ] || { fail "$path is not installed"; continue; }
    check_path "$(basename "$path")" "$path"
done

# --- Shell commands in the tests' sources: the first word of each command in
# a string literal ("lame --quiet ...", "... && mv ...", "sh -c 'parec ...").
# A word that names an installed program outside the base system must have
# its line in programs.txt.
while IFS=: read -r file word; do
    [[ -n ${declared[$word]:-} ]] && continue
    path=$(command -v "$word")
    [[ $path == /* ]] || continue
    mapfile -t owners < <(owners_of "$path")
    [ ${#owners[@]} -eq 0 ] && continue
    for o in "${owners[@]}"; do
        if [[ -z ${base[$o]:-} ]]; then
            fail "${file#"$root"/} runs $word (package ${owners[*]}), which tests/setup/programs.txt does not name"
            break
        fi
    done
done < <(
    find "$root/tests" \( -name '*.cpp' -o -name '*.h' \) -type f -print0 | sort -z |
        while IFS= read -r -d '' f; do
            grep -vE '^[[:space:]]*(#|//)' "$f" | grep -oE '"([^"\\]|\\.)*"' |
                sed -E 's/^"//; s/"$//' |
                sed -E "s/(&&|\\|\\||;|\\||&|\\\$\\(|\`|-c ')/\\n/g" |
                sed -E "s/^[[:space:]'\\\\\"]*//; s/^([A-Za-z_][A-Za-z0-9_]*=[^ ]* +)*//; s/^(command -v|exec|env) +//" |
                grep -oE '^[a-z][a-z0-9+._-]* ' | sed -E "s|^(.*) \$|$f:\\1|"
        done | sort -u
)

if [ ${#not_installed[@]} -gt 0 ]; then
    echo "note: listed but not installed here, so their dependencies were not followed: ${not_installed[*]}"
fi
if [ $failures -gt 0 ]; then
    echo "$failures problem(s): scripts/setup.sh would leave a fresh machine without these programs"
    exit 1
fi
echo "every program comes from a package scripts/setup.sh installs"
