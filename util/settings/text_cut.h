// Shortening UTF-8 names without cutting a character in two.
#pragma once

#include <cstddef>
#include <string_view>

// The longest start of `text` of at most `capacity` bytes that ends on a character boundary.
std::string_view PrefixFittingBytes(std::string_view text, std::size_t capacity);
