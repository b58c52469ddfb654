#pragma once
// The cleanup's whitelist: the names of removable files the player chose to keep, one text
// value in the settings file.
//
// Format. Older releases wrote the names back to back with no separator ("a.jarb.jar"), so
// a name that occurs anywhere in that text counts as kept. New names are written between "|"
// characters, which a Windows file name cannot contain:
//
//   <legacy>|name1|name2|...|<legacy tail>
//
// - the text before the first "|" is a legacy back-to-back run (the whole text when it has
//   no "|"); the text after the last "|" is one too (an older release appending to ours);
// - every piece between two "|" is exactly one kept name (empty pieces are ignored).
// A name is kept when it equals one of the delimited names or occurs inside a legacy run.
// Legacy runs are never rewritten except to cut a name the player now wants deleted.
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::sync {

inline constexpr char kWhitelistSeparator = '|';

// Whether the player chose to keep `name`. An empty name is never kept.
bool IsKept(std::string_view whitelist, std::string_view name);

// One entry of the cleanup list as the player left it: checked means "delete".
struct CleanupChoice {
  std::string name;
  bool checked = false;
};

// The whitelist to store after the player pressed delete with these choices (the last choice
// for a name counts). Unchecked names that are kept only through a legacy run are written out
// as delimited names; then every checked name is removed everywhere (its whole delimited
// occurrences, and its substring occurrences inside legacy runs, cut again until none is left);
// then every unchecked name that is no longer kept is appended as a delimited name. So a name
// the player keeps is never lost, whatever the order of the choices. Names that contain "|"
// cannot be stored and are left out.
std::string UpdateWhitelistOnDelete(std::string_view whitelist,
                                    const std::vector<CleanupChoice>& choices);

}  // namespace veltrane::sync
