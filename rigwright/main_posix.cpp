// Rigwright's command-line entry point.
#include "core/posix_main.h"
#include "rigwright/rigwright_program.h"

namespace {

constexpr const char* kUsage =
    "usage: rigwright [@switch] [~\"<models folder>\" [~\"<object folder>\"]]\n"
    "\n"
    "Installs the models described by the install-parent files (*.ihr) of the\n"
    "models folder into the object database (ZarnoObj.hdr, ZarnoObj.lod) of the\n"
    "object folder.\n"
    "\n"
    "switches:\n"
    "  @check                       check the install-parent and model files and\n"
    "                               write ErrorList.txt; change nothing\n"
    "  @compact                     give back the space of unused models in ZarnoObj.lod\n"
    "  @distance [A [B [near [far]]]]  adjust LOD switch distances from Orvane4.ct\n"
    "\n"
    "The models folder defaults to <object folder>/Models, the object folder to\n"
    "the current directory.\n";

constexpr const char* kVersion = "rigwright 1.0.0\n";

}  // namespace

int main(int argc, char** argv) {
  return zarno::PosixMain(argc, argv, {"rigwright", kUsage, kVersion, zarno::RunRigwright});
}
