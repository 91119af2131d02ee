#!/usr/bin/env bash
# Fills a folder with a small, realistic skill library (twenty skills in the
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
# A skill no strict parser accepts: its description opens a quote it never closes.
mkdir -p "$home/.claude/skills/lint-fix"
cat > "$home/.claude/skills/lint-fix/SKILL.md" <<'SKILL'
---
name: lint-fix
description: "Fixes what the linter reports in the files you changed
---
Run the linter on the changed files, fix what it reports, then run it again.
SKILL
# A skill folder with supporting files of every kind and metadata beyond name and description.
notes="$home/.claude/skills/pr-digest"
mkdir -p "$notes/scripts" "$notes/references" "$notes/rules" "$notes/examples"
cat > "$notes/SKILL.md" <<'SKILL'
---
name: pr-digest
description: Drafts a digest of merged pull requests, grouped by area, with breaking changes called out first.
version: 1.4.0
author: Dana Ortiz
allowed-tools: Read, Grep, Bash(git log:*), Bash(gh pr list:*)
license: MIT
model: sonnet
---
# Pull request digest

Collect every pull request merged since the last tag:

    scripts/collect_changes.py --since "$(git describe --tags --abbrev=0)"

Group the changes by the area label of each pull request. Within an area,
order them by user impact, not by merge date.

## Breaking changes

List breaking changes first, each with the migration a user has to make.
Follow references/changelog-format.md for the headings.

## Tone

Write for the people who use the product, not for its developers.
Keep each entry to one sentence; link the pull request at the end.
SKILL
printf '#!/usr/bin/env python3\n"""Lists merged pull requests since a tag."""\n' > "$notes/scripts/collect_changes.py"
printf '#!/bin/sh\nprettier --write "$1"\n' > "$notes/scripts/format.sh"
printf 'export function publish(notes: string) {}\n' > "$notes/scripts/publish.ts"
printf '# Style guide\n' > "$notes/references/style-guide.md"
printf '# Changelog format\n' > "$notes/references/changelog-format.md"
printf '# Tone\n' > "$notes/rules/tone.md"
printf 'max_entry_words: 40\n' > "$notes/rules/limits.yaml"
printf 'areas:\n  - api\n  - cli\n' > "$notes/config.yaml"
printf '{"labels": ["area/api", "area/cli"]}\n' > "$notes/labels.json"
printf 'notes:\n\tscripts/collect_changes.py\n' > "$notes/Makefile"
printf 'MIT License\n' > "$notes/LICENSE.txt"
printf '## 2.3.0\n' > "$notes/examples/sample-output.txt"

mkdir -p "$home/.cursor/rules"
cat > "$home/.cursor/rules/typescript-style.mdc" <<'RULE'
---
description: House style for TypeScript in every package of the monorepo.
globs: "**/*.ts, **/*.tsx"
alwaysApply: false
---
# TypeScript style

- Prefer type aliases for unions; avoid enums.
- Export types next to the functions that use them.
- No default exports.
RULE
skill "$home/.cursor/rules/react-components.mdc" React-components \
    "How components are structured." "One component per file; hooks at the top."
mkdir -p "$home/.cursor/skills"
ln -sfn "$home/.claude/skills/code-review" "$home/.cursor/skills/code-review"
skill "$home/.windsurf/rules/python-testing.md" python-testing \
    "pytest conventions and fixtures." "Use tmp_path, never the real home."
mkdir -p "$home/.codex"
printf '# Codex house rules\n\nKeep answers short. Run the tests before saying done.\n' > "$home/.codex/AGENTS.md"

skill "$home/Projects/atlas/.claude/skills/deploy/SKILL.md" deploy \
    "Ships atlas to staging and production." \
    "# Deploy\n\nRun make release, then tag.\n\nStaging first; production only after the smoke tests pass."
printf 'make release\n' > "$home/Projects/atlas/.claude/skills/deploy/release.sh"
# The same skill read by three harnesses of the project.
mkdir -p "$home/Projects/atlas/.cursor/skills" "$home/Projects/atlas/.windsurf/rules"
ln -sfn ../../.claude/skills/deploy "$home/Projects/atlas/.cursor/skills/deploy"
ln -sfn ../../.claude/skills/deploy/SKILL.md "$home/Projects/atlas/.windsurf/rules/deploy.md"
# A Cursor rule: one file, scoped to the API sources by its globs.
mkdir -p "$home/Projects/atlas/.cursor/rules"
cat > "$home/Projects/atlas/.cursor/rules/api-design.mdc" <<'RULE'
---
name: api-design
description: REST conventions for the atlas API.
globs: "api/**/*.ts"
alwaysApply: false
---
# API design

- Plural nouns for collections, no verbs in paths: `GET /deployments/:id`.
- Errors are `application/problem+json` with a stable `type` URI.
- Every list endpoint pages with `cursor` and `limit`; never offsets.
- Dates are RFC 3339 in UTC.
RULE
skill "$home/Projects/atlas/.agents/skills/release-notes/SKILL.md" release-notes \
    "Writes the release notes for atlas from the changelog." "Lead with what users will notice."
skill "$home/Projects/beacon/.claude/skills/migrations/SKILL.md" migrations \
    "Writes reversible database migrations." "Every up has a down."
# A project skill read by exactly three harnesses: Cursor's folder holds it,
# Windsurf's and Gemini CLI's link to it.
seed="$home/Projects/beacon/.cursor/skills/seed-data"
mkdir -p "$seed/scripts" "$home/Projects/beacon/.windsurf/skills" "$home/Projects/beacon/.gemini/skills"
cat > "$seed/SKILL.md" <<'SKILL'
---
name: seed-data
description: Fills a local beacon database with realistic accounts, orders and refunds for manual testing.
version: 0.3.0
---
# Seed data

Run scripts/seed.py against the local database only; it refuses any host but localhost.
Accounts get stable ids so bug reports can name them.
SKILL
printf '#!/usr/bin/env python3
"""Seeds the local database."""
' > "$seed/scripts/seed.py"
printf 'accounts: 50
orders_per_account: 4
' > "$seed/fixtures.yaml"
ln -sfn ../../.cursor/skills/seed-data "$home/Projects/beacon/.windsurf/skills/seed-data"
ln -sfn ../../.cursor/skills/seed-data "$home/Projects/beacon/.gemini/skills/seed-data"
mkdir -p "$home/Projects/beacon/.github"
printf '# Beacon Copilot instructions\n\nUse the repository layer for all queries.\n' \
    > "$home/Projects/beacon/.github/copilot-instructions.md"

# Two things for the checks to find: a skill whose metadata nests a list (strict
# tools drop it) and whose body names files it lacks, and a skill Cursor reads
# twice under one name, the two copies drifted apart.
mkdir -p "$home/.claude/skills/api-client"
cat > "$home/.claude/skills/api-client/SKILL.md" <<'SKILL'
---
name: api-client
description: Calls the internal billing API with retries and backoff.
retries: 3
metadata:
  owner: platform
  tags:
    - billing
---
# API client

Read [the endpoints](references/endpoints.md) before calling anything.

1. Run scripts/call.py with the endpoint's name.
2. Retry on 502 and 503 only, doubling the wait each time.
3. Never log the request's Authorization header.
SKILL
skill "$home/.claude/skills/git-bisect/SKILL.md" git-bisect \
    "Finds the commit that broke a test with git bisect." \
    "# Git bisect\n\n1. Mark the current commit bad.\n2. Mark the last release good.\n3. Run the failing test at each step.\n4. Reset when done."
skill "$home/.agents/skills/git-bisect/SKILL.md" git-bisect \
    "Finds the commit that broke a test with git bisect." \
    "# Git bisect\n\n1. Mark the current commit bad.\n2. Mark the last tag good.\n3. Run the failing test at each step; skip commits that do not build.\n4. Reset when done."

mkdir -p "$home/.config/Vesk"
printf '[General]\ncustomScanPaths=%s\n' "$home/Projects" > "$home/.config/Vesk/Vesk.conf"
echo "Demo library written to $home"
