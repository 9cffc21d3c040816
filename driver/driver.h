// Public interface of the driver module: the console dialogue.
#pragma once

#include <cstdio>

/// Prints the banner, the method line and the definitions block on out.
void print_banner(std::FILE *out);

/// Prints the input prompt on out.
void print_prompt(std::FILE *out);

/// Reads K, THETA and PHI from standard input, storing each as soon as it is read;
/// prints the message for the first invalid value and ends with status 1.
void ReadData(int *K, double *THETA, double *PHI);
