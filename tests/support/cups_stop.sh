#!/bin/sh
# Stops the print server cups_start.sh started under DIR and removes DIR.
#   cups_stop.sh DIR
set -u
DIR=$1
if [ -f "$DIR/cupsd.pid" ]; then
  pid=$(cat "$DIR/cupsd.pid")
  kill "$pid" 2>/dev/null
  i=0
  while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
fi
rm -rf "$DIR"
exit 0
