#!/usr/bin/env bash
# Fills a folder with a small, realistic skill library (fourteen skills in the
# tools' own folders, the shared ~/.agents/skills and two projects) for screenshots and manual testing:
#   scripts/demo-home.sh /tmp/demo && HOME=/tmp/demo build/src/vesk
set -euo pipefail
home=${1:?usage: demo-home.sh FOLDER}
mkdir -p "$home"
home=$(cd "$home" && pwd)

skill() { # skill PATH NAME DESCRIPTION BODY
    mkdir -p "$(dirname "$1")"
    printf -- '---\nname: %s\ndescription: %s\n---\n%b\n' "$2" "$3" "$4" > "$1"
}

mkdir -p "$home/.claude/skills/code-review"
cat > "$home/.claude/skills/code-review/SKILL.md" <<'SKILL'
---
name: code-review
description: Reviews a diff for correctness, naming and missing tests.
---
# Code review

Read the **whole** diff before commenting. 😀

## Checklist

- Names say what things are: `snake_case` in Python, `camelCase` in TypeScript
- Every changed behaviour has a test
- __No__ secrets or tokens in the diff

## Running the checks

```sh
git diff --stat origin/main...HEAD
make test
```

### Tone

Ask questions rather than give orders. 😉
SKILL
mkdir -p "$home/.claude/skills/code-review/scripts" "$home/.claude/skills/code-review/references"
echo 'git diff --stat' > "$home/.claude/skills/code-review/scripts/diffstat.sh"
echo '# Checklist' > "$home/.claude/skills/code-review/references/checklist.md"
skill "$home/.claude/skills/commit-message/SKILL.md" commit-message \
    "Writes a commit message in the imperative mood from the staged changes." \
    "Summarise the change in one line of at most 72 characters."
skill "$home/.claude/skills/pdf-extract/SKILL.md" pdf-extract \
    "Pulls tables and text out of PDF files." "Use pdftotext first; fall back to OCR."
echo '{"dpi": 300}' > "$home/.claude/skills/pdf-extract/config.json"
skill "$home/.agents/skills/sql-tuning/SKILL.md" sql-tuning \
    "Explains slow queries and proposes indexes." "Always read the query plan first."
skill "$home/.agents/skills/changelog/SKILL.md" changelog \
    "Drafts the changelog entry for a release from merged pull requests." \
    "Group entries under Added, Changed and Fixed."
skill "$home/.cursor/rules/typescript-style.mdc" typescript-style \
    "House style for TypeScript." "Prefer type aliases for unions; avoid enums."
skill "$home/.cursor/rules/react-components.mdc" React-components \
    "How components are structured." "One component per file; hooks at the top."
mkdir -p "$home/.cursor/skills"
ln -sfn "$home/.claude/skills/code-review" "$home/.cursor/skills/code-review"
skill "$home/.windsurf/rules/python-testing.md" python-testing \
    "pytest conventions and fixtures." "Use tmp_path, never the real home."
mkdir -p "$home/.codex"
printf '# Codex house rules\n\nKeep answers short. Run the tests before saying done.\n' > "$home/.codex/AGENTS.md"

skill "$home/Projects/atlas/.claude/skills/deploy/SKILL.md" deploy \
    "Ships atlas to staging and production." "Run make release, then tag."
skill "$home/Projects/atlas/.cursor/rules/api-design.mdc" api-design \
    "REST conventions for the atlas API." "Plural nouns, no verbs in paths."
skill "$home/Projects/atlas/.agents/skills/release-notes/SKILL.md" release-notes \
    "Writes the release notes for atlas from the changelog." "Lead with what users will notice."
skill "$home/Projects/beacon/.claude/skills/migrations/SKILL.md" migrations \
    "Writes reversible database migrations." "Every up has a down."
mkdir -p "$home/Projects/beacon/.github"
printf '# Beacon Copilot instructions\n\nUse the repository layer for all queries.\n' \
    > "$home/Projects/beacon/.github/copilot-instructions.md"

mkdir -p "$home/.config/Vesk"
printf '[General]\ncustomScanPaths=%s\n' "$home/Projects" > "$home/.config/Vesk/Vesk.conf"
echo "Demo library written to $home"
