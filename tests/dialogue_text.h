// What the program prints before it reads its input.
#pragma once

#include <string>

inline const std::string kDialogue =
    "Continuous monitoring of clinical trials involving binary outcomes\n"
    "   using Pocock-type boundaries (version 1.2)\n"
    "contmon: boundaries and operating characteristics for monitoring after every patient\n"
    "\n"
    "(Simulation-based calculations)\n"
    "Defintions: \n"
    "  K     = the maximum planned sample size\n"
    "  THETA = the event probability\n"
    "  PHI   = the desired probability of early stopping (hitting the boundary)\n"
    "Input  K  THETA  PHI: ";
