// Skinwright's command-line entry point.
#include "core/posix_main.h"
#include "skinwright/skinwright_program.h"

namespace {

constexpr const char* kUsage =
    "usage: skinwright [@switch] [~\"<texture folder>\" [~\"<object folder>\"]]\n"
    "\n"
    "Installs the 8-bit BMP images of the texture folder into the texture store\n"
    "(ZarnoObj.tex) and the header database (ZarnoObj.hdr) of the object folder,\n"
    "then gives back the space of textures no longer used. Each image's file name\n"
    "begins with its texture number (57.bmp, 57roof.bmp).\n"
    "\n"
    "switches:\n"
    "  @check   check the BMP images and write TexErrorList.txt; change nothing\n"
    "  @dups    check only for images with the same number one after the other\n"
    "  @dds     copy the DDS images into the ZarnoObj folder under their numbers\n"
    "\n"
    "The texture folder defaults to <object folder>/Skins, the object folder to\n"
    "the current directory.\n";

constexpr const char* kVersion = "skinwright 1.0.0\n";

}  // namespace

int main(int argc, char** argv) {
  return zarno::PosixMain(argc, argv, {"skinwright", kUsage, kVersion, zarno::RunSkinwright});
}
