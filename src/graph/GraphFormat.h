#pragma once

#include <string>

// The spread of the statistics report: rounded to 2 significant digits, halves away from zero,
// then written plainly ("0.8", "10", "0.05") when the rounded magnitude is in [0.0001, 100), in
// the scientific form otherwise ("5E-5", "-2.5E2"); zero is "0". The separator is the locale's.
std::string formatSpread(double value, const std::string& decimalSeparator);

// A cursor readout number: "%4.0f" with halves rounded away from zero (printf alone would round
// 250.5 to even).
std::string formatReadout(double value);
