// ORV_GLError.cpp - the GL half of ORV_GL_ERROR, kept out of ORV.h so that
// the framework header needs no GL header.
#include "ORV.h"

#include <GL/glew.h>

namespace ORV {
namespace Report {

bool GLErrorHeader(int line, const char* pPrettyFunc, const char* pFile) {
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR) return false;
    printf("ORV_GL_ERROR:\nLine: %d\nFunc: %s\nFile: %s\n", line, FuncName(pPrettyFunc), pFile);
    printf("Code: 0x%.8x\n", static_cast<unsigned>(code));
    return true;
}

}  // namespace Report
}  // namespace ORV
