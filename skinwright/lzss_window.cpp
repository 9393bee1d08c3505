#include "skinwright/lzss_window.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

inline uint64_t LoadWord(const uint8_t* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

inline uint32_t EqualLeadingBytes(uint64_t a, uint64_t b) {
  return static_cast<uint32_t>(std::countl_zero(a ^ b)) / 8;
}

// How a string compares with the key: the number of equal leading bytes
// (0 ... LZSS_MAX_MATCH) and, when they differ, which one is larger.
struct Comparison {
  uint32_t equal;
  bool keyIsLarger;
};

}  // namespace

// The string being entered, loaded once as two ordered words and a last byte,
// then compared with string after string a word at a time.
class LzssWindow::Key {
 public:
  explicit Key(const uint8_t* at)
      : head_(LoadOrderedWord(at)), middle_(LoadOrderedWord(at + 8)), last_(uint64_t{at[16]} << 56) {}

  // The first differing word decides; the last byte is compared as the top
  // byte of a word, where equal bytes count 8 and are capped to 17.
  Comparison CompareWith(const uint8_t* string) const {
    static_assert(LZSS_MAX_MATCH == 2 * sizeof(uint64_t) + 1, "two words and one byte per string");
    uint64_t keyWord = head_;
    uint64_t word = LoadOrderedWord(string);
    uint32_t offset = 0;
    if (keyWord == word) {
      keyWord = middle_;
      word = LoadOrderedWord(string + 8);
      offset = 8;
      if (keyWord == word) {
        keyWord = last_;
        word = uint64_t{string[16]} << 56;
        offset = 16;
      }
    }
    return {std::min(offset + EqualLeadingBytes(keyWord, word), LZSS_MAX_MATCH), keyWord > word};
  }

 private:
  uint64_t head_;
  uint64_t middle_;
  uint64_t last_;  // the 17th byte as the top byte of a word
};

// Where the key belongs: between `before` and `after` (kEnd for the list's
// ends), with the bytes each of them has in common with it; or, when a string
// equals the key, that string in `equal`. Small enough to come back in
// registers.
struct LzssWindow::Neighbours {
  uint16_t before = kEnd;
  uint16_t after = kEnd;
  uint16_t equal = LZSS_NO_NODE;
  uint8_t beforeEqual = 0;
  uint8_t afterEqual = 0;
  bool longWalk = false;  // one that went on to the levels above the list
};

void LzssWindow::Reset(std::span<const uint8_t> lookAhead) {
  ring_.fill(0);
  for (uint32_t i = 0; i < lookAhead.size(); ++i) StoreByte(LZSS_FIRST_POSITION + i, lookAhead[i]);
  next_[0].fill(kOut);  // the levels above are read only for strings that are on them
  first_.fill(LZSS_NO_NODE);
  groupBits_.fill(0);
  summaryBits_.fill(0);
  priority_[kEnd] = 0;
  height_[kEnd] = kLevels;
  for (uint32_t level = 0; level < kLevels; ++level) LinkBetween(level, kEnd, kEnd, kEnd);
  // Position 1 is the first string, entered without a search.
  clock_ = 0;
  heightBits_ = 0x9E3779B97F4A7C15ull;
  EnterNew(LZSS_FIRST_POSITION, kEnd, kEnd, false);
  first_[GroupOf(LZSS_FIRST_POSITION)] = LZSS_FIRST_POSITION;
  MarkGroup(GroupOf(LZSS_FIRST_POSITION));
  matchPosition_ = 0;
  lastBest_ = 0;
}

// ---- Groups in use -----------------------------------------------------------

void LzssWindow::MarkGroup(uint32_t group) {
  groupBits_[group / kWordBits] |= uint64_t{1} << group % kWordBits;
  summaryBits_[group / kWordBits / kWordBits] |= uint64_t{1} << group / kWordBits % kWordBits;
}

void LzssWindow::UnmarkGroup(uint32_t group) {
  uint64_t& word = groupBits_[group / kWordBits];
  word &= ~(uint64_t{1} << group % kWordBits);
  if (word == 0) summaryBits_[group / kWordBits / kWordBits] &= ~(uint64_t{1} << group / kWordBits % kWordBits);
}

// The first group in use after `group`, or kNoGroup.
uint32_t LzssWindow::NextGroupInUse(uint32_t group) const {
  const uint32_t word = group / kWordBits;
  // Two shifts, since the bits above bit 63 are none and one shift of 64 is undefined.
  const uint64_t above = groupBits_[word] & (~uint64_t{0} << group % kWordBits << 1);
  if (above != 0) return word * kWordBits + static_cast<uint32_t>(std::countr_zero(above));
  for (uint32_t next = word + 1; next < kGroupWords;) {
    const uint64_t summary = summaryBits_[next / kWordBits] & (~uint64_t{0} << next % kWordBits);
    if (summary != 0) {
      const uint32_t found = next / kWordBits * kWordBits + static_cast<uint32_t>(std::countr_zero(summary));
      return found * kWordBits + static_cast<uint32_t>(std::countr_zero(groupBits_[found]));
    }
    next = (next / kWordBits + 1) * kWordBits;
  }
  return kNoGroup;
}

// ---- The list ----------------------------------------------------------------

void LzssWindow::LinkBetween(uint32_t level, uint32_t r, uint32_t before, uint32_t after) {
  next_[level][before] = previous_[level][after] = static_cast<uint16_t>(r);
  previous_[level][r] = static_cast<uint16_t>(before);
  next_[level][r] = static_cast<uint16_t>(after);
}

// 1 + the number of pairs of zero bits at the bottom of a random number, up
// to kLevels: height h or more has a chance of 4^-(h-1).
uint32_t LzssWindow::NextHeight() {
  heightBits_ ^= heightBits_ << 13;
  heightBits_ ^= heightBits_ >> 7;
  heightBits_ ^= heightBits_ << 17;
  const auto zeros = static_cast<uint32_t>(std::countr_zero(heightBits_ | uint64_t{1} << 63));
  return std::min(1 + zeros / kLevelShift, kLevels);
}

// Enters a string that is not in the list between `before` and `after`, with
// the next priority. Only a string that took a long walk to place may go on
// the levels above the list: the levels grow where walks are long and cost
// nothing where they are short.
void LzssWindow::EnterNew(uint32_t r, uint32_t before, uint32_t after, bool longWalk) {
  priority_[r] = clock_++;
  height_[r] = 1;
  LinkBetween(0, r, before, after);
  if (longWalk) EnterAbove(r, before);
}

// On each level up to its height r follows the nearest string before it that
// is on that level too.
void LzssWindow::EnterAbove(uint32_t r, uint32_t before) {
  const uint32_t height = NextHeight();
  height_[r] = static_cast<uint8_t>(height);
  for (uint32_t level = 1; level < height; ++level) {
    while (height_[before] <= level) before = previous_[level - 1][before];
    LinkBetween(level, r, before, next_[level][before]);
  }
}

// r takes the place, the priority and the height of the equal string `old`.
void LzssWindow::ReplaceString(uint32_t old, uint32_t r, uint32_t group) {
  const uint32_t before = previous_[0][old];
  priority_[r] = priority_[old];
  height_[r] = height_[old];
  LinkBetween(0, r, before, next_[0][old]);
  if (height_[old] > 1) ReplaceAbove(old, r);
  next_[0][old] = kOut;
  if (OpensGroup(before, group)) first_[group] = static_cast<uint16_t>(r);
}

void LzssWindow::ReplaceAbove(uint32_t old, uint32_t r) {
  for (uint32_t level = 1; level < height_[old]; ++level) {
    LinkBetween(level, r, previous_[level][old], next_[level][old]);
  }
}

void LzssWindow::UnlinkAbove(uint32_t p) {
  for (uint32_t level = 1; level < height_[p]; ++level) {
    next_[level][previous_[level][p]] = next_[level][p];
    previous_[level][next_[level][p]] = previous_[level][p];
  }
}

void LzssWindow::TakeOut(uint32_t p) {
  const uint32_t before = previous_[0][p];
  const uint32_t after = next_[0][p];
  // The tree's node has two children: its predecessor takes its place. (No
  // branch: which case it is cannot be foreseen.)
  const uint64_t mine = priority_[p];
  const bool twoChildren = std::min(priority_[before], priority_[after]) > mine;
  priority_[before] = twoChildren ? mine : priority_[before];
  next_[0][before] = static_cast<uint16_t>(after);
  previous_[0][after] = static_cast<uint16_t>(before);
  if (height_[p] > 1) UnlinkAbove(p);
  next_[0][p] = kOut;
  const uint32_t group = GroupOf(p);
  if (!OpensGroup(before, group)) return;
  if (after != kEnd && GroupOf(after) == group) {
    first_[group] = static_cast<uint16_t>(after);
  } else {
    first_[group] = LZSS_NO_NODE;
    UnmarkGroup(group);
  }
}

// ---- Search ------------------------------------------------------------------

bool LzssWindow::SameStrings(uint32_t p, uint32_t q) const {
  static_assert(LZSS_MAX_MATCH == 2 * sizeof(uint64_t) + 1, "two words and one byte per string");
  const uint8_t* a = &ring_[p];
  const uint8_t* b = &ring_[q];
  return ((LoadWord(a) ^ LoadWord(b)) | (LoadWord(a + 8) ^ LoadWord(b + 8)) | uint64_t{uint8_t(a[16] ^ b[16])}) == 0;
}

uint32_t LzssWindow::Insert(uint32_t r) {
  if (r == LZSS_NO_NODE) return lastBest_ = 0;
  const uint32_t group = GroupOf(r);
  // After a match, the string behind the matched one is usually the key
  // itself or next to it.
  const uint32_t finger = (matchPosition_ + 1) & LZSS_RING_MASK;
  if (lastBest_ >= LZSS_MIN_MATCH && InList(finger)) {
    if (SameStrings(finger, r)) return lastBest_ = TakeOver(finger, r, group);
    if (GroupOf(finger) == group) return lastBest_ = InsertIntoGroup(r, group, finger);
  }
  const uint32_t start = first_[group];
  if (start != LZSS_NO_NODE) return lastBest_ = InsertIntoGroup(r, group, start);
  // A group of its own: r goes before the first string of the next group in
  // use, and no string matches it by two bytes.
  const uint32_t nextGroup = NextGroupInUse(group);
  const uint32_t after = nextGroup == kNoGroup ? kEnd : first_[nextGroup];
  EnterNew(r, previous_[0][after], after, false);
  first_[group] = static_cast<uint16_t>(r);
  MarkGroup(group);
  return lastBest_ = 0;
}

// r replaces the equal string `old`, which is the match.
uint32_t LzssWindow::TakeOver(uint32_t old, uint32_t r, uint32_t group) {
  matchPosition_ = old;
  ReplaceString(old, r, group);
  return LZSS_MAX_MATCH;
}

// Enters r next to its neighbours, found by a walk from `start`, a string of
// its group. The neighbour that matches longer is the match; on a tie the one
// with the later priority, the deeper one in the host's tree.
uint32_t LzssWindow::InsertIntoGroup(uint32_t r, uint32_t group, uint32_t start) {
  const Neighbours found = FindNeighbours(Key(&ring_[r]), start);
  if (found.equal != LZSS_NO_NODE) return TakeOver(found.equal, r, group);
  EnterNew(r, found.before, found.after, found.longWalk);
  if (OpensGroup(found.before, group)) first_[group] = static_cast<uint16_t>(r);
  const bool afterWins = found.afterEqual > found.beforeEqual ||
                         (found.afterEqual == found.beforeEqual && priority_[found.after] > priority_[found.before]);
  const uint32_t best = afterWins ? found.afterEqual : found.beforeEqual;
  if (best < LZSS_MIN_MATCH) return 0;
  matchPosition_ = afterWins ? found.after : found.before;
  return best;
}

LzssWindow::Neighbours LzssWindow::FindNeighbours(const Key& key, uint32_t start) const {
  const Comparison comparison = key.CompareWith(&ring_[start]);
  if (comparison.equal == LZSS_MAX_MATCH) return Equal(start);
  return comparison.keyIsLarger ? Walk<true>(key, start, comparison.equal) : Walk<false>(key, start, comparison.equal);
}

LzssWindow::Neighbours LzssWindow::Equal(uint32_t p) {
  Neighbours found;
  found.equal = static_cast<uint16_t>(p);
  return found;
}

// The last string on the start's side of the key (`near`) and the first
// beyond it (`far`), given in the direction of the walk.
template <bool kForward>
LzssWindow::Neighbours LzssWindow::Sides(uint32_t near, uint32_t nearEqual, uint32_t far, uint32_t farEqual) {
  Neighbours found;
  const auto nearNode = static_cast<uint16_t>(near);
  const auto farNode = static_cast<uint16_t>(far);
  const auto nearBytes = static_cast<uint8_t>(nearEqual);
  const auto farBytes = static_cast<uint8_t>(farEqual);
  if constexpr (kForward) {
    found.before = nearNode, found.beforeEqual = nearBytes, found.after = farNode, found.afterEqual = farBytes;
  } else {
    found.before = farNode, found.beforeEqual = farBytes, found.after = nearNode, found.afterEqual = nearBytes;
  }
  return found;
}

// Walks the list from `start`, which shares `startEqual` bytes with the key
// and lies before it (kForward) or after it, until it passes the key; after
// kLongWalk strings it goes on with the levels above.
template <bool kForward>
LzssWindow::Neighbours LzssWindow::Walk(const Key& key, uint32_t start, uint32_t startEqual) const {
  const auto& ahead = kForward ? next_[0] : previous_[0];
  uint32_t near = start;
  uint32_t nearEqual = startEqual;
  for (uint32_t steps = 0; steps < kLongWalk; ++steps) {
    const uint32_t next = ahead[near];
    if (next == kEnd) return Sides<kForward>(near, nearEqual, kEnd, 0);
    const Comparison comparison = key.CompareWith(&ring_[next]);
    if (comparison.equal == LZSS_MAX_MATCH) return Equal(next);
    if (comparison.keyIsLarger != kForward) return Sides<kForward>(near, nearEqual, next, comparison.equal);
    near = next, nearEqual = comparison.equal;
  }
  Neighbours found = SkipWalk<kForward>(key, near, nearEqual);
  found.longWalk = true;
  return found;
}

// The same walk on all levels: on each string it reaches it climbs a level if
// the string is that high, and where the next string on its level lies beyond
// the key it comes down one.
template <bool kForward>
LzssWindow::Neighbours LzssWindow::SkipWalk(const Key& key, uint32_t start, uint32_t startEqual) const {
  const auto& ahead = kForward ? next_ : previous_;
  uint32_t near = start;
  uint32_t nearEqual = startEqual;
  uint32_t far = kEnd;  // the nearest string known beyond the key
  uint32_t farEqual = 0;
  for (uint32_t level = 0, climbing = 1;;) {
    const uint32_t next = ahead[level][near];
    if (next != far) {
      const Comparison comparison = key.CompareWith(&ring_[next]);
      if (comparison.equal == LZSS_MAX_MATCH) return Equal(next);
      if (comparison.keyIsLarger == kForward) {
        near = next, nearEqual = comparison.equal;
        if (climbing != 0 && level + 1 < height_[near]) ++level;
        continue;
      }
      far = next, farEqual = comparison.equal;
    }
    if (level == 0) break;
    --level, climbing = 0;
  }
  return Sides<kForward>(near, nearEqual, far, farEqual);
}

}  // namespace zarno
