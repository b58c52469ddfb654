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

// The old rule: cut the first occurrence until none is left. True when anything was cut.
bool CutAll(std::string& run, std::string_view name) {
  bool cut = false;
  for (std::size_t at = run.find(name); at != std::string::npos; at = run.find(name)) {
    run.erase(at, name.size());
    cut = true;
  }
  return cut;
}

// One choice per name, the last one made for it, in the order the names first appear.
std::vector<CleanupChoice> LastChoices(const std::vector<CleanupChoice>& choices) {
  std::vector<CleanupChoice> last;
  for (const CleanupChoice& choice : choices) {
    if (choice.name.empty()) continue;
    const auto same = std::find_if(last.begin(), last.end(), [&](const CleanupChoice& seen) {
      return seen.name == choice.name;
    });
    if (same == last.end()) {
      last.push_back(choice);
    } else {
      same->checked = choice.checked;
    }
  }
  return last;
}

}  // namespace

bool IsKept(std::string_view whitelist, std::string_view name) {
  return Kept(Parse(whitelist), name);
}

std::string UpdateWhitelistOnDelete(std::string_view whitelist,
                                    const std::vector<CleanupChoice>& choices) {
  Parsed parsed = Parse(whitelist);
  const std::vector<CleanupChoice> last = LastChoices(choices);
  for (const CleanupChoice& choice : last) {
    if (!choice.checked && Storable(choice.name) && !InNames(parsed, choice.name) &&
        InLegacy(parsed, choice.name))
      parsed.names.push_back(choice.name);
  }
  // Every cut first, until no deleted name is left: a cut joins the text around it, which can
  // make another deleted name appear.
  for (bool cut = true; cut;) {
    cut = false;
    for (const CleanupChoice& choice : last) {
      if (!choice.checked) continue;
      std::erase(parsed.names, choice.name);
      cut = CutAll(parsed.head, choice.name) || cut;
      cut = CutAll(parsed.tail, choice.name) || cut;
    }
  }
  // Only then the kept names, so no later cut can take one apart.
  for (const CleanupChoice& choice : last) {
    if (!choice.checked && Storable(choice.name) && !Kept(parsed, choice.name))
      parsed.names.push_back(choice.name);
  }
  return Serialize(parsed);
}

}  // namespace veltrane::sync
