#pragma once

#include <stdexcept>
#include <string>

// Base of every error whose text is shown to the user as it stands (bytes, not UTF-8).
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// A text that should have been a whole number was not.
class ConversionError : public AppError {
public:
    using AppError::AppError;
};
