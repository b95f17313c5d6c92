# The demo session the stand-in UI engine plays on the tunnel channel, shared
# by scripts/run and scripts/test-package. Source it after wine.sh, with
# WINEPREFIX set; it defines functions only.
#   keelhaven_session_write BUILD WORK_DIR SCRIPT: writes the script (bring a
#       tunnel up, read its counters three times, take it down, close the
#       window); the methods it calls, in order, are KEELHAVEN_SESSION_METHODS.
#   keelhaven_session_replies BUILD WORK_DIR TRANSCRIPT: prints each reply of
#       the transcript decoded, as "<method> -> <reply>"; fails when there is none.

KEELHAVEN_SESSION_CHANNEL=com.daltic.halberdix/wireguard
KEELHAVEN_SESSION_METHODS=(establishTunnel getTunnelStats getTunnelStats getTunnelStats
  tearDownTunnel)

# keelhaven_channel_tool BUILD WORK_DIR ARGS...: runs the channel tool under
# Wine and prints its output. The output goes through a file: a pipe would be
# inherited by Wine's services and keep the reader waiting.
keelhaven_channel_tool() {
  local build=$1 out=$2/channel_tool.out
  shift 2
  "$KEELHAVEN_WINE" "$build/standins/channel_tool/channel_tool.exe" "$@" \
    </dev/null >"$out" 2>&1
  local rc=$?
  tr -d '\r' <"$out"
  return $rc
}

keelhaven_session_write() {
  local build=$1 work=$2 script=$3 establish stats teardown
  establish=$(keelhaven_channel_tool "$build" "$work" encode-call establishTunnel \
    privateKey=BSlvu3X/BjlZ9YjjvI5Nl0NdzjbDtUs7Js49QgaP47c= \
    publicKey=AqsEnrntsVcx8jIqXCclDc/28MzyoHwusiPAA47Mnac= \
    serverPublicKey=P1DOzXwpH2F4IBjoTBCwzIaS0rxknzzor0hm5W5w1Ig= \
    endpoint=198.51.100.24:51820 \
    "allowedIps=0.0.0.0/0, ::/0" \
    "dns=9.9.9.9, 149.112.112.112" \
    address=10.64.12.7/32) || { echo "$establish" >&2; return 1; }
  stats=$(keelhaven_channel_tool "$build" "$work" encode-call getTunnelStats) || return 1
  teardown=$(keelhaven_channel_tool "$build" "$work" encode-call tearDownTunnel) || return 1
  local channel=$KEELHAVEN_SESSION_CHANNEL
  cat >"$script" <<SCRIPT
# Played by the stand-in engine once the window has shown its first frame.
wait 1000
rect
send $channel $establish
wait 1000
send $channel $stats
wait 1000
send $channel $stats
wait 2000
send $channel $stats
wait 1000
send $channel $teardown
wait 1000
close
SCRIPT
}

keelhaven_session_replies() {
  local build=$1 work=$2 transcript=$3 replies=() described i
  while read -r _ _ hex; do replies+=("$hex"); done < <(grep '^reply ' "$transcript" 2>/dev/null)
  ((${#replies[@]} > 0)) || return 1
  mapfile -t described < <(keelhaven_channel_tool "$build" "$work" decode-reply "${replies[@]}")
  for i in "${!described[@]}"; do
    echo "${KEELHAVEN_SESSION_METHODS[$i]:-?} -> ${described[$i]}"
  done
}
