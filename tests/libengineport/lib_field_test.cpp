// The field proxies against fake accessors: chunking, buffer retries and the guard that
// never calls an accessor through the wrong signature.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "libengineport/lib_api.h"
#include "libengineport/lib_field.h"
#include "platform/stream.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

struct Calls {
  std::vector<std::pair<int32_t, int32_t>> chunks;  // (bytes, last)
  std::string bytes;
  int count = 0;
};
Calls gCalls;

int32_t RYN_CALL RecordChunk(RynHandle, int32_t, const void* data, int32_t count, int32_t last) {
  gCalls.chunks.emplace_back(count, last);
  gCalls.bytes.append(static_cast<const char*>(data), static_cast<size_t>(count));
  return 0;
}

void RYN_CALL RecordInteger(RynHandle, int32_t, int32_t) { ++gCalls.count; }

// A 600-character value behind the buffer protocol.
int32_t RYN_CALL LongText(RynHandle, int32_t, char* buffer, int32_t* length) {
  ++gCalls.count;
  const std::string value(600, 'v');
  if (buffer && *length >= 600) {
    std::memcpy(buffer, value.data(), 600);
    *length = 600;
    return -1;
  }
  *length = 600;
  return 0;
}

// 1100 bytes in chunks of at most the capacity.
int32_t RYN_CALL BinaryValue(RynHandle, int32_t, void* buffer, int32_t capacity, int32_t* last) {
  static size_t sent = 0;
  size_t n = std::min<size_t>(static_cast<size_t>(capacity), 1100 - sent);
  std::memset(buffer, 'b', n);
  sent += n;
  *last = sent == 1100 ? -1 : 0;
  if (sent == 1100) sent = 0;
  return static_cast<int32_t>(n);
}

// A broken library: never says "last" and places nothing.
int32_t RYN_CALL NeverLast(RynHandle, int32_t, void*, int32_t, int32_t* last) {
  *last = 0;
  ++gCalls.count;
  return 0;
}

// The value in gText behind the buffer protocol; counts its calls.
std::string gText;
int32_t RYN_CALL ServeText(RynHandle, int32_t, char* buffer, int32_t* length) {
  ++gCalls.count;
  const auto n = static_cast<int32_t>(gText.size());
  if (buffer && *length >= n) {
    std::memcpy(buffer, gText.data(), gText.size());
    *length = n;
    return -1;
  }
  *length = n;
  return 0;
}

// Records what a text setter was given, and whether the text was zero-terminated.
struct Received {
  std::string text;
  int32_t bytes = 0;
  bool terminated = false;
};
Received gReceived;
void RYN_CALL ReceiveText(RynHandle, int32_t, const char* text, int32_t bytes) {
  gReceived = {std::string(text, static_cast<size_t>(bytes)), bytes, text[bytes] == '\0'};
}

template <class Field, class Fn>
void Point(Field& f, int32_t type, Fn fn) {
  f.FAccessorType = type;
  f.FAccessor = reinterpret_cast<void*>(fn);
}

TEST(LibFieldTest, LoadFromStreamChunks) {
  TLibFieldWriter w(nullptr, nullptr);
  Point(w, 67, &RecordChunk);

  gCalls = {};
  TMemoryStream empty;
  w.LoadFromStream(empty);
  EXPECT_EQ(gCalls.chunks, (std::vector<std::pair<int32_t, int32_t>>{{0, -1}}));

  gCalls = {};
  TMemoryStream block(std::string(2000, 'm'));
  block.SetPosition(1500);  // a memory stream goes whole, wherever its position
  w.LoadFromStream(block);
  EXPECT_EQ(gCalls.chunks, (std::vector<std::pair<int32_t, int32_t>>{{2000, -1}}));

  testing::TempDir dir;
  for (size_t size : {1024u, 1000u, 513u}) {
    testing::TempDir::Write(dir.Path("f"), std::string(size, 'f'));
    TFileStream file(dir.Path("f"), FileMode::kOpenRead, false);
    gCalls = {};
    w.LoadFromStream(file);
    std::vector<std::pair<int32_t, int32_t>> expected;
    if (size == 1024) expected = {{512, 0}, {512, -1}};
    if (size == 1000) expected = {{512, 0}, {488, -1}};
    if (size == 513) expected = {{512, 0}, {1, -1}};
    EXPECT_EQ(gCalls.chunks, expected) << size;
    EXPECT_EQ(gCalls.bytes, std::string(size, 'f'));
  }
}

TEST(LibFieldTest, ReadsThroughTheBufferProtocolAndChunks) {
  TLibFieldReader r(nullptr, nullptr);
  Point(r, 65, &LongText);
  gCalls = {};
  EXPECT_EQ(r.GetAsString(), std::string(600, 'v'));
  EXPECT_EQ(gCalls.count, 2) << "a 512 buffer first, then one of the asked size";

  Point(r, 67, &BinaryValue);
  TMemoryStream out;
  EXPECT_TRUE(r.SaveToStream(out));
  EXPECT_EQ(out.Data(), std::string(1100, 'b'));

  Point(r, 67, &NeverLast);
  gCalls = {};
  EXPECT_TRUE(r.SaveToStream(out));
  EXPECT_EQ(gCalls.count, 1) << "a chunk of nothing ends the value";
}

TEST(LibFieldTest, TextBuffersKeepNoStaleBytes) {
  // One field reads values of changing lengths; a value never shows bytes of a longer one
  // before it, and a buffer grown once spares the second call afterwards.
  TLibFieldReader r(nullptr, nullptr);
  Point(r, 65, &ServeText);
  const struct {
    std::string value;
    int calls;
  } reads[] = {{std::string(600, 'v'), 2}, {std::string(600, 'w'), 1}, {"abc", 1}, {"", 1},
               {std::string(700, 'x'), 2}, {"xyz", 1},   {std::string(20, 'y'), 1}};
  for (const auto& c : reads) {
    gText = c.value;
    gCalls = {};
    EXPECT_EQ(r.GetAsString(), c.value) << c.value.size();
    EXPECT_EQ(gCalls.count, c.calls) << c.value.size();
  }
  Point(r, 19, &ServeText);
  for (auto [text, value] : {std::pair<std::string, long double>{std::string(30, '1'), 1.11111111111111111111111111111e29L},
                            {"12.25", 12.25L}}) {
    gText = text;
    EXPECT_EQ(r.GetAsExtended(), value) << text;
  }

  TLibFieldWriter w(nullptr, nullptr);
  Point(w, 65, &ReceiveText);
  for (std::string value : {std::string(40, 'L'), std::string("ab"), std::string(), std::string("with\0zero", 9)}) {
    w.SetAsString(value);
    EXPECT_EQ(gReceived.text, value);
    EXPECT_EQ(gReceived.bytes, static_cast<int32_t>(value.size()));
    EXPECT_TRUE(gReceived.terminated) << value;
  }
}

// Libraries that lie in the buffer protocol: the proxy allocates no more than a sane
// limit, and never reads past the room it gave.
int32_t gClaim = 0;        // the length the library claims
bool gFillGiven = false;   // whether it fills the whole buffer it was given
int32_t RYN_CALL LyingText(RynHandle, int32_t, char* buffer, int32_t* length) {
  ++gCalls.count;
  if (buffer && gFillGiven && *length > 0) std::memset(buffer, 'o', static_cast<size_t>(*length));
  *length = gClaim;
  return gFillGiven ? -1 : 0;
}
int32_t RYN_CALL LyingWide(RynHandle, int32_t, char16_t* buffer, int32_t* chars) {
  ++gCalls.count;
  if (buffer && gFillGiven && *chars > 0) std::fill(buffer, buffer + *chars, u'o');
  *chars = gClaim;
  return gFillGiven ? -1 : 0;
}

TEST(LibFieldTest, LengthsALibraryLiesAboutAreBounded) {
  const struct {
    int32_t claim;
    bool fill;
    size_t placed;  // characters of 'o' the value holds
    int calls;
  } cases[] = {
      {INT32_MAX, false, 0, 1},     // asks for 2 GB: refused, no second call
      {lib::kMaxTextLength + 1, false, 0, 1},
      {-5, false, 0, 1},            // a negative length is nothing
      {INT32_MIN, false, 0, 1},
      {100000, true, 512, 1},       // says it placed more than the buffer held
      {INT32_MAX, true, 512, 1},
      {-1, true, 0, 1},
  };
  for (const auto& c : cases) {
    gClaim = c.claim;
    gFillGiven = c.fill;
    TLibFieldReader r(nullptr, nullptr);
    Point(r, 65, &LyingText);
    gCalls = {};
    EXPECT_EQ(r.GetAsString(), std::string(c.placed, 'o')) << c.claim;
    EXPECT_EQ(gCalls.count, c.calls) << c.claim;
    Point(r, 66, &LyingWide);
    gCalls = {};
    EXPECT_EQ(r.GetAsWideString(), std::u16string(c.placed, u'o')) << c.claim;
    EXPECT_EQ(gCalls.count, c.calls) << c.claim;
  }
}

TEST(LibFieldTest, AccessorsOfAnotherShapeAreNeverCalled) {
  TLibFieldWriter w(nullptr, nullptr);
  Point(w, 6, &RecordInteger);
  gCalls = {};
  w.SetAsInteger(1);
  w.SetAsBoolean(true);
  w.SetAsString("text");  // would pass a pointer where an integer is expected
  w.SetAsDouble(1.5);
  w.SetAsWideString(u"x");
  TMemoryStream s;
  w.LoadFromStream(s);
  EXPECT_EQ(gCalls.count, 2);

  TLibFieldReader r(nullptr, nullptr);
  Point(r, 6, &RecordInteger);
  EXPECT_EQ(r.GetAsString(), "");
  EXPECT_EQ(r.GetAsDateTime(), 0);
  EXPECT_EQ(r.GetAsExtended(), 0) << "no text accessor: not a number, no port to tell";
}

}  // namespace
}  // namespace ryn
