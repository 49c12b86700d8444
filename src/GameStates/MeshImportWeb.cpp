// MeshImportWeb.cpp - other mesh formats on the web: the page reads them
// (web/import.js, with three.js's loaders) and hands the program Orvane's
// mesh text, so the program itself reads only that.
#include "MeshImport.h"

namespace meshimport {

bool ToText(const std::string&, std::string*, Summary*, std::string* pWhy) {
    *pWhy = "other formats are converted by the page before the program reads them";
    return false;
}

bool IsForeign(const std::string&) { return false; }

}  // namespace meshimport
