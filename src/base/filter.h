#pragma once
// The list's filter field and `--filter`: which rows a typed pattern keeps.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// A pattern as the user types it: it matches a name when it matches some part of it, without
// regard to letter case (ASCII and Latin-1 letters); "*" stands for any run of characters, "?" for
// one character. Every other character stands for itself ("\" too). An empty pattern matches all.
class NameFilter {
  public:
    explicit NameFilter(std::string_view pattern);
    bool matches(std::string_view name) const;
    bool empty() const { return pattern_.empty(); }

  private:
    std::u32string pattern_; // folded, wrapped in "*" so a match may start and end anywhere
};

// The indices of the names the pattern matches, in list order: entry indices, never positions in
// the filtered view.
std::vector<std::size_t> filterRows(const std::vector<std::string>& names, std::string_view pattern);

} // namespace vexa
