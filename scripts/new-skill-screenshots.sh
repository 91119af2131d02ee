#!/usr/bin/env bash
# Drives Vesk under Xvfb with the keyboard, as a user would, and saves the New
# Skill sheet in the light and the dark palette: Ctrl+N, a name, a description,
# Codex as the tool (its folder is shared, so the sheet says who else reads it)
# and a project of the demo home under Where.
#   scripts/new-skill-screenshots.sh [OUTPUT_FOLDER]   (default: docs)
# Needs: xvfb (Xvfb), xdotool, imagemagick (import), a built build/src/vesk.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$here/docs}" && cd "${1:-$here/docs}" && pwd)
vesk=${VESK:-$here/build/src/vesk}
work=$(mktemp -d)
home=$work/home
"$here/scripts/demo-home.sh" "$home" >/dev/null

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

waitFor() { # waitFor TITLE_REGEX: the window id
    local id=
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

for palette in light dark; do
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share "$vesk" --palette "$palette" \
        >/dev/null 2>&1 &
    app=$!
    main=$(waitFor '^Vesk')
    sleep 1.5
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    xdotool key ctrl+n
    sheet=$(waitFor '^New Skill$')
    sleep 0.5
    xdotool type --delay 15 'Release checklist'
    xdotool key Tab
    xdotool type --delay 15 'Drafts release notes from the merged pull requests'
    xdotool key Tab
    for _ in 1 2 3; do xdotool key Down; done   # Claude Code, Cursor, Windsurf, Codex
    xdotool key Tab Down                         # the first project
    sleep 0.6
    import -window "$sheet" "$out/new-skill-$palette.png"
    echo "$out/new-skill-$palette.png"
    if [ "$palette" = light ]; then
        # A name whose folder the project has already: Create waits and the line says why.
        xdotool key shift+Tab shift+Tab shift+Tab ctrl+a
        xdotool type --delay 15 'Release notes'
        sleep 0.6
        import -window "$sheet" "$out/new-skill-exists-light.png"
        echo "$out/new-skill-exists-light.png"
    fi
    xdotool key Escape
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=
done
