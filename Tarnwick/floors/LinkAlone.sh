#!/bin/sh
# LinkAlone.sh FLOOR LINK-COMMAND...: runs the link of FLOOR's program of its own
# (LinkAlone.cpp) and, when it fails on references nothing below the floor defines, says
# which rule the floor broke after the linker's own words.
floor=$1
shift
out=$("$@" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out" >&2
[ "$status" -eq 0 ] && exit 0
# The first three names the linker could not find, as it printed them.
missing=$(printf '%s\n' "$out" | sed -n "s/.*undefined reference to \`\(.*\)'\$/\1/p" | sort -u | head -n 3 |
          awk 'NR > 1 { printf ", " } { printf "%s", $0 }')
if [ -n "$missing" ]; then
  echo "The floor $floor uses a function or class of a floor above it ($missing): a floor links only the floors below it." >&2
fi
exit "$status"
