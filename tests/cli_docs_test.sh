#!/bin/bash
# merrowgate-cli's install and documentation: `cmake --install` into a
# DESTDIR puts the program, its manual page and its bash completion in place,
# and --help, the manual page, the README and the completion name the same
# options.
#   tests/cli_docs_test.sh BUILD_DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
. "$root/tests/lib/end-to-end.sh"

DESTDIR=$work/dest cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1
(cd "$work/dest/usr/local" && find . -type f | sort) >"$work/files"
printf '%s\n' ./bin/merrowgate-cli ./share/bash-completion/completions/merrowgate-cli \
  ./share/man/man1/merrowgate-cli.1 >"$work/expected"
check "install: the three files" cmp -s "$work/expected" "$work/files" || cat "$work/files" "$work/install.log"
cli=$work/dest/usr/local/bin/merrowgate-cli
check "install: the program runs" bash -c "[ -x '$cli' ] && '$cli' --version | grep -q '^merrowgate-cli '"
check "install: the completion is registered" bash -c \
  "source '$work/dest/usr/local/share/bash-completion/completions/merrowgate-cli' && complete -p merrowgate-cli >/dev/null"
page=$work/dest/usr/local/share/man/man1/merrowgate-cli.1
if command -v groff >/dev/null; then
  check "install: the manual page formats without warnings" bash -c \
    "[ -z \"\$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z '$page' 2>&1)\" ]"
fi
# The page's version is the program's: both come from the project() line.
check "install: the manual page names the program's version" bash -c \
  "head -1 '$page' | grep -qF \"\\\"\$('$cli' --version)\\\"\" && ! grep -q '@[A-Z_]*@' '$page'"

# Options as each text names them: "--name" and short "-x" words.
options() { grep -oE -- '(^|[^a-z0-9-])--?[a-z][a-z-]*' | sed 's/^[^-]*//' | grep -vx -- '-[a-z][a-z-]\+' | sort -u; }
"$cli" --help | options >"$work/help"
sed 's/\\-/-/g' "$page" | options >"$work/man"
sed -n '/^## Using merrowgate-cli/,/^## /p' "$root/README.md" | options >"$work/readme"
sed -n "/compgen -W '-h/,/-- \"\$cur\"/p" "$root/cli/merrowgate-cli.bash" | tr ' ' '\n' | sed 's/=$//' | options >"$work/completion"
for text in man readme completion; do
  check "options: --help and $text agree" diff "$work/help" "$work/$text"
done

finish
