#!/usr/bin/env bash
# vexa's shell completions and man page as `vexa completion` prints them: each script parses in
# its shell (zsh and fish where installed), the man page renders without a warning, and bash (and
# fish) offer exactly the commands and options that vexa's own help lists.
#   completion_test.sh VEXA
set -euo pipefail
vexa=$1

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexa-completion.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# expect_same WHAT EXPECTED ACTUAL
expect_same() {
    [ "$2" = "$3" ] || fail "$1: expected [$(echo $2)], got [$(echo $3)]"
}

for kind in bash zsh fish man; do
    "$vexa" completion "$kind" >"$scratch/vexa.$kind" || fail "vexa completion $kind"
done
bash -n "$scratch/vexa.bash" || fail "the bash script does not parse"
if command -v zsh >/dev/null; then zsh -n "$scratch/vexa.zsh" || fail "the zsh script does not parse"; fi
if command -v fish >/dev/null; then fish -n "$scratch/vexa.fish" || fail "the fish script does not parse"; fi
if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$scratch/vexa.man" 2>&1) || fail "groff fails on the man page"
    [ -z "$warnings" ] || fail "the man page: $warnings"
    groff -man -Tutf8 -P-cbou "$scratch/vexa.man" | grep -q 'vexa send --to' || fail "the man page has no vexa send"
fi

# What vexa's help lists: the commands, and the option names of the program or of one command.
help_commands() { "$vexa" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | sort; }
help_options() { "$vexa" "$@" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n' | sort; }
# The words bash offers for a command line typed up to its end.
bash_offers() {
    # shellcheck disable=SC2016 # expanded by the inner shell
    bash -c 'compopt() { :; }; source "$1"; COMP_LINE=$2; COMP_POINT=${#2}; _vexa; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$scratch/vexa.bash" "$1" | sed '/^$/d' | sort
}

commands=$(help_commands)
[ -n "$commands" ] || fail "vexa --help lists no commands"
expect_same "bash, the commands" "$commands" "$(bash_offers 'vexa ' | grep -v '^-')"
expect_same "bash, the program's options" "$(help_options)" "$(bash_offers 'vexa -')"
for command in $commands; do
    expect_same "bash, the options of $command" "$(help_options "$command")" "$(bash_offers "vexa $command -")"
done
expect_same "bash, a value's choices" "$(printf '%s\n' lms mms sms)" "$(bash_offers 'vexa send --type ')"
expect_same "bash, after HOST:PORT" "--reserved" "$(bash_offers 'vexa --legacy 127.0.0.1:9000 logs --res')"
expect_same "bash, a value that is no option" "" "$(bash_offers 'vexa send --text -')"

if command -v fish >/dev/null; then
    fish_offers() { fish -c "source '$scratch/vexa.fish'; complete -C '$1'" | cut -f1 | sort; }
    expect_same "fish, the commands" "$commands" "$(fish_offers 'vexa ')"
    expect_same "fish, the options of send" "$(help_options send)" "$(fish_offers 'vexa send -')"
fi
echo "done"
