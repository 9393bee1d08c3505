// The LZSS encoder's window: the ring of the last 4096 bytes and its distinct
// 17-byte strings in string order, each with a priority, so that finding the
// longest match is a look at the two neighbours of the string entered.
//
// The host's encoder keeps these strings in a binary search tree that it never
// balances, so its shape is fixed by the order in which strings came: it is
// the Cartesian tree of the strings, heap-ordered by a priority per string,
// the time it was entered. Two things of that shape reach the output:
// - a search ends at the string's two neighbours in string order and takes
//   the one that matches longer, on a tie the one entered later (it is deeper
//   on the path), and a string equal in all 17 bytes when there is one; the
//   newer equal string takes over the old one's priority;
// - a node with two children (both neighbours have later priorities) is
//   replaced on removal by its predecessor, which takes over its priority.
// So a sorted list of the strings with one priority each writes the same
// bytes as the tree, and needs no walk from a root.
//
// The list is doubly linked through all strings in order, and cut into groups
// by the first two bytes: a table gives each group's first string, and only
// strings of one group can match by two bytes or more, so a search stays in
// its own group (in textures some ten strings, rarely more than a hundred).
// It starts from the string behind the last match, which is often the key
// itself or next to it, or else from the group's first string. A bitmap of
// the groups in use finds the neighbours of a string that opens a group of
// its own.
//
// Groups can be large (a background of zeros with a few other bytes puts
// thousands of strings in one), so the list is a skip list where that
// happens: a string placed after a long walk also goes on levels 1 ... 4
// above the list with chances 1/4, 1/16, ..., and a walk that runs long
// climbs them and comes down near the key, in some log4 of the distance steps
// per level instead of the distance. Where walks are short no string goes up
// (those up leave with the window), so textures pay only a test of a height.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "skinwright/lzss.h"

namespace zarno {

class LzssWindow {
 public:
  // The ring all zeros but for `lookAhead` (at most LZSS_MAX_MATCH bytes) from
  // the first position on, and only the string there entered.
  void Reset(std::span<const uint8_t> lookAhead);
  void StoreByte(uint32_t position, uint8_t value) {
    ring_[position] = value;
    if (position < kMirrorLength) ring_[LZSS_RING_SIZE + position] = value;
  }
  uint8_t Byte(uint32_t position) const { return ring_[position]; }

  // Takes the string at ring position p out, if it is in.
  void Remove(uint32_t p) {
    if (InList(p)) TakeOut(p);
  }
  // Enters the string at ring position r and returns the length of its
  // longest match (0 when it is shorter than LZSS_MIN_MATCH); MatchPosition()
  // gives where that match starts.
  uint32_t Insert(uint32_t r);
  uint32_t MatchPosition() const { return matchPosition_; }

 private:
  class Key;
  struct Neighbours;

  // Behind the ring, a copy of its first bytes, so that the 17 bytes of any
  // string read straight on without wrapping round.
  static constexpr uint32_t kMirrorLength = LZSS_MAX_MATCH - 1;
  static constexpr uint32_t kRingStorage = LZSS_RING_SIZE + kMirrorLength;
  // The list's two ends meet in one extra node after the ring positions.
  static constexpr uint32_t kEnd = LZSS_RING_SIZE;
  static constexpr uint32_t kNodes = LZSS_RING_SIZE + 1;
  // Level 0, the list, and the levels above it; each one up has a quarter of
  // the strings of the one below.
  static constexpr uint32_t kLevels = 5;
  static constexpr uint32_t kLevelShift = 2;
  // A walk along the list that has compared this many strings goes on with
  // the levels above. 16 and 64 search zeros with some noise about as fast,
  // and 8 takes up strings of the larger texture groups to no use.
  static constexpr uint32_t kLongWalk = 32;
  // In next_, a string that is not in the list.
  static constexpr uint16_t kOut = 0xFFFF;
  static constexpr uint32_t kGroups = 1u << 16;
  static constexpr uint32_t kNoGroup = kGroups;
  static constexpr uint32_t kWordBits = 64;
  static constexpr uint32_t kGroupWords = kGroups / kWordBits;
  static constexpr uint32_t kSummaryWords = kGroupWords / kWordBits;

  uint32_t GroupOf(uint32_t p) const { return uint32_t{ring_[p]} << 8 | ring_[p + 1]; }
  bool InList(uint32_t p) const { return next_[0][p] != kOut; }
  // Whether a string of `group` right after `before` is its group's first.
  bool OpensGroup(uint32_t before, uint32_t group) const { return before == kEnd || GroupOf(before) != group; }
  bool SameStrings(uint32_t p, uint32_t q) const;
  uint32_t TakeOver(uint32_t old, uint32_t r, uint32_t group);
  uint32_t InsertIntoGroup(uint32_t r, uint32_t group, uint32_t start);
  Neighbours FindNeighbours(const Key& key, uint32_t start) const;
  template <bool kForward>
  Neighbours Walk(const Key& key, uint32_t start, uint32_t startEqual) const;
  template <bool kForward>
  Neighbours SkipWalk(const Key& key, uint32_t start, uint32_t startEqual) const;
  template <bool kForward>
  static Neighbours Sides(uint32_t near, uint32_t nearEqual, uint32_t far, uint32_t farEqual);
  static Neighbours Equal(uint32_t p);
  void ReplaceString(uint32_t old, uint32_t r, uint32_t group);
  void EnterNew(uint32_t r, uint32_t before, uint32_t after, bool longWalk);
  void EnterAbove(uint32_t r, uint32_t before);
  void ReplaceAbove(uint32_t old, uint32_t r);
  void TakeOut(uint32_t p);
  void UnlinkAbove(uint32_t p);
  uint32_t NextHeight();
  void LinkBetween(uint32_t level, uint32_t r, uint32_t before, uint32_t after);
  void MarkGroup(uint32_t group);
  void UnmarkGroup(uint32_t group);
  uint32_t NextGroupInUse(uint32_t group) const;

  std::array<uint8_t, kRingStorage> ring_{};
  // Links in string order per level; node kEnd, on every level, comes before
  // the first string and after the last. Its priority, 0, is never later
  // than any other. A string's height is the number of levels it is on.
  std::array<std::array<uint16_t, kNodes>, kLevels> next_{};
  std::array<std::array<uint16_t, kNodes>, kLevels> previous_{};
  std::array<uint64_t, kNodes> priority_{};
  std::array<uint8_t, kNodes> height_{};
  // Each group's first string, or LZSS_NO_NODE (position 0 never holds one).
  std::array<uint16_t, kGroups> first_{};
  // A bit per group in use, and a bit per word of those bits that is not 0.
  std::array<uint64_t, kGroupWords> groupBits_{};
  std::array<uint64_t, kSummaryWords> summaryBits_{};
  uint64_t clock_ = 0;          // the priority of the next new string
  uint64_t heightBits_ = 0;     // a xorshift generator's state; heights change no byte
  uint32_t matchPosition_ = 0;  // of the last match found
  uint32_t lastBest_ = 0;       // and its length
};

}  // namespace zarno
