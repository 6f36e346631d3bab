#!/usr/bin/env bash
# Checks a manual page: groff reads it without an error or a warning, and, given the tool the
# page is for, the page and the tool's --help name the same options, arguments, code pages and
# exit statuses, and the page's title line the version that --version prints. Given the header
# of the program's messages too, the page explains exactly the messages the tool holds.
#
#   man/check_page.sh PAGE [TOOL [MESSAGES_HEADER]]
set -euo pipefail
page="$1"
tool="${2:-}"
messages_header="${3:-}"
status=0

warnings="$(groff -man -ww -z "$page" 2>&1)" || status=1
if [ -n "$warnings" ]; then
  echo "$page: groff warns:"
  echo "$warnings"
  status=1
fi
[ -n "$tool" ] || exit $status

help="$("$tool" --help)"
# The page as plain text, each paragraph on one line, so that no word is broken.
text="$(groff -man -Tascii -rLL=3000n -P-cbou "$page")"

# The lines of one section of the rendered page: from its heading to the next heading.
section() {
  awk -v name="$1" '/^[A-Z]/ { inside = ($0 == name); next } inside' <<<"$text"
}
# Words that look like options, arguments (lower case with underscores) or code page numbers.
options() { grep -oE '(^|[^-[:alnum:]])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
arguments() { grep -oE '\b[a-z]+(_[a-z]+)+\b' | sort -u; }
numbers() { grep -oE '\b[0-9]{3,5}\b' | sort -u; }

# Compares what the tool names (its --help, unless a fourth argument names the source) with
# what a part of the page names.
same() {
  local what="$1" from_tool="$2" from_page="$3" source="${4:---help}"
  if [ "$from_tool" != "$from_page" ]; then
    echo "$page: the $what of $source and of the page differ (< $source, > page):"
    diff <(echo "$from_tool") <(echo "$from_page") | grep '^[<>]' || true
    status=1
  fi
}

help_options="$(options <<<"$help")"
same "options" "$help_options" "$(section OPTIONS | options)"
same "options in the synopsis" "$help_options" "$(section SYNOPSIS | options)"

help_arguments="$(arguments <<<"$help")"
same "arguments in the synopsis" "$help_arguments" "$(section SYNOPSIS | arguments)"
# Each argument has a paragraph of its own, headed by its name.
same "arguments" "$help_arguments" "$(section ARGUMENTS | grep -E '^ {7}[a-z_]+$' | arguments)"

help_pages="$(sed -n '/^Code pages:/,/^$/p' <<<"$help" | numbers)"
if [ -z "$help_pages" ]; then
  echo "$tool --help lists no code pages"
  status=1
fi
same "code pages" "$help_pages" "$(section 'CODE PAGES' | numbers)"

# The page's title line names the version the tool reports.
version="$("$tool" --version)"
grep -qF "\"$version\"" <(grep '^\.TH ' "$page") || {
  echo "$page: the title line does not name \"$version\""
  status=1
}

# Every exit status --help names is explained on the page.
for code in $(grep -oE '^Exit status:.*' <<<"$help" | grep -oE '\b[0-9]\b'); do
  section 'EXIT STATUS' | grep -qE "^ {7}$code\b" || {
    echo "$page: exit status $code is not explained"
    status=1
  }
done

if [ -n "$messages_header" ]; then
  # The messages of the header that the tool's binary holds, one a line.
  held="$(sed -n 's/^inline constexpr const char\* k[A-Za-z0-9]* = "\(.*\)";$/\1/p' "$messages_header" |
    while IFS= read -r message; do
      if grep -qaF -- "$message" "$tool"; then echo "$message"; fi
    done | sort -u)"
  if [ -z "$held" ]; then
    echo "$messages_header: no message found"
    status=1
  fi
  # Each message heads a paragraph of its own in DIAGNOSTICS.
  same "messages" "$held" "$(section DIAGNOSTICS | sed -n 's/^ \{7\}\([^ ].*\)$/\1/p' | sort -u)" \
    "$(basename "$tool")"
fi
exit $status
