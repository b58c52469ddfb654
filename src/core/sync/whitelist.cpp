#include "sync/whitelist.h"

#include <algorithm>

namespace veltrane::sync {
namespace {

struct Parsed {
  std::string head;  // legacy run before the first separator
  std::vector<std::string> names;
  std::string tail;  // legacy run after the last separator
};

Parsed Parse(std::string_view text) {
  Parsed parsed;
  const std::size_t first = text.find(kWhitelistSeparator);
  if (first == std::string_view::npos) {
    parsed.head = text;
    return parsed;
  }
  const std::size_t last = text.rfind(kWhitelistSeparator);
  parsed.head = text.substr(0, first);
  parsed.tail = text.substr(last + 1);
  std::size_t start = first + 1;
  while (start <= last) {
    const std::size_t end = text.find(kWhitelistSeparator, start);
    if (end > start) parsed.names.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parsed;
}

std::string Serialize(const Parsed& parsed) {
  std::string text = parsed.head;
  if (!parsed.names.empty()) {
    text += kWhitelistSeparator;
    for (const std::string& name : parsed.names) {
      text += name;
      text += kWhitelistSeparator;
    }
  } else if (!parsed.tail.empty()) {
    text += kWhitelistSeparator;
  }
  text += parsed.tail;
  return text;
}

bool Storable(std::string_view name) {
  return !name.empty() && name.find(kWhitelistSeparator) == std::string_view::npos;
}

bool InLegacy(const Parsed& parsed, std::string_view name) {
  return parsed.head.find(name) != std::string::npos || parsed.tail.find(name) != std::string::npos;
}

bool InNames(const Parsed& parsed, std::string_view name) {
  return std::find(parsed.names.begin(), parsed.names.end(), name) != parsed.names.end();
}

bool Kept(const Parsed& parsed, std::string_view name) {
  return !name.empty() && (InNames(parsed, name) || InLegacy(parsed, name));
}

// The old rule: cut the first occurrence until none is left.
void CutAll(std::string& run, std::string_view name) {
  for (std::size_t at = run.find(name); at != std::string::npos; at = run.find(name))
    run.erase(at, name.size());
}

}  // namespace

bool IsKept(std::string_view whitelist, std::string_view name) {
  return Kept(Parse(whitelist), name);
}

std::string UpdateWhitelistOnDelete(std::string_view whitelist,
                                    const std::vector<CleanupChoice>& choices) {
  Parsed parsed = Parse(whitelist);
  for (const CleanupChoice& choice : choices) {
    if (!choice.checked && Storable(choice.name) && !InNames(parsed, choice.name) &&
        InLegacy(parsed, choice.name))
      parsed.names.push_back(choice.name);
  }
  for (const CleanupChoice& choice : choices) {
    if (choice.name.empty()) continue;
    if (choice.checked) {
      std::erase(parsed.names, choice.name);
      CutAll(parsed.head, choice.name);
      CutAll(parsed.tail, choice.name);
    } else if (Storable(choice.name) && !Kept(parsed, choice.name)) {
      parsed.names.push_back(choice.name);
    }
  }
  return Serialize(parsed);
}

}  // namespace veltrane::sync
