#!/usr/bin/env bash
# Drives Vesk as a user would, under Xvfb with xdotool, and saves screenshots of
# the settings window's three tabs and of the update window's three outcomes,
# in the light and the dark palette. The update feed is served on 127.0.0.1 by
# python3, so nothing leaves the machine.
#   scripts/settings-screenshots.sh [OUTPUT_FOLDER]   (default: docs)
# Needs: xvfb (Xvfb), xdotool, imagemagick (import), python3, a built build/src/vesk.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$here/docs}" && cd "${1:-$here/docs}" && pwd)
vesk=${VESK:-$here/build/src/vesk}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

"$here/scripts/demo-home.sh" "$work/home" >/dev/null
mkdir -p "$work/feeds"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/feeds" >/dev/null 2>&1 &
pids+=($!)
printf 'updateFeedURL=http://127.0.0.1:%s/appcast.xml\n' "$port" >> "$work/home/.config/Vesk/Vesk.conf"

version=$("$vesk" --version | awk '{print $2}')
feed() { # feed SHORT_VERSION BUILD NOTES
    cat > "$work/feeds/appcast.xml" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Vesk</title>
    <item>
      <title>Vesk $1</title>
      <sparkle:version>$2</sparkle:version>
      <sparkle:shortVersionString>$1</sparkle:shortVersionString>
      <link>https://vesk.app/download</link>
      <description><![CDATA[$3]]></description>
    </item>
  </channel>
</rss>
EOF
}

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Waits for a window whose title matches, and prints its id. (A search that
# meets a window being destroyed fails, so it is simply tried again.)
window() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window named $1 appeared" >&2
    return 1
}
shoot() { sleep 0.6; import -window "$1" "$out/$2"; echo "$out/$2"; }

for palette in light dark; do
    HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
        "$vesk" --palette "$palette" >/dev/null 2>&1 &
    app=$!
    main=$(window '(^| — )Vesk$')
    sleep 1
    # Keys go through XTEST to the focused window, as a keyboard's would.
    xdotool windowfocus --sync "$main"
    xdotool key ctrl+comma
    settings=$(window '^Settings$')
    xdotool windowfocus --sync "$settings"
    shoot "$settings" "settings-general-$palette.png"
    xdotool key ctrl+Tab
    shoot "$settings" "settings-directories-$palette.png"
    xdotool key ctrl+Tab
    shoot "$settings" "settings-about-$palette.png"

    for outcome in available uptodate error; do
        case $outcome in
        available) feed 9.0 900 "<h3>Vesk 9.0</h3><ul><li>Scans run off the window's thread.</li><li>Collections can be renamed.</li><li>A settings window that behaves like one.</li></ul>" ;;
        uptodate) feed "$version" 1 "" ;;
        error) rm -f "$work/feeds/appcast.xml" ;;
        esac
        # "Check for updates" on the About tab of the 480-pixel-wide window.
        xdotool mousemove --window "$settings" "${CHECK_X:-194}" "${CHECK_Y:-236}" click 1
        dialog=$(window '^Software Update$')
        shoot "$dialog" "update-$outcome-$palette.png"
        xdotool windowfocus --sync "$dialog"
        xdotool key Escape
        sleep 0.5
    done
    kill "$app"
    wait "$app" 2>/dev/null || true
done
