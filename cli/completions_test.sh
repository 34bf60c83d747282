#!/usr/bin/env bash
# The shell completions as a user meets them: bash's, fish's and zsh's run, completing "--ex" to
# --extract and, after -f, file names; and bash's and fish's options are the table's.
#   completions_test.sh PAGES-DIR OPTIONS.h     (the completions in PAGES-DIR/share, as installed)
set -uo pipefail
dir=$(cd "$1/share" && pwd) || { echo "STOPPED: no folder $1/share"; exit 1; }
source "$(dirname "$0")/../tests/checks.sh"
options=$(table_options "$2" | sort)
[ "$(wc -l <<<"$options")" -gt 5 ] || stop "no options read from $2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch app.log hashes.txt
files="app.log hashes.txt"

# bash: the completion function, given the words typed so far.
bash_completes() {  # bash_completes WORD...: what bash offers for the last
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kavlo_ipfinder; printf "%s\n" "${COMPREPLY[@]}"' \
    - "$dir/bash-completion/completions/kavlo-ipfinder" "$@" | sort | paste -sd' '
}
check "bash completes --ex: $(bash_completes kavlo-ipfinder --ex)" test "$(bash_completes kavlo-ipfinder --ex)" = --extract
check "bash completes -f with file names: $(bash_completes kavlo-ipfinder -f '')" test "$(bash_completes kavlo-ipfinder -f '')" = "$files"
check "bash completes every option of the table" test "$(bash_completes kavlo-ipfinder - | tr ' ' '\n' | sort)" = "$options"

if command -v fish >/dev/null; then
  fish_completes() { fish -c "source '$dir/fish/vendor_completions.d/kavlo-ipfinder.fish'; complete -C '$1'" | cut -f1 | sort | paste -sd' '; }
  check "fish completes --ex: $(fish_completes 'kavlo-ipfinder --ex')" test "$(fish_completes 'kavlo-ipfinder --ex')" = --extract
  check "fish completes -f with file names: $(fish_completes 'kavlo-ipfinder -f ')" test "$(fish_completes 'kavlo-ipfinder -f ')" = "$files"
  check "fish completes every option of the table but --" \
    test "$(fish_completes 'kavlo-ipfinder -' | tr ' ' '\n'; fish_completes 'kavlo-ipfinder --' | tr ' ' '\n')" != "" -a \
    "$( (fish_completes 'kavlo-ipfinder -'; fish_completes 'kavlo-ipfinder --') | tr ' ' '\n' | sort -u)" = "$(grep -vx -- -- <<<"$options")"
  check "fish offers no second mode or format: $(fish_completes 'kavlo-ipfinder -x --json --')" \
    test "$(fish_completes 'kavlo-ipfinder -x --json --' | tr ' ' '\n' | grep -cE -- '--(extract|encode|tsv|json)$')" = 0
else
  echo "skipped: fish is not installed, so its completion was not run"
fi
# zsh: an interactive zsh on a terminal of its own (zpty), where a key completes the words typed
# and prints the line; each answer is waited for, not timed.
zsh_completes() {  # zsh_completes WORDS...: the line after completing each
  timeout 60 zsh -f -s "$dir/../zsh" "$@" <<'ZSH'
zmodload zsh/zpty
zpty shell zsh -f -i
zpty -w shell "fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D; PS1='> '"
zpty -w shell "show() { zle complete-word; print -r -- \"{\"\"{\$BUFFER}\"\"}\"; BUFFER=; }; zle -N show; bindkey '^T' show"
for words in "${@:2}"; do
  zpty -w -n shell "$words"$'\x14'
  zpty -r shell out '*{{*}}*'
  print -r -- "${${out##*\{\{}%%\}\}*}"
done
zpty -d shell
ZSH
}
rm hashes.txt
check "zsh completes --ex, --ts and, after -f, a file's name, but no second mode or format" \
  test "$(zsh_completes 'kavlo-ipfinder --ex' 'kavlo-ipfinder --ts' 'kavlo-ipfinder -f ' 'kavlo-ipfinder -x --en' \
    'kavlo-ipfinder --json --ts')" = "$(printf 'kavlo-ipfinder %s\n' '--extract ' '--tsv ' '-f app.log ' '-x --en' '--json --ts')"
finish "shell completions"
