/* GNUstep's GSVersionMacros.h/GSBlocks.h include <objc/blocks_runtime.h> when
   clang's blocks are on; GCC's runtime has no such header. libBlocksRuntime's
   <Block.h> declares the same functions (Block_copy, Block_release...). */
#include <Block.h>
