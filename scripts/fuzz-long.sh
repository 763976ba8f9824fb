#!/usr/bin/env bash
# Runs every fuzz target for long: an hour each unless told how many seconds.
exec "$(dirname "$0")/fuzz.sh" "${1:-3600}"
