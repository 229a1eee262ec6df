#!/bin/sh
# Runs a command inside an X session (started by xvfb-run) with the trayer tray host, so that
# tests of the notification area meet a real tray. Waits until trayer has made its panel,
# runs the command, stops trayer and answers the command's status. The command finds trayer's
# process id in QS_TRAYER_PID.
set -u
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
trayer_pid=$!
tries=0
until xwininfo -root -tree 2>/dev/null | grep -q '"panel"'; do
  tries=$((tries + 1))
  if [ "$tries" -gt 200 ]; then
    echo "with_tray_host: trayer made no panel" >&2
    kill "$trayer_pid" 2>/dev/null
    exit 1
  fi
  sleep 0.05
done
QS_TRAYER_PID=$trayer_pid "$@"
status=$?
kill "$trayer_pid" 2>/dev/null
wait "$trayer_pid" 2>/dev/null
exit "$status"
