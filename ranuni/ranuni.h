// Public interface of the ranuni module: a lagged-Fibonacci generator of
// uniform deviates on the grid of multiples of 2^-52 (long lag 100, short
// lag 37, batches of 1009 values of which the first 100 are served).
// The stream seeds itself with 314159 on first use, so every run draws the
// same deviates.
#pragma once

/// Reinitialises the stream from the low 30 bits of seed.
void RanStart(int seed);

/// Writes the next n values of the sequence into aa[0..n-1]; for n < 100 writes -infinity instead and leaves
/// the stream alone.
void RanUniArray(double aa[], int n);

/// Returns the next uniform deviate in [0, 1).
double RanUni();
