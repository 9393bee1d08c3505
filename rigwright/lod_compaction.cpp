#include "rigwright/lod_compaction.h"

namespace zarno {

void CompactLodFile(Platform&, const InstallPaths&, HeaderDatabase&) {}

}  // namespace zarno
