// What a measuring child of the performance suite does: one piece of work,
// timed from its first byte to its last, with its inputs made before the
// clock starts. The work is named by the first argument:
//
//   idle                                  nothing (the process's own memory)
//   lzss-production <input>               the production encoder on an input
//   lzss-literal <input>                  the literal encoder on the same input
//                                         (<input>: random, texture1024, texture4096)
//   header-product <object folder>        ZarnoObj.hdr read into the tables and saved
//   header-plain <object folder>          the same bytes read and written with stdio
//   rigwright <switch|-> <models> <objects>   a whole Rigwright run
//   skinwright <textures> <objects>       a whole Skinwright normal run
//   copy-files <list> <output>            the listed files copied into one with stdio
//   copy-bytes <source> <count> <output>  the first bytes of a file copied with stdio
//   compress-textures <count>             the texture run's pixels, compressed alone
//   zarnoscope <command> <objects>        a whole Zarnoscope run of a command that takes no arguments
//   read-files <folder> <names>           the files named (name,name...) read once with stdio
//
// Files written with stdio are made durable once at the end (fsync), as the
// programs make their own output durable.
#pragma once

#include <string>
#include <vector>

namespace zarno {

// Runs the work and prints its seconds; the exit code of the child (0 on
// success; otherwise a line on standard error says why).
int RunChildWork(const std::vector<std::string>& arguments);

}  // namespace zarno
