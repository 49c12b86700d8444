// BSPSearchKernelsWeb.cpp - the search's kernel on the web: WebAssembly has
// none of the x86-64 extensions, so the baseline instances serve every width
// and the narrowest is the default.
#include "BSPSearchColumns.h"

namespace bspsearch {

unsigned NativeKernelWidth() { return 4; }

const Kernel* NativeKernel(unsigned) { return nullptr; }

}  // namespace bspsearch
