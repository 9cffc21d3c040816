// The fixed sizes of the designs and simulations.
#pragma once

namespace contmon {

/// The largest maximum sample size K: rules and tables hold stages 1..255.
inline constexpr int kMaxStages = 255;

/// Number of trials in one simulation unless a method sets another.
inline constexpr int kSimulatedTrials = 1000000;

/// The fewest and the most trials a simulation may have.
inline constexpr int kFewestTrials = 1000;
inline constexpr int kMostTrials = 100000000;

/// The largest seed: the generator takes seeds modulo 2^30.
inline constexpr int kMostSeed = 0x3fffffff;

}  // namespace contmon
