#include "skinwright/lzss.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace zarno {
namespace {

// Loads eight bytes as a big-endian number, so that comparing two numbers
// compares the strings and the leading zeros of their XOR count the equal
// bytes. (memcpy and the swap compile to one load and one byte swap.)
inline uint64_t LoadOrderedWord(const uint8_t* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  if constexpr (std::endian::native == std::endian::big) return word;
  word = word >> 32 | word << 32;
  word = (word & 0xFFFF0000FFFF0000ull) >> 16 | (word & 0x0000FFFF0000FFFFull) << 16;
  return (word & 0xFF00FF00FF00FF00ull) >> 8 | (word & 0x00FF00FF00FF00FFull) << 8;
}

inline uint32_t EqualLeadingBytes(uint64_t a, uint64_t b) {
  return static_cast<uint32_t>(std::countl_zero(a ^ b)) / 8;
}

// Appends items to the output, opening a new group (and its flag byte) every
// eighth item. The output was checked to hold a stream of literals only.
class StreamWriter {
 public:
  explicit StreamWriter(uint8_t* output) : output_(output) {}

  void BeginItem() {
    if (items_ % LZSS_GROUP_ITEMS == 0) {
      output_[flagPlace_] = flags_;
      flagPlace_ = length_++;
      flags_ = 0;
    }
  }
  void PutLiteral(uint8_t value) {
    flags_ = static_cast<uint8_t>(flags_ | 1u << (items_ % LZSS_GROUP_ITEMS));
    output_[length_++] = value;
    ++items_;
  }
  void PutMatch(uint32_t length, uint32_t position) {
    output_[length_++] = static_cast<uint8_t>((length - LZSS_MIN_MATCH) << LZSS_LENGTH_SHIFT | position >> 8);
    output_[length_++] = static_cast<uint8_t>(position & 0xFF);
    ++items_;
  }
  size_t Finish() {
    output_[flagPlace_] = flags_;
    return length_;
  }

 private:
  uint8_t* output_;
  size_t length_ = 0;
  size_t flagPlace_ = 0;
  uint8_t flags_ = 0;
  uint32_t items_ = 0;
};

}  // namespace

// How a node's string compares with the key: the number of equal leading
// bytes (0 ... LZSS_MAX_MATCH) and, when they differ, which one is larger.
struct LzssEncoder::Comparison {
  uint32_t equal;
  bool keyIsLarger;
};

// The string being inserted, loaded once as two ordered words and a last byte,
// then compared with node after node a word at a time.
class LzssEncoder::Key {
 public:
  explicit Key(const uint8_t* at)
      : head_(LoadOrderedWord(at)), middle_(LoadOrderedWord(at + 8)), last_(uint64_t{at[16]} << 56) {}

  Comparison CompareWith(const uint8_t* node) const { return CompareWith(LoadOrderedWord(node), node); }

  // The same, with the node's first eight bytes loaded before as `head`. The
  // first differing word decides; the last byte is compared as the top byte of
  // a word, where equal bytes count 8 and are capped to 17.
  Comparison CompareWith(uint64_t head, const uint8_t* node) const {
    static_assert(LZSS_MAX_MATCH == 2 * sizeof(uint64_t) + 1, "two words and one byte per node");
    uint64_t keyWord = head_;
    uint64_t nodeWord = head;
    uint32_t offset = 0;
    if (keyWord == nodeWord) {
      keyWord = middle_;
      nodeWord = LoadOrderedWord(node + 8);
      offset = 8;
      if (keyWord == nodeWord) {
        keyWord = last_;
        nodeWord = uint64_t{node[16]} << 56;
        offset = 16;
      }
    }
    return {std::min(offset + EqualLeadingBytes(keyWord, nodeWord), LZSS_MAX_MATCH), keyWord > nodeWord};
  }

 private:
  uint64_t head_;
  uint64_t middle_;
  uint64_t last_;  // the 17th byte as the top byte of a word
};

// Where a search goes on after a climb from a finger node, and what the part
// of the search path above that node would have found.
struct LzssEncoder::SearchStart {
  uint32_t node = LZSS_NO_NODE;
  uint32_t best = 0;
  uint32_t position = LZSS_NO_NODE;  // none: no node above `node`
};

void LzssEncoder::Reset() {
  ring_.fill(0);
  children_.fill(LZSS_NO_NODE);
  slot_.fill(kNotInTree);
  // Position 1 is the first root, entered without a search.
  Link(LargerSlot(LZSS_ROOT), LZSS_FIRST_POSITION);
  matchPosition_ = 0;
  lastBest_ = 0;
}

void LzssEncoder::StoreRingByte(uint32_t position, uint8_t value) {
  ring_[position] = value;
  if (position < kMirrorLength) ring_[LZSS_RING_SIZE + position] = value;
}

bool LzssEncoder::InTree(uint32_t node) const { return node != LZSS_NO_NODE && slot_[node] != kNotInTree; }

// ---- Tree maintenance --------------------------------------------------------
// Linking a missing child writes slot_[LZSS_NO_NODE], which is harmless:
// nothing reads it (InTree tests the number first).

// Makes `node` (or none) the child held in `slot`.
void LzssEncoder::Link(uint32_t slot, uint32_t node) {
  children_[slot] = static_cast<uint16_t>(node);
  slot_[node] = static_cast<uint16_t>(slot);
}

// Puts `newNode` where `oldNode` is (its place, its children) and takes
// `oldNode` out of the tree.
void LzssEncoder::ReplaceNode(uint32_t oldNode, uint32_t newNode) {
  Link(slot_[oldNode], newNode);
  Link(SmallerSlot(newNode), children_[SmallerSlot(oldNode)]);
  Link(LargerSlot(newNode), children_[LargerSlot(oldNode)]);
  slot_[oldNode] = kNotInTree;
}

// Takes node p, which has at most one child, out of the tree: the child (or
// none) takes its place.
void LzssEncoder::Unlink(uint32_t p) {
  const uint32_t larger = children_[LargerSlot(p)];
  Link(slot_[p], larger != LZSS_NO_NODE ? larger : children_[SmallerSlot(p)]);
  slot_[p] = kNotInTree;
}

void LzssEncoder::Remove(uint32_t p) {
  if (!InTree(p)) return;
  if (children_[SmallerSlot(p)] == LZSS_NO_NODE || children_[LargerSlot(p)] == LZSS_NO_NODE) {
    Unlink(p);
    return;
  }
  // Two children: the greatest node below the smaller child takes p's place.
  uint32_t q = children_[SmallerSlot(p)];
  while (children_[LargerSlot(q)] != LZSS_NO_NODE) q = children_[LargerSlot(q)];
  Unlink(q);
  ReplaceNode(p, q);
}

// ---- Search ------------------------------------------------------------------
// The tree is a binary search tree of distinct 17-byte strings (a node's
// string never changes while it is in the tree: a ring byte is overwritten only
// after the 17 nodes that read it have been removed). Of the nodes on the
// search path for a key, the ones closest to the key are the last on the path
// that are smaller and larger than it, and they match it longest.

// Enters the string at ring position r into the tree and returns the length of
// the longest match on its search path from the root; the last node visited
// among equally long matches wins, and a node equal in all 17 bytes is
// replaced by r.
uint32_t LzssEncoder::Insert(uint32_t r) {
  if (r == LZSS_NO_NODE) {
    lastBest_ = 0;
    return 0;
  }
  const Key key(&ring_[r]);
  SearchStart start{children_[LargerSlot(LZSS_ROOT)]};
  // After a match, the string behind the matched one is usually next to the
  // key in the tree; a search from there is shorter than one from the root.
  const uint32_t finger = (matchPosition_ + 1) & LZSS_RING_MASK;
  if (lastBest_ >= kFingerLeastMatch && InTree(finger)) {
    // In runs and repeats the finger is the very string: the node equal to
    // the key is always on its search path and ends it.
    if (key.CompareWith(&ring_[finger]).equal == LZSS_MAX_MATCH) {
      matchPosition_ = finger;
      ReplaceNode(finger, r);
      return lastBest_ = LZSS_MAX_MATCH;
    }
    start = ClimbFrom(finger, key);
  }
  lastBest_ = Descend(start, key, r);
  return lastBest_;
}

// Climbs from `finger` to the lowest ancestor whose subtree's range holds the
// key: the root's search path for the key runs through it. The nearest
// ancestors that bound that subtree from below and from above are the last
// nodes of the path above it on either side of the key, so they sum up what
// that part of the path would have found.
LzssEncoder::SearchStart LzssEncoder::ClimbFrom(uint32_t finger, const Key& key) const {
  struct Bound {
    uint32_t node = LZSS_NO_NODE;
    uint32_t equal = 0;
  };
  Bound lower;
  Bound upper;
  uint32_t candidate = finger;
  for (uint32_t child = finger; lower.node == LZSS_NO_NODE || upper.node == LZSS_NO_NODE;) {
    const uint32_t parent = slot_[child] / 2;
    if (parent == LZSS_ROOT) break;
    const bool fromLarger = slot_[child] == LargerSlot(parent);
    Bound& bound = fromLarger ? lower : upper;
    if (bound.node == LZSS_NO_NODE) {
      const Comparison comparison = key.CompareWith(&ring_[parent]);
      // The node equal to the key is on its search path and ends it.
      if (comparison.equal == LZSS_MAX_MATCH) return {parent};
      if (comparison.keyIsLarger == fromLarger) {
        bound = {parent, comparison.equal};
      } else {
        // The key lies beyond this bound: the search path leaves the
        // finger's branch here at the latest.
        candidate = parent;
        lower = upper = Bound{};
      }
    }
    child = parent;
  }
  // The bound that matches longer is the best of the path so far. On a tie
  // the candidate, which lies between the two, matches at least as long and,
  // visited later, takes over.
  const Bound& winner = lower.equal >= upper.equal ? lower : upper;
  return {candidate, winner.equal, winner.node};
}

// Searches down from `start` to where the key belongs, as the search from the
// root does below that node, and enters r there.
uint32_t LzssEncoder::Descend(const SearchStart& start, const Key& key, uint32_t r) {
  uint32_t best = start.best;
  uint32_t matchPosition = start.position != LZSS_NO_NODE ? start.position : matchPosition_;
  uint32_t p = start.node;
  uint64_t head = LoadOrderedWord(&ring_[p]);
  for (;;) {
    // Both children and the heads of their strings are loaded before the
    // comparison decides between them, so the walk waits for one load per
    // node instead of two.
    const uint32_t smaller = children_[SmallerSlot(p)];
    const uint32_t larger = children_[LargerSlot(p)];
    const uint64_t smallerHead = LoadOrderedWord(&ring_[smaller]);
    const uint64_t largerHead = LoadOrderedWord(&ring_[larger]);
    const Comparison comparison = key.CompareWith(head, &ring_[p]);
    if (comparison.equal >= best) {
      best = comparison.equal;
      matchPosition = p;
    }
    if (comparison.equal == LZSS_MAX_MATCH) {
      matchPosition_ = matchPosition;
      ReplaceNode(p, r);
      return best;
    }
    // Chosen by arithmetic, not a branch: in noise the direction is a coin
    // toss that a branch would mispredict half the time.
    const uint32_t side = comparison.keyIsLarger ? 1 : 0;
    const uint32_t next = smaller ^ ((smaller ^ larger) & (0 - side));
    if (next == LZSS_NO_NODE) {
      matchPosition_ = matchPosition;
      Link(SmallerSlot(p) + side, r);
      children_[SmallerSlot(r)] = LZSS_NO_NODE;
      children_[LargerSlot(r)] = LZSS_NO_NODE;
      return best;
    }
    head = smallerHead ^ ((smallerHead ^ largerHead) & (0 - uint64_t{side}));
    p = next;
  }
}

// ---- Coding loop -------------------------------------------------------------

size_t LzssEncoder::Compress(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (input.empty() || output.size() < LzssWorstCaseSize(input.size())) return 0;
  Reset();
  const size_t lookAhead = std::min<size_t>(input.size(), LZSS_MAX_MATCH);
  for (size_t i = 0; i < lookAhead; ++i) StoreRingByte(LZSS_FIRST_POSITION + static_cast<uint32_t>(i), input[i]);
  size_t nextInput = lookAhead;
  uint32_t count = static_cast<uint32_t>(lookAhead);  // bytes in the look-ahead
  uint32_t r = LZSS_FIRST_POSITION;                   // ring position of the next byte to code
  uint32_t matchLength = 0;
  StreamWriter writer(output.data());
  while (count > 0) {
    matchLength = std::min(matchLength, count);
    writer.BeginItem();
    uint32_t advance = 1;
    if (matchLength < LZSS_MIN_MATCH) {
      writer.PutLiteral(ring_[r]);
    } else {
      writer.PutMatch(matchLength, matchPosition_);
      advance = matchLength;
    }
    for (; advance > 0; --advance) {
      const uint32_t behindLookAhead = (r + LZSS_MAX_MATCH) & LZSS_RING_MASK;
      Remove(behindLookAhead);
      if (nextInput < input.size()) {
        StoreRingByte(behindLookAhead, input[nextInput++]);
      } else {
        --count;
      }
      r = (r + 1) & LZSS_RING_MASK;
      if (count > 0) matchLength = Insert(r);
    }
  }
  return writer.Finish();
}

}  // namespace zarno
