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
// equals the key, that string in `equal`.
struct LzssWindow::Neighbours {
  uint32_t before = kEnd;
  uint32_t after = kEnd;
  uint32_t beforeEqual = 0;
  uint32_t afterEqual = 0;
  uint32_t equal = LZSS_NO_NODE;
};

void LzssWindow::Reset(std::span<const uint8_t> lookAhead) {
  ring_.fill(0);
  for (uint32_t i = 0; i < lookAhead.size(); ++i) StoreByte(LZSS_FIRST_POSITION + i, lookAhead[i]);
  next_.fill(kOut);
  first_.fill(LZSS_NO_NODE);
  groupBits_.fill(0);
  summaryBits_.fill(0);
  priority_[kEnd] = 0;
  next_[kEnd] = previous_[kEnd] = static_cast<uint16_t>(kEnd);
  // Position 1 is the first string, entered without a search.
  clock_ = 0;
  priority_[LZSS_FIRST_POSITION] = clock_++;
  LinkBetween(LZSS_FIRST_POSITION, kEnd, kEnd);
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

void LzssWindow::LinkBetween(uint32_t r, uint32_t before, uint32_t after) {
  next_[before] = previous_[after] = static_cast<uint16_t>(r);
  previous_[r] = static_cast<uint16_t>(before);
  next_[r] = static_cast<uint16_t>(after);
}

// r takes the place and the priority of the equal string `old`.
void LzssWindow::ReplaceString(uint32_t old, uint32_t r, uint32_t group) {
  const uint32_t before = previous_[old];
  LinkBetween(r, before, next_[old]);
  priority_[r] = priority_[old];
  next_[old] = kOut;
  if (OpensGroup(before, group)) first_[group] = static_cast<uint16_t>(r);
}

void LzssWindow::Remove(uint32_t p) {
  if (!InList(p)) return;
  const uint32_t before = previous_[p];
  const uint32_t after = next_[p];
  // The tree's node has two children: its predecessor takes its place.
  if (priority_[before] > priority_[p] && priority_[after] > priority_[p]) priority_[before] = priority_[p];
  next_[before] = static_cast<uint16_t>(after);
  previous_[after] = static_cast<uint16_t>(before);
  next_[p] = kOut;
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

uint32_t LzssWindow::Insert(uint32_t r) {
  if (r == LZSS_NO_NODE) return lastBest_ = 0;
  const uint32_t group = GroupOf(r);
  // After a match, the string behind the matched one is usually the key
  // itself or next to it.
  const uint32_t finger = (matchPosition_ + 1) & LZSS_RING_MASK;
  if (lastBest_ >= LZSS_MIN_MATCH && InList(finger) && GroupOf(finger) == group) {
    return lastBest_ = InsertIntoGroup(r, group, finger);
  }
  const uint32_t start = first_[group];
  if (start != LZSS_NO_NODE) return lastBest_ = InsertIntoGroup(r, group, start);
  const uint32_t nextGroup = NextGroupInUse(group);
  const uint32_t after = nextGroup == kNoGroup ? kEnd : first_[nextGroup];
  priority_[r] = clock_++;
  LinkBetween(r, previous_[after], after);
  first_[group] = static_cast<uint16_t>(r);
  MarkGroup(group);
  return lastBest_ = 0;
}

// Enters r next to its neighbours, found by a walk from `start`, a string of
// its group; the one that matches longer is the match.
uint32_t LzssWindow::InsertIntoGroup(uint32_t r, uint32_t group, uint32_t start) {
  const Neighbours found = FindNeighbours(Key(&ring_[r]), start);
  if (found.equal != LZSS_NO_NODE) {
    matchPosition_ = found.equal;
    ReplaceString(found.equal, r, group);
    return LZSS_MAX_MATCH;
  }
  priority_[r] = clock_++;
  LinkBetween(r, found.before, found.after);
  if (OpensGroup(found.before, group)) first_[group] = static_cast<uint16_t>(r);
  const bool afterWins = found.afterEqual > found.beforeEqual ||
                         (found.afterEqual == found.beforeEqual && priority_[found.after] > priority_[found.before]);
  const uint32_t best = afterWins ? found.afterEqual : found.beforeEqual;
  if (best < LZSS_MIN_MATCH) return 0;
  matchPosition_ = afterWins ? found.after : found.before;
  return best;
}

// Walks the list from `start` towards the key until it passes it.
LzssWindow::Neighbours LzssWindow::FindNeighbours(const Key& key, uint32_t start) const {
  Neighbours found;
  Comparison comparison = key.CompareWith(&ring_[start]);
  if (comparison.equal == LZSS_MAX_MATCH) return found.equal = start, found;
  if (comparison.keyIsLarger) {
    found.before = start, found.beforeEqual = comparison.equal;
    for (uint32_t p = next_[start]; p != kEnd; p = next_[p]) {
      comparison = key.CompareWith(&ring_[p]);
      if (comparison.equal == LZSS_MAX_MATCH) return found.equal = p, found;
      if (!comparison.keyIsLarger) return found.after = p, found.afterEqual = comparison.equal, found;
      found.before = p, found.beforeEqual = comparison.equal;
    }
    return found.after = kEnd, found;
  }
  found.after = start, found.afterEqual = comparison.equal;
  for (uint32_t p = previous_[start]; p != kEnd; p = previous_[p]) {
    comparison = key.CompareWith(&ring_[p]);
    if (comparison.equal == LZSS_MAX_MATCH) return found.equal = p, found;
    if (comparison.keyIsLarger) return found.before = p, found.beforeEqual = comparison.equal, found;
    found.after = p, found.afterEqual = comparison.equal;
  }
  return found.before = kEnd, found;
}

}  // namespace zarno
