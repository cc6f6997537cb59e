#pragma once

#include <cstdint>
#include <string>

class IClock;

// Small routines that take instrument replies and log lines apart. Texts are bytes.

inline constexpr const char* kNotFound = "$not found$";

std::string replaceFirstChar(char find, char put, const std::string& text);
bool isNumeric(const std::string& text);
int countChar(const std::string& text, char c);
std::string getField(const std::string& text, int n, char separator);
// The text with a to z upper-cased, every other byte kept: positions stay those of the text.
std::string upper(std::string text);

// The whole text as a signed 32-bit number: leading blanks, optional sign, decimal digits, or
// hexadecimal after "$" or "0x" (up to 8 digits, taken as the 32-bit pattern).
// Throws ConversionError "'<text>' is not a valid integer value".
int32_t strToInt(const std::string& text);
// As StrToInt, without throwing.
bool tryStrToInt(const std::string& text, int32_t& value);

// Waits until more than ms milliseconds have passed on the clock, sleeping, not spinning.
void delay(IClock& clock, int ms);
