#include "removal/PathSafety.h"

#include <algorithm>

#include "base/Text.h"

namespace {

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsDriveRooted(std::u16string_view s) { return s.size() >= 3 && IsLetter(s[0]) && s[1] == u':' && s[2] == u'\\'; }

bool StartsWithI(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && LowerAscii(s.substr(0, prefix.size())) == LowerAscii(prefix);
}

// A path taken apart: its root ("C:\" or "\\server\share") and the names
// below it, "." and ".." resolved.
struct TSplitPath {
  TPathShape Shape = TPathShape::Relative;
  std::u16string Root;
  std::vector<std::u16string> Names;
};

std::u16string Join(const TSplitPath& p) {
  std::u16string s = p.Root;
  for (size_t i = 0; i < p.Names.size(); ++i) {
    if (i > 0 || s.back() != u'\\') s += u'\\';
    s += p.Names[i];
  }
  return s;
}

TSplitPath Split(std::u16string_view path) {
  std::u16string s(path);
  std::replace(s.begin(), s.end(), u'/', u'\\');
  if (StartsWithI(s, u"\\\\?\\UNC\\")) {
    s.erase(2, 6);  // "\\?\UNC\server\share" is "\\server\share"
  } else if (s.starts_with(u"\\\\?\\")) {
    s.erase(0, 4);  // only a drive may follow; volume GUIDs and the like name nothing here
    if (!IsDriveRooted(s)) return {};
  }

  TSplitPath r;
  size_t pos = 0;
  if (IsDriveRooted(s)) {
    r.Root = s.substr(0, 3);
    pos = 3;
  } else if (s.starts_with(u"\\\\")) {
    const size_t serverEnd = s.find(u'\\', 2);
    const std::u16string server = s.substr(2, serverEnd == std::u16string::npos ? std::u16string::npos : serverEnd - 2);
    if (server.empty() || server == u"." || server == u"?") return {};  // device namespaces
    r.Root = u"\\\\" + server;
    r.Shape = TPathShape::Root;
    if (serverEnd == std::u16string::npos) return r;
    const size_t shareEnd = s.find(u'\\', serverEnd + 1);
    const std::u16string share =
        s.substr(serverEnd + 1, shareEnd == std::u16string::npos ? std::u16string::npos : shareEnd - serverEnd - 1);
    if (share.empty()) return r;
    r.Root += u"\\" + share;
    pos = shareEnd == std::u16string::npos ? s.size() : shareEnd + 1;
  } else {
    return {};  // "", "name", "\name", "C:", "C:name"
  }

  while (pos < s.size()) {
    size_t end = s.find(u'\\', pos);
    if (end == std::u16string::npos) end = s.size();
    const std::u16string name = s.substr(pos, end - pos);
    pos = end + 1;
    if (name.empty() || name == u".") continue;
    if (name == u"..") {
      if (!r.Names.empty()) r.Names.pop_back();
      continue;
    }
    r.Names.push_back(name);
  }
  // As the system does: trailing dots and blanks of the last name do not count.
  if (!r.Names.empty()) {
    std::u16string& last = r.Names.back();
    while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) last.pop_back();
    if (last.empty()) r.Names.pop_back();
  }
  r.Shape = r.Names.empty() ? TPathShape::Root : TPathShape::Folder;
  return r;
}

std::u16string ComparableKey(std::u16string_view path) { return LowerAscii(NormalizePath(path)); }

}  // namespace

TPathShape ClassifyPath(std::u16string_view path) { return Split(path).Shape; }

std::u16string NormalizePath(std::u16string_view path) {
  const TSplitPath p = Split(path);
  if (p.Shape != TPathShape::Relative) return Join(p);
  std::u16string s(path);
  std::replace(s.begin(), s.end(), u'/', u'\\');
  return s;
}

bool SamePath(std::u16string_view a, std::u16string_view b) { return ComparableKey(a) == ComparableKey(b); }

bool IsSameOrAncestor(std::u16string_view folder, std::u16string_view path) {
  if (ClassifyPath(folder) == TPathShape::Relative || ClassifyPath(path) == TPathShape::Relative) return false;
  std::u16string f = ComparableKey(folder);
  const std::u16string p = ComparableKey(path);
  if (p == f) return true;
  if (f.back() != u'\\') f += u'\\';
  return p.starts_with(f);
}

bool IsRemovableFolder(std::u16string_view path, const TProtectedFolders& protectedFolders) {
  TSplitPath p = Split(path);
  if (p.Shape != TPathShape::Folder) return false;
  for (const auto* list : {&protectedFolders.Folders, &protectedFolders.Containers})
    for (const auto& f : *list)
      if (IsSameOrAncestor(path, f)) return false;
  p.Names.pop_back();
  const std::u16string parent = Join(p);
  for (const auto& c : protectedFolders.Containers)
    if (SamePath(parent, c)) return false;
  return true;
}

bool IsTrustedLinkOwner(TLinkOwner owner) {
  return owner == TLinkOwner::Administrators || owner == TLinkOwner::System || owner == TLinkOwner::TrustedInstaller;
}

std::optional<TRemovalTarget> DecideRemovableFolder(std::u16string_view requested, const TFolderFacts& facts,
                                                    TLinkRule rule) {
  // Relative forms would have been resolved against the current folder.
  if (ClassifyPath(requested) != TPathShape::Folder || ClassifyPath(facts.Full) != TPathShape::Folder)
    return std::nullopt;
  if (!IsRemovableFolder(facts.Long, facts.Protected)) return std::nullopt;
  if (!facts.IsLink) {
    // Through a link on its way (an old profile junction, say) the folder
    // may be one of the system's after all.
    if (!facts.FinalLong.empty() && !IsRemovableFolder(facts.FinalLong, facts.Protected)) return std::nullopt;
    return TRemovalTarget{facts.Full, {}, facts.FinalLong};
  }
  // The folder itself is a link (a product moved to another drive, with a
  // junction left in its place): the tree it leads to goes, then the link.
  // Only an administrator's link is followed: anyone may plant one in a
  // folder a standard user can write. A target the system did not resolve
  // comes back as the link itself, and a target that holds the link holds
  // more than the product. In every other case the link alone goes.
  const TRemovalTarget linkOnly{{}, facts.Full, {}};
  if (rule != TLinkRule::FollowTrustedLink || !IsTrustedLinkOwner(facts.LinkOwner)) return linkOnly;
  const std::u16string tree = NormalizePath(facts.Final);
  if (facts.FinalLong.empty() || ClassifyPath(tree) != TPathShape::Folder) return linkOnly;
  if (!IsRemovableFolder(facts.FinalLong, facts.Protected)) return linkOnly;
  if (IsSameOrAncestor(facts.FinalLong, facts.Long)) return linkOnly;
  return TRemovalTarget{tree, facts.Full, facts.FinalLong};
}

bool IsPlainName(std::u16string_view name) {
  const std::u16string t = Trim(name);
  if (t.find_first_not_of(u". ") == std::u16string::npos) return false;  // also "" , "." and ".."
  return t.find_first_of(u"\\/:") == std::u16string::npos;
}

std::u16string ExtendedLengthPath(std::u16string_view full) {
  // 248 leaves room for the "\\*.*" of a listing and an 8.3 name under MAX_PATH.
  constexpr size_t ShortLimit = 248;
  if (full.size() < ShortLimit || full.starts_with(u"\\\\?\\")) return std::u16string(full);
  if (full.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(full.substr(2));
  return u"\\\\?\\" + std::u16string(full);
}
