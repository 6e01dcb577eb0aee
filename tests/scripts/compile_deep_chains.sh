#!/usr/bin/env bash
# A left-nested and a right-nested application chain a million levels deep.
exec bash "$(dirname "$0")/deep_bodies.bash" "$1" left right
