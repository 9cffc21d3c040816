// Runs the dialogue's reading and validation of K, THETA and PHI in-process on
// arbitrary bytes, and judges the outcome against the dialogue's rules. Used by
// the fuzz target and by the test that replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// What reading K, THETA and PHI from one input came to.
struct DialogueOutcome {
  int status = -1;     ///< 1 when the dialogue refused the input, or -1 when all three values were accepted
  int K = 0;           ///< as the dialogue stored it; 0 when it was never read
  double THETA = 0.0;  ///< as the dialogue stored it; 0 when it was never read
  double PHI = 0.0;    ///< as the dialogue stored it; 0 when it was never read
  std::string output;  ///< what the dialogue printed on standard output
  long consumed = 0;   ///< how many bytes of the input the dialogue read
};

/// Reads and validates K, THETA and PHI from data as the program reads its standard input, catching the
/// fatal exit and capturing standard output.
DialogueOutcome run_dialogue_on(const std::uint8_t *data, std::size_t size);

/// Empty when outcome is what the dialogue must do with data, else a description of what is wrong: one
/// message of the dialogue's own and status 1 for a failure, nothing printed for valid values, messages that agree with
/// the stored values, K as "%d" reads it, and a K whose digits run on into other text refused.
std::string dialogue_fault(const DialogueOutcome &outcome, const std::uint8_t *data, std::size_t size);

/// dialogue_fault(run_dialogue_on(data, size), data, size).
std::string check_dialogue(const std::uint8_t *data, std::size_t size);
