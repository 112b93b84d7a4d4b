#include "huge_pages.h"

#include <cstdlib>
#include <cstring>

namespace korvex::sim {

const char* hugePagesState()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=1")) return "on (glibc.malloc.hugetlb=1)";
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=2")) return "on (glibc.malloc.hugetlb=2)";
    return "off (start with GLIBC_TUNABLES=glibc.malloc.hugetlb=1 to enable)";
}

}  // namespace korvex::sim
