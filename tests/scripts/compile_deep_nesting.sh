#!/usr/bin/env bash
# Deep parentheses, and a quoted chain whose source text is printed and cut at the limit.
exec bash "$(dirname "$0")/deep_bodies.bash" "$1" parens quoted
