#!/usr/bin/env bash
# Drives Vesk with the keyboard alone, as a user who never touches the mouse,
# under Xvfb on the demo library: search for a skill, open it, edit and save it,
# mark it a favorite, add it to a new collection, then make a new skill. Each
# step is checked on disk or in `vesk list --json`; the last screen is saved.
#   scripts/keyboard-walkthrough.sh [SCREENSHOT]   (default: docs/keyboard-walkthrough.png)
# Needs: xvfb (Xvfb), xdotool, imagemagick (import), python3, a built build/src/vesk.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
shot=${1:-$here/docs/keyboard-walkthrough.png}
vesk=${VESK:-$here/build/src/vesk}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

home=$work/home
"$here/scripts/demo-home.sh" "$home" >/dev/null
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Waits for a window whose title matches, and prints its id.
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
# Keys go through XTEST to the focused window, as a keyboard's would.
key() { xdotool key --delay 80 "$@"; sleep 0.5; }
typed() { xdotool type --delay 40 "$1"; sleep 0.5; }
fail() { echo "keyboard walkthrough: $*" >&2; exit 1; }
# Whether `vesk list --json` says PYTHON-EXPRESSION of the skill named NAME (as `s`).
skill_is() { # skill_is NAME EXPRESSION
    "$vesk" list --json 2>/dev/null | python3 -c '
import json, sys
name, test = sys.argv[1], sys.argv[2]
skills = [s for s in json.load(sys.stdin) if s.get("name") == name]
sys.exit(0 if skills and eval(test, {}, {"s": skills[0]}) else 1)' "$1" "$2"
}

"$vesk" --palette light >/dev/null 2>&1 &
app=$!
pids+=($app)
main=$(window '(^| — )Vesk$')
sleep 1.5
xdotool windowfocus --sync "$main"

# Search, and walk into the results: Down selects the first match, Enter opens it.
key ctrl+f
typed 'pr-dig'
key Down Return
window '^pr-digest — Vesk$' >/dev/null || fail "pr-digest was not opened"

# Edit: Ctrl+E opens the editor with the focus in the text; type at the end, save.
key ctrl+e
key ctrl+End
typed 'Checked from the keyboard.'
window '^pr-digest\* — Vesk$' >/dev/null || fail "the edit did not mark the window modified"
key ctrl+f                      # the editor's own find bar, then back to the text
key Escape
key ctrl+s
grep -q 'Checked from the keyboard.' "$home/.claude/skills/pr-digest/SKILL.md" || fail "Ctrl+S did not save"
window '^pr-digest — Vesk$' >/dev/null || fail "the window still says modified after saving"

# Favorite: Ctrl+D.
key ctrl+d

# A collection: File ▸ New Collection… (Alt+F, C), named and made with Enter; then
# Skill ▸ Add to Collection (Alt+S, A) and Enter on its first collection.
key alt+f c
typed 'Release work'
key Return
key alt+s a Return

# A new skill: Ctrl+N opens the sheet with the name field focused; Enter creates it.
key ctrl+n
typed 'keyboard made'
key Return
window '^keyboard-made — Vesk$' >/dev/null || fail "the new skill was not opened"
# With no window manager under Xvfb, nobody hands the focus back once the sheet
# is gone; a desktop does this by itself.
xdotool windowfocus --sync "$main"
sleep 0.5
key ctrl+e                      # from its editor back to the card
key ctrl+f Escape               # the search cleared: every skill listed again
import -window root -crop 1180x720+0+0 "$shot"
echo "$shot"

key ctrl+q
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then
    import -window root -crop 1180x720+0+0 "${shot%.png}-quit.png"
    fail "Ctrl+Q did not quit (the screen is in ${shot%.png}-quit.png)"
fi
skill_is pr-digest 's.get("isFavorite") is True' || fail "Ctrl+D did not mark pr-digest a favorite"
skill_is pr-digest '"Release work" in s.get("collections", [])' || fail "pr-digest is not in Release work"
skill_is keyboard-made 'True' || fail "the new skill was not made"
echo "keyboard walkthrough: every step done"
