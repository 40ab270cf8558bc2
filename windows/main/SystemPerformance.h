#ifndef LF_WINDOWS_MAIN_SYSTEM_PERFORMANCE_H
#define LF_WINDOWS_MAIN_SYSTEM_PERFORMANCE_H

// The start-up benchmark: a fixed mixture of single-precision arithmetic, random numbers and sorting, run in rounds
// for about two seconds. The number of rounds completed before the round in which the time ran out, divided by 565,
// is the machine's performance index, shown by the main window's information panel while no image is active.

#include <chrono>
#include <cstdint>

// 0 until the benchmark has run.
extern float SystemPerformanceIndex;

// Runs the benchmark once (about two seconds) and sets SystemPerformanceIndex.
void MeasureSystemPerformance();

// One round of the benchmark's work.
void SystemPerformanceRound();
// The rounds completed before the round in which the time budget was used up, timed by a monotonic clock (a
// change of the wall clock neither stretches nor cuts the measurement).
int32_t CountSystemPerformanceRounds( std::chrono::nanoseconds budget );
// The index of a number of rounds: rounds / 565.
float SystemPerformanceIndexOf( int32_t rounds );

#endif
