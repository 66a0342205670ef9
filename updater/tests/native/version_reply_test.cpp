// The version reply's walk against a fake installed product.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "text_bounds.h"
#include "version_reply.h"

namespace {

// Installed product: key -> path in section "Files", path -> FileVersion.
struct FakeProduct {
  std::map<std::u16string, std::u16string> files{{u"core", u"C:\\P\\core.dll"},
                                                 {u"help", u"C:\\P\\help.chm"},
                                                 {u"gone", u"C:\\P\\gone.dll"},
                                                 {u"blank", u""}};
  std::map<std::u16string, std::u16string> versions{{u"C:\\P\\core.dll", u"2, 0, 7, 62"},
                                                    {u"C:\\P\\help.chm", u"1, 0, 0, 0"}};
  std::vector<std::u16string> lookedUp;
  int reads = 0;
};

size_t Widen(void*, std::string_view text, char16_t* out, size_t capacity) {
  return BoundedCopy(out, capacity, text.data(), text.size());  // Latin-1: units widen unsigned
}

size_t LookupFile(void* context, const char16_t* key, char16_t* out, size_t capacity) {
  auto* product = static_cast<FakeProduct*>(context);
  product->lookedUp.emplace_back(key);
  auto found = product->files.find(key);
  const std::u16string path = found == product->files.end() ? u"" : found->second;
  return BoundedCopy(out, capacity, path.data(), path.size());
}

void ReadVersion(void* context, const char16_t* path, char16_t* out, size_t capacity) {
  auto* product = static_cast<FakeProduct*>(context);
  ++product->reads;
  auto found = product->versions.find(path);
  if (found != product->versions.end()) BoundedCopy(out, capacity, found->second.c_str(), capacity);
}

const std::string M = "Tavo-Verlift";

std::vector<uint8_t> Reply(const std::vector<std::string>& strings, bool lastHasNul = true) {
  std::vector<uint8_t> bytes;
  for (const auto& s : strings) bytes.insert(bytes.end(), s.c_str(), s.c_str() + s.size() + 1);
  if (!lastHasNul) bytes.pop_back();
  bytes.shrink_to_fit();  // so that any read past the data trips the address sanitizer
  return bytes;
}

// A reply with the magic, new version "3.0" and download address "u", then these strings.
std::vector<uint8_t> Offer(std::vector<std::string> strings, bool lastHasNul = true) {
  strings.insert(strings.begin(), {M, "3.0", "u"});
  return Reply(strings, lastHasNul);
}

struct Walked {
  int result;
  std::u16string newVersion, downloadUrl;
  FakeProduct product;
};

Walked Walk(const std::vector<uint8_t>& reply, FakeProduct product = {},
            decltype(ReplyIo::Widen) widen = Widen) {
  Walked w{0, {}, {}, std::move(product)};
  const ReplyIo io{&w.product, widen, LookupFile, ReadVersion};
  char16_t newVersion[NewVersionCapacity], downloadUrl[DownloadUrlCapacity];
  std::fill(std::begin(newVersion), std::end(newVersion), u'#');
  std::fill(std::begin(downloadUrl), std::end(downloadUrl), u'#');
  w.result = WalkVersionReply(reply, io, newVersion, downloadUrl);
  w.newVersion = newVersion;
  w.downloadUrl = downloadUrl;
  return w;
}

TEST(WalkVersionReply, Table) {
  const struct {
    const char* name;
    std::vector<uint8_t> reply;
    int result, reads;
    std::u16string newVersion = u"3.0";
  } cases[] = {
      {"magic only", Reply({M}), 0, 0, u""},
      {"empty body", {}, 0, 0, u""},
      {"magic in wrong case", Reply({"tavo-verlift", "3.0", "u", "core", "9"}), 0, 0, u""},
      {"magic with suffix", Reply({M + "!", "3.0", "u", "core", "9"}), 0, 0, u""},
      {"no pairs", Offer({""}), 0, 0},
      {"unlisted key then older file", Offer({"other", "9", "core", "2, 0, 7, 63", ""}), 1, 1},
      {"key listed with empty path", Offer({"blank", "9", ""}), 0, 0},
      {"equal then older", Offer({"core", "2, 0, 7, 62", "help", "1, 0, 0, 1", ""}), 1, 2},
      {"older then newer stops early", Offer({"core", "2, 0, 8", "help", "0, 9", ""}), 1, 1},
      {"all current", Offer({"core", "2, 0, 7, 62", "help", "0, 9", ""}), 0, 2},
      {"numeric comparison", Offer({"core", "2, 0, 7, 100", ""}), 1, 1},
      {"empty advertised version", Offer({"core", "", "help", "", ""}), 0, 2},
      {"missing file, version advertised", Offer({"gone", "1", ""}), 1, 1},
      {"missing file, nothing advertised", Offer({"gone", "", ""}), 0, 1},
      {"key without version at the end", Offer({"core"}), 0, 1},
      {"last string without NUL", Offer({"core", "2, 0, 7, 63"}, false), 1, 1},
      {"pairs after the terminator ignored", Offer({"", "core", "9"}), 0, 0},
      {"long new version cut", Reply({M, std::string(50, 'v'), "u", ""}), 0, 0, std::u16string(19, u'v')},
      {"very long advertised version", Offer({"core", "2, 0, 7, " + std::string(5000, '9'), ""}), 1, 1},
  };
  for (const auto& c : cases) {
    const Walked w = Walk(c.reply);
    EXPECT_EQ(w.result, c.result) << c.name;
    EXPECT_EQ(w.product.reads, c.reads) << c.name;
    EXPECT_EQ(w.newVersion, c.newVersion) << c.name;
    EXPECT_EQ(w.downloadUrl, c.newVersion.empty() ? u"" : u"u") << c.name;
  }
}

// A reply padded with a long download address so that the walk's last pair ends at a given size.
std::vector<uint8_t> PaddedReply(size_t size, const std::string& version, bool lastHasNul) {
  const size_t fixed = (M.size() + 1) + 4 + 1 + 5 + version.size() + (lastHasNul ? 1 : 0);
  return Reply({M, "3.0", std::string(size - fixed, 'u'), "core", version}, lastHasNul);
}

TEST(WalkVersionReply, ReadSizes) {
  std::vector<uint8_t> exact = PaddedReply(1024, "2, 0, 7, 63", true);
  ASSERT_EQ(exact.size(), 1024u);
  EXPECT_EQ(Walk(exact).result, 1);
  exact.resize(2048, 0);  // the buffer grown for a second read that delivered nothing
  EXPECT_EQ(Walk(exact).result, 1);

  const std::vector<uint8_t> open = PaddedReply(1500, "2, 0, 7, 63", false);
  ASSERT_EQ(open.size(), 1500u);
  ASSERT_NE(open.back(), 0);
  EXPECT_EQ(Walk(open).result, 1);
  EXPECT_EQ(Walk(PaddedReply(1500, "2, 0, 7, 62", false)).result, 0);
}

TEST(WalkVersionReply, OverlongTextsAreCutOrSkipped) {
  // A download address that fits is kept whole; one unit more and none is kept.
  EXPECT_EQ(Walk(Reply({M, "3.0", std::string(DownloadUrlCapacity - 1, 'd'), ""})).downloadUrl,
            std::u16string(DownloadUrlCapacity - 1, u'd'));
  EXPECT_EQ(Walk(Reply({M, "3.0", std::string(DownloadUrlCapacity, 'd'), ""})).downloadUrl, u"");

  // A key of 259 characters is looked up; one of 260 is skipped even though its first 259
  // characters name an installed file.
  const std::string key259(259, 'k');
  FakeProduct product;
  product.files[std::u16string(259, u'k')] = u"C:\\P\\core.dll";
  EXPECT_EQ(Walk(Offer({key259, "9", ""}), product).result, 1);
  const Walked skipped = Walk(Offer({key259 + "k", "9", "core", "2, 0, 7, 62", ""}), product);
  EXPECT_EQ(skipped.result, 0);
  EXPECT_EQ(skipped.product.reads, 1);
  EXPECT_EQ(skipped.product.lookedUp, std::vector<std::u16string>{u"core"});
}

// The copy that cuts the reply's texts and the installed versions to their buffers, never past
// capacity or available, and the step that keeps such a cut from splitting a surrogate pair.
TEST(BoundedCopy, CutsWithinBothBoundsAndBetweenSurrogatePairs) {
  using namespace std::string_literals;
  const struct {
    std::u16string text;
    size_t capacity, available;
    std::u16string expected;
  } cases[] = {
      {u"abcdef", 4, 6, u"abc"},                               // cut by the capacity
      {u"abcdef", 7, 6, u"abcdef"}, {u"abcdef", 9, 2, u"ab"},  // cut by what is available
      {u"ab\0cd"s, 9, 5, u"ab"},    {u"abc", 1, 3, u""},
  };
  for (const auto& c : cases) {
    std::u16string out(c.capacity, u'#');
    EXPECT_EQ(BoundedCopy(out.data(), c.capacity, c.text.data(), c.available), c.expected.size());
    EXPECT_EQ(out.substr(0, c.expected.size() + 1), c.expected + u'\0');
  }
  char16_t wide[4];
  BoundedCopy(wide, 4, "\xe9\xff", 2);  // 8-bit units widen unsigned
  EXPECT_EQ(std::u16string(wide), u"\u00e9\u00ff");

  const std::pair<std::u16string, std::u16string> cuts[] = {
      {u"ab\xD83D", u"ab"},  // text, what is kept
      {u"ab\U0001F514", u"ab\U0001F514"},
      {u"a\xDC14", u"a\xDC14"},
      {u"", u""},
  };
  for (auto [text, kept] : cuts) {
    EXPECT_EQ(KeepWholePairs(text.data(), text.size()), kept.size());
    EXPECT_EQ(std::u16string(text.c_str()), kept);
  }

  // A name after a folder: whole, or refused with the folder left as it was.
  for (auto [name, whole] : {std::pair{u"abc", true}, {u"abcd", false}}) {
    char16_t path[7] = u"C:\\xyz";
    EXPECT_EQ(AppendPathName(path, 7, 2, name), whole);
    EXPECT_EQ(std::u16string(path), whole ? u"C:\\abc" : u"C:");
  }
}

// A key the code page cannot convert is skipped, never looked up as an empty key.
size_t WidenFailingOnHighBytes(void* context, std::string_view text, char16_t* out, size_t capacity) {
  if (static_cast<unsigned char>(text[0]) >= 0x80) {
    out[0] = u'\0';
    return 0;
  }
  return Widen(context, text, out, capacity);
}

TEST(WalkVersionReply, UnconvertibleKeyIsSkipped) {
  FakeProduct product;
  product.files[u""] = u"C:\\P\\core.dll";
  const Walked w = Walk(Offer({"\xff\xfe", "9", "help", "1, 0, 0, 1", ""}), product, WidenFailingOnHighBytes);
  EXPECT_EQ(w.result, 1);
  EXPECT_EQ(w.product.lookedUp, std::vector<std::u16string>{u"help"});
}

TEST(WalkVersionReply, DataPastTheCapIsIgnored) {
  // An unlisted pair fills the reply up to 'end'; an older "core" pair follows it.
  const auto build = [](size_t end) {
    const size_t head = M.size() + 1 + 4 + 2 + 6;  // magic, "3.0", "u", "other"
    return Offer({"other", std::string(end - head - 1, '1'), "core", "9"});
  };
  EXPECT_EQ(Walk(build(ReplyCapBytes - 7)).result, 1);  // "core", "9" and their NULs end at the cap
  EXPECT_EQ(Walk(build(ReplyCapBytes - 6)).result, 1);  // the cap ends "9" like the end of data
  EXPECT_EQ(Walk(build(ReplyCapBytes - 5)).result, 0);  // "9" lies past the cap
  EXPECT_EQ(Walk(build(ReplyCapBytes - 2)).result, 0);  // the key is cut to "co"
  EXPECT_EQ(Walk(build(ReplyCapBytes)).result, 0);
}

TEST(WalkVersionReply, EntriesPastTheLimitAreIgnored) {
  // Unlisted entries, then an older "core": the last entry examined, or the first ignored.
  for (const size_t unlisted : {ReplyEntryLimit - 1, ReplyEntryLimit}) {
    std::vector<uint8_t> reply = Offer({});
    for (size_t i = 0; i < unlisted; ++i) reply.insert(reply.end(), {'x', 0, '1', 0});
    reply.insert(reply.end(), {'c', 'o', 'r', 'e', 0, '9', 0});
    const Walked w = Walk(reply);
    EXPECT_EQ(w.result, unlisted < ReplyEntryLimit ? 1 : 0) << unlisted;
    EXPECT_EQ(w.product.lookedUp.size(), ReplyEntryLimit) << unlisted;
  }
}

TEST(IsReplyMagic, OnlyTheExactText) {
  using namespace std::string_view_literals;
  EXPECT_TRUE(IsReplyMagic("Tavo-Verlift"));
  for (std::string_view wrong : {"tavo-verlift"sv, "TAVO-VERLIFT"sv, "Tavo-Verlift2"sv, "Tavo-Verlift "sv,
                                 "Tavo-Verlif"sv, ""sv, " Tavo-Verlift"sv, "Tavo-Verlift\0x"sv})
    EXPECT_FALSE(IsReplyMagic(wrong)) << wrong;
}

}  // namespace
