#!/usr/bin/env bash
# Saves the README's screenshots of the main window from the demo library: the
# window as it opens and filtered to Claude Code and to Codex; and the skill card,
# in the light and the dark palette, of a skill folder with supporting files of
# every kind and metadata, of a one-file Cursor rule of a project and of a project
# skill that three harnesses read; and one more at the window's minimum width,
# where badges and chips wrap. The checks: a card with a clash, the editor with
# its problems, and two copies compared. Last, the collections popover, with a
# skill being added to a collection.
#   scripts/window-screenshots.sh [OUTPUT_FOLDER]   (default: docs)
# Needs a built build/src/vesk; all but the popover are taken offscreen, the
# popover under Xvfb with xdotool and imagemagick.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$here/docs}" && cd "${1:-$here/docs}" && pwd)
vesk=${VESK:-$here/build/src/vesk}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

home=$work/home
"$here/scripts/demo-home.sh" "$home" >/dev/null
# Files written a moment ago would all read "1 second ago".
touch -d '2 days ago' "$home/.claude/skills/pr-digest/SKILL.md"
touch -d '26 hours ago' "$home/Projects/atlas/.cursor/rules/api-design.mdc"
touch -d '3 hours ago' "$home/Projects/beacon/.cursor/skills/seed-data/SKILL.md"
touch -d '5 days ago' "$home/.claude/skills/code-review/SKILL.md"
touch -d '3 weeks ago' "$home/.agents/skills/changelog/SKILL.md"

shoot() { # shoot FILE SKILL PALETTE SIZE [FILTER]
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=offscreen \
        "$vesk" --screenshot "$out/$1" --select "$2" --mode card --palette "$3" --size "$4" \
        --filter "${5:-all}" 2>/dev/null
    echo "$out/$1"
}

shoot vesk-light.png code-review light 1180x680
shoot vesk-dark.png code-review dark 1180x680 claude
shoot vesk-shared-folders.png changelog light 1100x620 codex
# The list's two-line rows and the Projects section, in both palettes.
shoot list-rows-light.png pr-digest light 1180x680
shoot list-rows-dark.png pr-digest dark 1180x680

for palette in light dark; do
    shoot "card-skill-folder-$palette.png" pr-digest "$palette" 1280x1240
    shoot "card-cursor-rule-$palette.png" api-design "$palette" 1280x720
    shoot "card-three-harnesses-$palette.png" seed-data "$palette" 1280x860
done
# Needs Attention: its count in the sidebar, the marked rows, a card with an error.
shoot needs-attention-light.png lint-fix light 1180x680 attention
shoot needs-attention-dark.png lint-fix dark 1180x680 attention
# The window's minimum width: the card's column is at its narrowest.
shoot card-narrow-light.png pr-digest light 900x1240

# The checks: a clash on the card, with the other copy and Compare; the editor with
# the strip of what it found as typed and the marked lines; the two copies compared.
touch -d '4 hours ago' "$home/.claude/skills/api-client/SKILL.md" \
    "$home/.claude/skills/git-bisect/SKILL.md" "$home/.agents/skills/git-bisect/SKILL.md"
shoot_as() { # shoot_as FILE SKILL PALETTE SIZE MODE
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=offscreen \
        "$vesk" --screenshot "$out/$1" --select "$2" --mode "$5" --palette "$3" --size "$4" 2>/dev/null
    echo "$out/$1"
}
for palette in light dark; do
    shoot "card-clash-$palette.png" git-bisect "$palette" 1180x680
    shoot_as "editor-problems-$palette.png" api-client "$palette" 1180x680 editor
    shoot_as "compare-$palette.png" git-bisect "$palette" 1180x680 compare
done

# The collections popover is a window of its own, so this one is taken from a
# real display: Xvfb, driven with xdotool as a user would (needs xvfb, xdotool
# and imagemagick). Positions are those of the 1180 × 720 window Vesk opens with.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
click() { xdotool mousemove "$1" "$2" click "${3:-1}"; sleep 0.6; }
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share "$vesk" --palette light >/dev/null 2>&1 &
app=$!
for _ in $(seq 100); do
    main=$(xdotool search --onlyvisible --name '(^| — )Vesk$' 2>/dev/null | head -n1 || true)
    [ -n "$main" ] && break
    sleep 0.1
done
sleep 1.5
click 82 441                                  # "New collection"
xdotool type --delay 20 'Release work'; xdotool key Return; sleep 0.6
click 62 129                                  # All skills
click 82 469                                  # "New collection", now one row lower
xdotool type --delay 20 'Reading list'; xdotool key Return; sleep 0.6
click 62 129
click 262 400                                 # pr-digest
click 996 701                                 # the collections button in the bar
click 1069 639                                # "Release work": the skill joins it
sleep 0.4
import -window root -crop 1180x720+0+0 "$out/collections-popover-light.png"
echo "$out/collections-popover-light.png"
kill "$app"
wait "$app" 2>/dev/null || true
