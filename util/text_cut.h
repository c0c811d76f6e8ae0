// Shortening UTF-8 names without cutting a character in two.
#pragma once

#include <cstddef>
#include <string_view>

// The first `count` characters of `text` (all of it when it has fewer).
std::string_view FirstCharacters(std::string_view text, std::size_t count);

// The longest start of `text` of at most `capacity` bytes that ends on a character boundary.
std::string_view PrefixFittingBytes(std::string_view text, std::size_t capacity);
