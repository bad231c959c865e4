# Sourced by the build and test scripts: `phase NAME COMMAND...` runs one step and prints a line
# with its wall time and the CPU time it and its children used; `phaseBegin NAME` ... `phaseEnd`
# does the same for a block of the script. With THINWICK_PHASES naming a file, each line is
# appended there too, so .ci/run can print every phase of a run at its end. The CPU time of a step
# is the growth of the shell's children's user and system times, which counts every process the
# step waited for.

# Clock ticks per second, for the times in /proc.
phase_ticks="$(getconf CLK_TCK)"

# Sets phase_cpu to the CPU seconds of this shell's children so far: the user and system times
# of the children it has waited for (cutime and cstime in /proc/PID/stat), read without a
# subshell, which would have children of its own, and without a temp file.
phaseCpu() {
  local stat
  read -r -a stat <"/proc/$$/stat"
  phase_cpu=$(((stat[15] + stat[16]) * 100 / phase_ticks))
  phase_cpu="$((phase_cpu / 100)).$(printf '%02d' $((phase_cpu % 100)))"
}

phaseBegin() {
  phase_name="$1"
  phase_started=$SECONDS
  phaseCpu
  phase_cpu_before=$phase_cpu
}

# phaseEnd [STATUS]: the line of the phase begun last, marked as failed for a status other than 0.
phaseEnd() {
  local status="${1:-0}" line
  phaseCpu
  line="$(awk -v name="$phase_name" -v wall=$((SECONDS - phase_started)) \
    -v before="$phase_cpu_before" -v after="$phase_cpu" -v status="$status" 'BEGIN {
      cpu = after - before
      printf "phase: %-30s wall %5d s  cpu %6.0f s (%4.1f CPU-min)%s\n", name, wall, cpu, cpu / 60,
        status == 0 ? "" : "  FAILED (" status ")" }')"
  echo "$line"
  if [ -n "${THINWICK_PHASES:-}" ]; then echo "$line" >>"$THINWICK_PHASES"; fi
}

phase() {
  local status=0
  phaseBegin "$1"
  shift
  "$@" || status=$?
  phaseEnd "$status"
  return "$status"
}
