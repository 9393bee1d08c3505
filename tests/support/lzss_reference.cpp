#include <algorithm>

#include "tests/support/kit.h"

namespace zarno {
namespace {
// The coder's numbers again, so that a slip in the product's header does not reach both encoders: a ring of
// 4096 cells read modulo its size, matches of 2 to 17 bytes, a binary tree of the ring's strings under 4096.
constexpr uint32_t kRing = 4096, kMaxMatch = 17, kRoot = 4096, kNone = 0;
struct Reference {
  struct Node { uint32_t parent = kNone, smaller = kNone, larger = kNone; };
  std::vector<uint32_t> ring = std::vector<uint32_t>(kRing + 1, 0);
  std::vector<Node> tree = std::vector<Node>(kRing + 1);
  uint32_t matchPosition = 0;
  uint32_t& LinkTo(uint32_t p) { Node& up = tree[tree[p].parent]; return up.smaller == p ? up.smaller : up.larger; }
  void Replace(uint32_t p, uint32_t q) {  // q takes p's place with p's children
    LinkTo(p) = q, tree[q] = tree[p], tree[p].parent = kNone;
    for (uint32_t child : {tree[q].smaller, tree[q].larger}) if (child != kNone) tree[child].parent = q;
  }
  void Remove(uint32_t p) {
    Node& n = tree[p];
    if (n.parent == kNone) return;
    if (n.smaller == kNone || n.larger == kNone) {
      const uint32_t child = std::max(n.smaller, n.larger);  // the only child, if any
      if (LinkTo(p) = child; child != kNone) tree[child].parent = n.parent;
      n.parent = kNone;
      return;
    }
    uint32_t q = n.smaller;
    while (tree[q].larger != kNone) q = tree[q].larger;
    Remove(q), Replace(p, q);
  }
  uint32_t Insert(uint32_t r) {  // the length of the longest match, its place in matchPosition
    if (r == 0) return 0;
    for (uint32_t p = tree[kRoot].larger, best = 0;;) {
      uint32_t i = 0;
      while (i < kMaxMatch && ring[(r + i) % kRing] == ring[(p + i) % kRing]) ++i;
      if (i >= best) best = i, matchPosition = p;
      if (i == kMaxMatch) return Replace(p, r), kMaxMatch;
      uint32_t& child = ring[(r + i) % kRing] < ring[(p + i) % kRing] ? tree[p].smaller : tree[p].larger;
      if (child == kNone) return child = r, tree[r] = {p, kNone, kNone}, best;
      p = child;
    }
  }
};
}  // namespace

std::vector<uint8_t> LzssCompressReference(std::span<const uint8_t> input) {
  Reference coder;
  coder.tree[kRoot].larger = 1, coder.tree[1].parent = kRoot;
  uint32_t count = uint32_t(std::min<size_t>(input.size(), kMaxMatch)), r = 1, matchLength = 0;
  std::copy_n(input.begin(), count, coder.ring.begin() + 1);
  std::vector<uint8_t> out;
  for (size_t items = 0, next = count, flagPlace = 0; count > 0; ++items) {
    if (items % 8 == 0) flagPlace = out.size(), out.push_back(0);
    const uint32_t at = coder.matchPosition;
    if ((matchLength = std::min(matchLength, count)) <= 1) out[flagPlace] |= uint8_t(1u << items % 8);
    if (matchLength <= 1) out.push_back(uint8_t(coder.ring[r]));
    else out.insert(out.end(), {uint8_t(((matchLength - 2) << 4) + (at >> 8)), uint8_t(at)});
    for (uint32_t step = 0, advance = std::max(matchLength, 1u); step < advance; ++step) {
      const uint32_t s = (r + kMaxMatch) % kRing;
      coder.Remove(s);
      if (next < input.size()) coder.ring[s] = input[next++]; else --count;
      r = (r + 1) % kRing;
      if (count > 0) matchLength = coder.Insert(r);
    }
  }
  return out;
}
}  // namespace zarno
