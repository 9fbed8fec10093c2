#!/usr/bin/env bash
# Runs one libFuzzer target from its committed seeds for a time.
#
# usage: run_fuzz.sh TARGET SEED_DIR WORK_DIR SECONDS [libFuzzer options...]
#
# New inputs go to WORK_DIR/corpus (the seeds are only read), a crash, leak,
# time-out or out-of-memory input to WORK_DIR/findings/. The seed of the
# random generator is 1 unless the options name another (-seed=0: a new one
# each run); later options win. Exit status: 0 nothing found.
set -euo pipefail
target=${1:?usage: run_fuzz.sh TARGET SEED_DIR WORK_DIR SECONDS [options...]}
seeds=${2:?} work=${3:?} seconds=${4:?}
shift 4
mkdir -p "$work/corpus" "$work/findings"
# The archives' entries are made small on purpose; 64 KiB leaves room for
# several of them.
exec "$target" -seed=1 -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/findings/" "$@" \
  "$work/corpus" "$seeds"
