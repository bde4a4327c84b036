// The MessagePack subset at every boundary of its formats, and long walks
// over whole trees stopped by the interrupt hook.
#include <gtest/gtest.h>

#include <string>

#include "core/climber.h"
#include "core/range.h"
#include "persist/tree_io.h"

using namespace zell;
using namespace zell::msgpack;

namespace {

// The message of the native error `action` raises.
template <class F>
std::string refusal(F&& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.message();
  }
  return "accepted";
}

// Payloads are all absent here: every object is the one dummy, uncounted.
struct DummyCodec : PayloadCodec {
  void dump(void*, Writer& out) override { out.string("P"); }
  void* load(std::string_view) override { return &dummy; }
  int dummy = 0;
};

void interruptNow() { raise(ErrorKind::IOError, "interrupted"); }

}  // namespace

TEST(Msgpack, EveryFormatBoundaryAndWhatTheReaderRefuses) {
  for (uint64_t v :
       {0ull, 127ull, 128ull, 255ull, 256ull, 65535ull, 65536ull, 4294967295ull, 4294967296ull}) {
    Writer w;
    w.uint(v);
    size_t width = v < 128 ? 1 : v < 256 ? 2 : v < 65536 ? 3 : v < 4294967296ull ? 5 : 9;
    EXPECT_EQ(w.bytes().size(), width) << v;
    Reader r(w.bytes());
    EXPECT_EQ(r.uint(), v);
  }
  for (size_t n : {0, 15, 16, 31, 32, 255, 256, 65535, 65536}) {
    Writer w;
    w.string(std::string(n, 'x'));
    w.arrayHeader(static_cast<uint32_t>(n));
    size_t string = n < 32 ? 1 : n < 256 ? 2 : n < 65536 ? 3 : 5, array = n < 16 ? 1 : n < 65536 ? 3 : 5;
    EXPECT_EQ(w.bytes().size(), string + n + array) << n;
    Reader r(w.bytes());
    uint32_t count = 0;
    EXPECT_EQ(r.string(), std::string(n, 'x'));
    EXPECT_TRUE(r.recordHeader(count) && count == n);
  }
  EXPECT_EQ(refusal([] { Reader("\243ab").string(); }), "string len mismatch");  // octal escapes
  EXPECT_EQ(refusal([] { Reader("\304\001a").string(); }), "string");
  EXPECT_EQ(refusal([] { Reader("\335\377\377\377\377").float64ListHeader(); }), "cannot read from stream");
  EXPECT_NE(refusal([] { Reader::recordCheck(true, 7, 6); }).find("object/tuple len mismatch"),
            std::string::npos);
}

TEST(TreeIo, LongWalksStopWhenInterrupted) {
  payloadHooks = PayloadHooks{[](void*) {}, [](void*) {}};
  DummyCodec codec;
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  for (int x = 0; x < 400; ++x)
    for (int y = 0; y < 300; ++y) Climber<2>::createNodeByCoord(*t, {x + 0.5, y + 0.5}, 0);
  std::string bytes = TreeWriter<2>(codec).write(t.get());
  Ref<Tree<2>> target = Tree<2>::create(2.0, {5.0, 5.0}, nullptr);
  Window<2> window = Window<2>::open(*t, {0.0, 0.0}, {399.0, 299.0});
  interruptHook = &interruptNow;
  EXPECT_EQ(refusal([&] { TreeWriter<2>(codec).write(t.get()); }), "interrupted");
  EXPECT_EQ(refusal([&] { TreeReader<2>(bytes, codec).load(target); }), "interrupted");
  EXPECT_EQ(refusal([&] { WindowWalk<2>(*t, window).run([](const auto&, void* const*, int) {}); }),
            "interrupted");
  interruptHook = nullptr;
  EXPECT_EQ(target->minNodeSize, 2.0);  // the load changed nothing
  EXPECT_EQ(t->walkers, 0);
}

// Empty leaves are recognised by their bytes once one was read in full, but
// only when their payload string loads without running code: any other
// string is loaded every time, and both ways give the same tree.
TEST(TreeIo, EmptyLeavesRecognisedOnlyWhenTheirPayloadIsInert) {
  struct CountingCodec : PayloadCodec {
    void dump(void* object, Writer& out) override { out.string(object ? "P" : "N"); }
    void* load(std::string_view) override { return ++loads, &dummy; }
    bool inert(std::string_view bytes) const override { return inertNone && bytes == "N"; }
    bool inertNone = true;
    int loads = 0, dummy = 0;
  };
  payloadHooks = PayloadHooks{[](void*) {}, [](void*) {}};
  CountingCodec codec;
  Ref<Tree<3>> t = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, nullptr);
  for (int i = 0; i < 5; ++i)
    Climber<3>::createNodeByCoord(*t, {i + 0.5, 2 * i + 0.5, 0.5}, 0).setData(&codec);
  std::string bytes = TreeWriter<3>(codec).write(t.get());
  for (bool inertNone : {true, false}) {
    codec.inertNone = inertNone;
    codec.loads = 0;
    Ref<Tree<3>> copy = Tree<3>::create(4.0, {1.0, 1.0, 1.0}, nullptr);
    TreeReader<3>(bytes, codec).load(copy);
    EXPECT_EQ(TreeWriter<3>(codec).write(copy.get()), bytes);
    // Recognised: the first empty leaf, the five payloads, the nodes with
    // children and the default; else every node and the default.
    int parents = static_cast<int>((t->store.count() - 1) / ChildSet<3>::kCount);
    EXPECT_EQ(codec.loads, inertNone ? 1 + 5 + parents + 1 : static_cast<int>(t->store.count()) + 1);
  }
}

// The records of nodes without children are read in one step when they
// come in their usual bytes: payload strings at the edges of the one- and
// two-byte string headers, present and absent. Input cut anywhere, or a
// record bent out of that form, is read in full and refused as before:
// the same refusal whether or not valid bytes follow the input in memory.
TEST(TreeIo, ChildlessRecordsReadInOneStepAndRefusedAsBefore) {
  struct TableCodec : PayloadCodec {  // payloads are the strings' places in the table
    void dump(void* object, Writer& out) override {
      out.string(object ? strings[static_cast<std::string*>(object) - strings] : std::string("N"));
    }
    void* load(std::string_view bytes) override {
      for (std::string& s : strings)
        if (s == bytes) return &s;
      if (bytes == "N") return nullptr;
      raise(ErrorKind::ValueError, "unknown payload");
    }
    bool inert(std::string_view bytes) const override { return bytes == "N"; }
    std::string strings[7] = {
        "", "a", std::string(31, 'b'), std::string(32, 'c'), std::string(255, 'd'), std::string(256, 'e'),
        "N"};  // the last: a present payload written like an absent one
  };
  payloadHooks = PayloadHooks{[](void*) {}, [](void*) {}};
  TableCodec codec;
  Ref<Tree<3>> t = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, nullptr);
  for (int i = 0; i < 7; ++i)  // each between cells without payloads
    Climber<3>::createNodeByCoord(*t, {2 * i + 0.5, 0.5, 0.5}, 0).setData(&codec.strings[i]);
  std::string bytes = TreeWriter<3>(codec).write(t.get());
  Ref<Tree<3>> copy = Tree<3>::create(4.0, {1.0, 1.0, 1.0}, nullptr);
  TreeReader<3>(bytes, codec).load(copy);
  EXPECT_EQ(TreeWriter<3>(codec).write(copy.get()), bytes);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(Climber<3>::getNodeByCoord(*copy, {2 * i + 0.5, 0.5, 0.5}, 0).node->data.get(),
              &codec.strings[i]);

  auto loadRefusal = [&](std::string_view input) {
    Ref<Tree<3>> target = Tree<3>::create(4.0, {1.0, 1.0, 1.0}, nullptr);
    std::string message = refusal([&] { TreeReader<3>(input, codec).load(target); });
    EXPECT_EQ(target->minNodeSize, 4.0) << message;  // a refused load changes nothing
    return message;
  };
  // Cut anywhere: the bytes after the cut stay in memory for the view, not
  // for the copy.
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    ASSERT_EQ(loadRefusal(std::string_view(bytes).substr(0, cut)), loadRefusal(std::string(bytes, 0, cut)))
        << cut;
  // The record of the cell holding "a": its flag, then a nil of its empty
  // children part, then its string header, each bent.
  size_t flag = bytes.find(std::string("\x92\x92\xa1") + "a") + 4;
  auto bent = [&](size_t at, char to, std::string input = std::string()) {
    std::string copy = input.empty() ? bytes : input;
    return copy.replace(at, 1, 1, to);
  };
  EXPECT_EQ(loadRefusal(bent(flag, '\xc0')), "bool");
  EXPECT_EQ(loadRefusal(bent(flag + 3, '\xc2')), "bool");
  EXPECT_EQ(loadRefusal(bent(flag - 2, '\xa0')), "bool");
  // Absent with a string that is not inert: it is loaded all the same.
  EXPECT_EQ(loadRefusal(bent(flag - 1, 'z', bent(flag, '\xc2'))), "unknown payload");
  Ref<Tree<3>> absent = Tree<3>::create(4.0, {1.0, 1.0, 1.0}, nullptr);
  TreeReader<3>(bent(flag, '\xc2'), codec).load(absent);
  EXPECT_FALSE(Climber<3>::getNodeByCoord(*absent, {2.5, 0.5, 0.5}, 0).node->data.has());
}
