// Loops made only of expression lines and jumps, the way programs count and sum:
//     I = I + 1          (an expression line)
//     I < N              (an expression line)
//     JNZ back           (a jump back to the first line)
// The CALL of a subroutine made only of expression lines may take part ("CALL SUB" with its
// arguments, the subroutine's lines reading them with ARG, its RETURN).  The interpreter loop
// hands such a loop, found when the program was loaded (code_steps.h), to run_line_loop when it
// comes to its first record.  Its lines run as their plans' operations (line_ops.h), resolved
// under the current stamp, round after round, without the fetch, the dispatch and the
// evaluation's entry and exit of each command.  What the program can see stays as the commands
// one by one leave it: every store is written at once, the pump's countdown counts every command
// (where it runs out, the loop takes the pump's look itself only when that look would find
// nothing to do), and when the loop is left, P1, the slots and the last-reference registers are
// those of the last command run.
#pragma once

#include <cstdint>

// Runs the loop that begins at record `head` from there, for as long as its commands run in line
// and the pump has nothing to do; the program counter is then where the loop was left.  A line
// whose step cannot run in line (a zero divisor, an element out of range, a value an integer
// store clamps) takes none of its effects and is left to the interpreter loop, which runs it with
// its reports.  False when nothing ran: the loop does not qualify under the current stamp (an
// operand that is not a plain number, a step it does not do), text fields are left to clear,
// single stepping is on, or the countdown or the first line stopped it at once.  The caller
// checked that the loop's commands have their built-in handling and that the countdown counted
// `head`.
bool run_line_loop(int32_t head);
