#include <gtest/gtest.h>

#include "base/Text.h"
#include "removal/PathSafety.h"

namespace {

std::string N(std::u16string_view s) { return Utf16ToUtf8(s); }

TEST(RemovalPath, Shapes) {
  const struct {
    const char16_t* path;
    TPathShape shape;
  } cases[] = {
      {u"", TPathShape::Relative},
      {u"relative", TPathShape::Relative},
      {u"relative\\sub", TPathShape::Relative},
      {u"\\foo", TPathShape::Relative},  // root of the current drive
      {u"/foo", TPathShape::Relative},
      {u"C:", TPathShape::Relative},
      {u"C:foo", TPathShape::Relative},           // current folder of drive C:
      {u"\\\\.\\C:\\foo", TPathShape::Relative},  // device namespace
      {u"\\\\?\\Volume{0b1c}\\foo", TPathShape::Relative},
      {u"\\\\", TPathShape::Relative},
      {u"C:\\", TPathShape::Root},
      {u"c:/", TPathShape::Root},
      {u"C:\\\\", TPathShape::Root},
      {u"C:\\.", TPathShape::Root},
      {u"C:\\Windows\\..", TPathShape::Root},
      {u"C:\\..\\..", TPathShape::Root},
      {u"C:\\. .", TPathShape::Root},
      {u"\\\\server", TPathShape::Root},
      {u"\\\\server\\share", TPathShape::Root},
      {u"\\\\server\\share\\", TPathShape::Root},
      {u"//server/share", TPathShape::Root},
      {u"\\\\server\\share\\dir\\..", TPathShape::Root},
      {u"\\\\?\\C:\\", TPathShape::Root},
      {u"\\\\?\\UNC\\server\\share", TPathShape::Root},
      {u"C:\\Windows", TPathShape::Folder},
      {u"C:\\Program Files\\Quillmoor\\", TPathShape::Folder},
      {u"\\\\server\\share\\dir", TPathShape::Folder},
      {u"\\\\?\\C:\\dir", TPathShape::Folder},
      {u"\\\\?\\unc\\server\\share\\dir", TPathShape::Folder},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyPath(c.path), c.shape) << N(c.path);
}

TEST(RemovalPath, Normalisation) {
  const struct {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"C:\\Windows\\.", u"C:\\Windows"},
      {u"C:\\\\Windows\\\\\\\\", u"C:\\Windows"},
      {u"c:/windows/system32/", u"c:\\windows\\system32"},
      {u"C:\\Windows\\System32\\..", u"C:\\Windows"},
      {u"C:\\a\\..\\..\\..\\Windows", u"C:\\Windows"},  // never above the root
      {u"C:\\Windows. . ", u"C:\\Windows"},
      {u"C:\\a.\\b", u"C:\\a.\\b"},  // only the last name loses its dots
      {u"C:\\", u"C:\\"},
      {u"\\\\?\\C:\\Windows\\", u"C:\\Windows"},
      {u"\\\\?\\UNC\\srv\\share\\x", u"\\\\srv\\share\\x"},
      {u"\\\\srv\\share\\x\\..\\..\\y", u"\\\\srv\\share\\y"},  // never above the share
      {u"relative/x", u"relative\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizePath(c.in), c.out) << N(c.in);

  EXPECT_TRUE(SamePath(u"C:\\WINDOWS\\", u"c:\\Windows\\."));
  EXPECT_FALSE(SamePath(u"C:\\Windows", u"C:\\Windows2"));
  EXPECT_TRUE(IsSameOrAncestor(u"C:\\Users\\bob", u"C:\\USERS\\BOB\\AppData"));
  EXPECT_TRUE(IsSameOrAncestor(u"C:\\", u"C:\\Users"));
  EXPECT_FALSE(IsSameOrAncestor(u"C:\\Users\\bob", u"C:\\Users\\bobby"));
  EXPECT_FALSE(IsSameOrAncestor(u"C:\\Users\\bob\\AppData", u"C:\\Users\\bob"));
  EXPECT_FALSE(IsSameOrAncestor(u"", u"C:\\x"));
}

TEST(RemovalPath, ProtectedFoldersAndTheirNeighbours) {
  const TProtectedFolders system{
      {u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSTEM32", u"C:\\PROGRAM FILES", u"C:\\PROGRAM FILES\\COMMON FILES",
       u"C:\\USERS\\BOB\\APPDATA\\ROAMING", u"C:\\USERS\\BOB\\APPDATA\\LOCAL\\TEMP", u""},
      {u"C:\\USERS"}};
  for (const char16_t* refused : {u"",
                                  u"relative",
                                  u"\\Windows",
                                  u"C:Windows",
                                  u"C:\\",
                                  u"\\\\server\\share",
                                  u"\\\\?\\C:\\",
                                  u"C:\\Windows",
                                  u"c:\\windows\\system32",
                                  u"C:\\Windows\\.",
                                  u"C:\\\\Windows\\\\\\\\",
                                  u"C:\\Windows\\System32\\..",
                                  u"\\\\?\\C:\\Windows",
                                  u"C:\\Program Files",
                                  u"C:\\Program Files\\Common Files\\",
                                  u"C:\\Users",
                                  u"C:\\Users\\Public",
                                  u"C:\\Users\\bob",
                                  u"C:\\Users\\bob\\AppData",  // holds a protected folder
                                  u"C:\\Users\\bob\\AppData\\Roaming",
                                  u"C:\\Users\\bob\\AppData\\Local\\Temp",
                                  u"C:\\Users\\bob\\AppData\\Local\\Temp\\sub\\.."})
    EXPECT_FALSE(IsRemovableFolder(refused, system)) << N(refused);
  for (const char16_t* allowed :
       {u"C:\\Program Files\\Quillmoor", u"C:\\Program Files\\Common Files\\Quillmoor", u"C:\\Windows2",
        u"C:\\Users\\bob\\AppData\\Roaming\\Quillmoor", u"C:\\Users\\bob\\Desktop\\x", u"D:\\Quillmoor",
        u"\\\\server\\share\\Quillmoor", u"C:\\Windows\\..\\Games\\Quillmoor"})
    EXPECT_TRUE(IsRemovableFolder(allowed, system)) << N(allowed);
}

TEST(RemovalPath, PlainNames) {
  for (const char16_t* name : {u"Quillmoor", u"Quillmoor Player", u" Quill moor ", u"a.b", u"..a", u"x..", u"Плеер"})
    EXPECT_TRUE(IsPlainName(name)) << N(name);
  for (const char16_t* name : {u"", u"   ", u"\t", u".", u"..", u"...", u". .", u" .. ", u"a\\b", u"\\", u"a/b", u"C:",
                               u"C:x", u"..\\..\\Windows"})
    EXPECT_FALSE(IsPlainName(name)) << N(name);
}

}  // namespace

namespace {

TEST(RemovalPath, LongPathsTakeTheExtendedLengthForm) {
  const std::u16string deep = u"C:\\Program Files\\Quillmoor\\" + std::u16string(240, u'x');
  EXPECT_EQ(ExtendedLengthPath(u"C:\\Program Files\\Quillmoor"), u"C:\\Program Files\\Quillmoor");
  EXPECT_EQ(ExtendedLengthPath(deep), u"\\\\?\\" + deep);
  EXPECT_EQ(ExtendedLengthPath(u"\\\\?\\" + deep), u"\\\\?\\" + deep);
  const std::u16string share = u"\\\\server\\share\\" + std::u16string(250, u'y');
  EXPECT_EQ(ExtendedLengthPath(share), u"\\\\?\\UNC\\server\\share\\" + std::u16string(250, u'y'));
}

}  // namespace

namespace {

// Facts as the Win32 side would gather them for a folder that is no link
// and resolves to itself.
TFolderFacts PlainFacts(const std::u16string& full, const TProtectedFolders& system) {
  std::u16string upper = full;
  for (auto& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return {full, upper, false, full, upper, system};
}

TFolderFacts LinkFacts(const std::u16string& full, const std::u16string& final, const TProtectedFolders& system,
                       TLinkOwner owner = TLinkOwner::Administrators) {
  TFolderFacts f = PlainFacts(full, system);
  const TFolderFacts target = PlainFacts(final, system);
  f.IsLink = true;
  f.LinkOwner = owner;
  f.Final = final;
  f.FinalLong = target.Long;
  return f;
}

TEST(RemovalPath, TheDecisionOnFactsOfEveryShape) {
  const TProtectedFolders system{{u"C:\\WINDOWS", u"C:\\PROGRAM FILES", u"C:\\USERS\\BOB\\DESKTOP"}, {u"C:\\USERS"}};
  const std::u16string product = u"C:\\Program Files\\Quillmoor";
  const std::u16string moved = u"D:\\Games\\Quillmoor";
  const std::u16string deep = product + u"\\" + std::u16string(300, u'x');

  // A plain folder of the product is its own tree, with no link.
  auto t = DecideRemovableFolder(product, PlainFacts(product, system));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Tree, product);
  EXPECT_TRUE(t->Link.empty());
  // Long paths are decided like short ones, once their facts are known.
  t = DecideRemovableFolder(deep, PlainFacts(deep, system));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Tree, deep);

  // A junction left where the product was: the target goes, then the link;
  // the system's extended-length answer comes back plain.
  t = DecideRemovableFolder(product, LinkFacts(product, u"\\\\?\\" + moved, system));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Tree, moved);
  EXPECT_EQ(t->Link, product);
  TFolderFacts longLink = LinkFacts(deep, moved, system);
  t = DecideRemovableFolder(deep, longLink);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Tree, moved);
  EXPECT_EQ(t->Link, deep);

  const struct {
    const char* why;
    std::u16string requested;
    TFolderFacts facts;
  } refused[] = {
      {"relative as asked", u"Quillmoor", PlainFacts(product, system)},
      {"a root once full", u"C:\\Windows\\..", PlainFacts(u"C:\\", system)},
      {"a protected folder", u"C:\\Windows", PlainFacts(u"C:\\Windows", system)},
      {"holds a protected folder", u"C:\\Users\\bob", PlainFacts(u"C:\\Users\\bob", system)},
      {"a link at a protected folder", u"C:\\Windows", LinkFacts(u"C:\\Windows", moved, system)},
  };
  for (const auto& r : refused) EXPECT_FALSE(DecideRemovableFolder(r.requested, r.facts)) << r.why;

  // A link not to be followed goes as a link, and what it leads to stays:
  // one a standard user could have made, one at a user's own folder, and one
  // that leads nowhere safe.
  const struct {
    const char* why;
    std::u16string requested;
    TFolderFacts facts;
    TLinkRule rule;
  } linkOnly[] = {
      {"owned by a user", product, LinkFacts(product, moved, system, TLinkOwner::Other), TLinkRule::FollowTrustedLink},
      {"owner unknown", product, LinkFacts(product, moved, system, TLinkOwner::Unknown), TLinkRule::FollowTrustedLink},
      {"a Start-menu group", product, LinkFacts(product, moved, system), TLinkRule::RemoveLinkOnly},
      {"resolves to a protected folder", product, LinkFacts(product, u"C:\\Windows", system),
       TLinkRule::FollowTrustedLink},
      {"a long link to a system folder", deep, LinkFacts(deep, u"c:\\windows", system), TLinkRule::FollowTrustedLink},
      {"a link into the Desktop", product, LinkFacts(product, u"C:\\Users\\bob\\Desktop", system),
       TLinkRule::FollowTrustedLink},
      {"a link to a root", product, LinkFacts(product, u"D:\\", system), TLinkRule::FollowTrustedLink},
      {"a link to a relative name", product, LinkFacts(product, u"Quillmoor", system), TLinkRule::FollowTrustedLink},
      {"a link to the folder holding it", product, LinkFacts(product, u"C:\\Program Files", system),
       TLinkRule::FollowTrustedLink},
      {"a link to its own parent", u"D:\\Games\\Quillmoor", LinkFacts(u"D:\\Games\\Quillmoor", u"D:\\Games", system),
       TLinkRule::FollowTrustedLink},
      {"a link not resolved", product, LinkFacts(product, product, system), TLinkRule::FollowTrustedLink},
      {"a link that cannot be opened", product, LinkFacts(product, u"", system), TLinkRule::FollowTrustedLink},
  };
  for (const auto& r : linkOnly) {
    TFolderFacts f = r.facts;
    if (f.Final.empty()) f.FinalLong.clear();
    t = DecideRemovableFolder(r.requested, f, r.rule);
    ASSERT_TRUE(t) << r.why;
    EXPECT_TRUE(t->Tree.empty()) << r.why;
    EXPECT_EQ(t->Link, f.Full) << r.why;
  }
  // SYSTEM's and TrustedInstaller's links are followed like the Administrators'.
  for (const TLinkOwner owner : {TLinkOwner::System, TLinkOwner::TrustedInstaller}) {
    t = DecideRemovableFolder(product, LinkFacts(product, moved, system, owner));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Tree, moved);
  }

  // A folder reached through a link on its way is judged by where it leads,
  // and walked by the name it was given.
  TFolderFacts onTheWay = PlainFacts(u"C:\\Old\\Quillmoor", system);
  onTheWay.Final = u"C:\\Users\\bob\\Desktop\\Quillmoor";
  onTheWay.FinalLong = u"C:\\USERS\\BOB\\DESKTOP\\QUILLMOOR";
  t = DecideRemovableFolder(u"C:\\Old\\Quillmoor", onTheWay);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Tree, u"C:\\Old\\Quillmoor");
  onTheWay.FinalLong = u"C:\\USERS\\BOB";
  EXPECT_FALSE(DecideRemovableFolder(u"C:\\Old\\Quillmoor", onTheWay));
}

}  // namespace
